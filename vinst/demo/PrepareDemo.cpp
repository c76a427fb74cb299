// Prepares a demonstration folder: the virtual instrument's memory (named
// lists and a few months of tests), and the program's files as the program
// itself would have left them after reading that instrument up to yesterday.
// So a newcomer sees real-looking data at once, without first-start
// warnings, and today's tests are still there for "Шаг" to read.
//
//   orba_prepare_demo DIR
//
// The program's files are written by the program's own store, so that their
// formats cannot drift from what the program reads.

#include "shell/Message.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/ListTransfer.h"
#include "views/ResultSteps.h"
#include "vinst/DefaultMemory.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <cstdio>

namespace {

using vinst::Memory;
namespace mem = vinst::mem;

int InstrumentWord(const Memory &memory, int word)
{
    const auto address = static_cast<std::uint16_t>(mem::SensorTable + 2 * word);
    return memory.at(address) | memory.at(static_cast<std::uint16_t>(address + 1)) << 8;
}

// The configuration after a connection: port COM1, the instrument's sensor.
void TakeConfig(const Memory &memory)
{
    PortNumber = 1;
    PortName = QStringLiteral("COM1");
    for (std::size_t word = 0; word < mem::SensorWords; ++word)
        SensorTable[word] = InstrumentWord(memory, static_cast<int>(word));
    VolumeCoef = SensorTable[VolumeCoefWord];
    SensorNumber = InstrumentWord(memory, mem::SensorWords - 1);
}

// The lists as "Прием" takes them from the instrument.
void TakeLists(const Memory &memory)
{
    for (int list = 1; list <= ListCount; ++list) {
        ListNames[list] = NameFromDisplay(&memory.bytes()[mem::ListNames + (list - 1) * mem::NameSize],
                                          ErasedListName(list));
        for (int person = 0; person < PersonsPerList; ++person) {
            const std::size_t address = mem::ListSize * list + person * mem::NameSize;
            PersonNames[list][person] = NameFromDisplay(&memory.bytes()[address], ErasedPersonName(person));
        }
    }
}

// The instrument's records made before today, as "Шаг" stores them.
void TakeResults(const Memory &memory, const QDate &today)
{
    MarkSlotsEmpty(0, NumberedGridRows);
    ResultCount = 0;
    const int todayKey = DateKeyOf(today.year(), today.month(), today.day());
    for (std::size_t index = 0; index < mem::RecordSlots; ++index) {
        ResultRecord record;
        const std::size_t address = mem::Records + index * mem::RecordSize;
        std::copy_n(&memory.bytes()[address], mem::RecordSize, record.bytes.begin());
        if (record.IsEnd() || RecordDateKey(record) >= todayKey)
            break;
        Results[ResultCount++] = record;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: orba_prepare_demo DIR\n", stderr);
        return 2;
    }
    // No one to answer a box: a failure is printed and ends the run.
    SetMessageHandler([](const MessageRequest &request) {
        std::fprintf(stderr, "orba_prepare_demo: %s\n", qPrintable(request.text));
        return QMessageBox::Cancel;
    });
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir) || !QDir::setCurrent(dir)) {
        std::fprintf(stderr, "orba_prepare_demo: cannot work in %s\n", argv[1]);
        return 1;
    }

    const QDateTime now = PcNow();
    const Memory memory = vinst::BuildDefaultMemory(vinst::ToCivil(vinst::PcLocalMilliseconds() / 1000));
    std::string error;
    if (!vinst::SaveMemoryImage(memory, "instrument.mem", error)) {
        std::fprintf(stderr, "orba_prepare_demo: %s\n", error.c_str());
        return 1;
    }
    TakeConfig(memory);
    TakeLists(memory);
    TakeResults(memory, now.date());
    return Report(SaveConfig()) && Report(SaveLists()) && Report(SaveResults()) ? 0 : 1;
}
