#include "WorkDir.h"

#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "vinst/DefaultMemory.h"
#include "shell/Message.h"

#include <QDir>
#include <QProcess>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace vinst;

ResultRecord InstrumentRecord(const Memory &memory, int index)
{
    ResultRecord record;
    std::copy_n(&memory.bytes()[mem::Records + index * mem::RecordSize], mem::RecordSize, record.bytes.begin());
    return record;
}

int TodayKey()
{
    const QDate today = QDate::currentDate();
    return DateKeyOf(today.year(), today.month(), today.day());
}

// The prepared folder opens like one the program has used: no first-start
// warning, the instrument's port, sensor and lists, and the instrument's
// records up to yesterday, so that "Шаг" reads today's.
TEST(DemoFolder, OpensWithoutWarningsAndHoldsWhatTheInstrumentHeldUpToYesterday)
{
    ScopedWorkDir dir;
    MessageRecorder messages;
    ResetDataModel();
    const int startKey = TodayKey();
    QProcess prepare;
    prepare.start(QStringLiteral(PREPARE_DEMO_PROGRAM), {dir.file("demo")});
    ASSERT_TRUE(prepare.waitForFinished(60000));
    ASSERT_EQ(prepare.exitCode(), 0) << prepare.readAllStandardError().toStdString();
    ASSERT_TRUE(QDir::setCurrent(dir.file("demo")));

    EXPECT_TRUE(Report(LoadConfig()));
    EXPECT_TRUE(Report(LoadLists()));
    EXPECT_TRUE(Report(LoadResults()));
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('\n').toStdString();

    std::string error;
    const auto memory = LoadMemoryImage("instrument.mem", error);
    ASSERT_TRUE(memory.has_value()) << error;
    EXPECT_EQ(PortName, QStringLiteral("COM1"));
    EXPECT_EQ(SensorNumber, DefaultSensorNumber);
    EXPECT_EQ(VolumeCoef, DefaultVolumeCoefficient);
    EXPECT_FALSE(ListNames[1].startsWith("1 "));   // a name, not an erased slot's text

    ASSERT_GT(ResultCount, 100);
    for (int r = 0; r < ResultCount; ++r) {
        ASSERT_EQ(Results[r], InstrumentRecord(*memory, r)) << r;
        ASSERT_LT(RecordDateKey(Results[r]), TodayKey()) << r;
    }
    const ResultRecord next = InstrumentRecord(*memory, ResultCount);
    EXPECT_TRUE(next.IsEnd() || RecordDateKey(next) >= startKey);
    EXPECT_EQ(Results[ResultCount].ListNo(), 0xFF);
}

} // namespace
