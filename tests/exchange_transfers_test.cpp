// Every transfer with the instrument, checked byte for byte in the virtual
// instrument's traffic log and, where the instrument keeps what was written,
// read back.

#include "ExchangeRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"

#include <QPlainTextEdit>
#include <QProgressBar>
#include <gtest/gtest.h>

namespace {

QByteArray ReadFrame(int command, int address, int count)
{
    return QByteArray::fromRawData("\x3A\x06", 2) + char(command) + char(address & 0xFF) + char(address >> 8)
           + char(count);
}

class ExchangeTransfers : public ::testing::Test {
protected:
    ExchangeTransfers() : rig({.memory = PatternMemory()}) {}

    void SetUp() override { ASSERT_TRUE(rig.ready()); }

    void TearDown() override
    {
        EXPECT_TRUE(rig.messages.texts().isEmpty()) << rig.messages.texts().join('|').toStdString();
        // Every byte sent belonged to a frame the instrument took.
        EXPECT_TRUE(rig.skipped().isEmpty()) << rig.skipped().join('|').toStdString();
    }

    // Frames received since the last call.
    std::vector<QByteArray> newFrames()
    {
        std::vector<QByteArray> all = rig.frames();
        std::vector<QByteArray> fresh(all.begin() + seen, all.end());
        seen = all.size();
        return fresh;
    }

    QByteArray lastReply() const { return rig.instrument->replies().back(); }

    QByteArray memory = PatternMemory();
    ExchangeRig rig;
    size_t seen = 0;
};

TEST_F(ExchangeTransfers, MemoryReadsAskOnceAndKeepTheData)
{
    ASSERT_TRUE(ReadSensorTable());
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 06 01 00 00 2E")});
    EXPECT_EQ(lastReply().size(), 52);
    EXPECT_EQ(Buffer(0, 46), memory.left(46));
    EXPECT_EQ(TransferWords[21], uint8_t(memory[42]) + 256 * uint8_t(memory[43]));

    ASSERT_TRUE(ReadInstrumentMark());
    EXPECT_EQ(Buffer(0, 8), memory.mid(110, 8));
    ASSERT_TRUE(ReadProbeMark());
    EXPECT_EQ(Buffer(0, 8), memory.mid(120, 8));
    EXPECT_EQ(newFrames(), (std::vector{Hex("3A 06 01 6E 00 08"), Hex("3A 06 01 78 00 08")}));

    ASSERT_TRUE(ReadListNames());
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 06 01 80 00 80")});
    EXPECT_EQ(lastReply().size(), 134);
    EXPECT_EQ(Buffer(0, 128), memory.mid(128, 128));

    for (int part = 0; part < 8; ++part) {
        ASSERT_TRUE(ReadListPart(3, part));
        EXPECT_EQ(newFrames(), std::vector{ReadFrame(1, 3072 + 128 * part, 128)});
        EXPECT_EQ(Buffer(0, 128), memory.mid(3072 + 128 * part, 128));
    }

    ASSERT_TRUE(ReadResultPage(41));
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 06 01 F6 24 F6")});
    EXPECT_EQ(lastReply().size(), 252);
    EXPECT_EQ(Buffer(0, 246), memory.mid(9462, 246));

    // The signal records are read with the second read command.
    ASSERT_TRUE(ReadSignalRecord(FirstSignalRecord));
    ASSERT_TRUE(ReadSignalRecord(SecondSignalRecord));
    EXPECT_EQ(newFrames(), (std::vector{Hex("3A 06 02 00 02 F0"), Hex("3A 06 02 00 03 F0")}));
    EXPECT_EQ(lastReply().size(), 246);
    EXPECT_EQ(Buffer(0, 240), lastReply().mid(6, 240));

    ASSERT_TRUE(ReadMemoryPage(0x4700));
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 06 01 00 47 40")});
    EXPECT_EQ(Buffer(0, 64), memory.mid(0x4700, 64));
}

TEST_F(ExchangeTransfers, SensorTableAndMarkWritesOverlapByFourBytes)
{
    const QByteArray table = memory.mid(5000, 46);
    FillBuffer(table);
    ASSERT_TRUE(WriteSensorTable());
    const std::vector<QByteArray> frames = newFrames();
    ASSERT_EQ(frames.size(), 11u);
    EXPECT_EQ(frames, WriteFrames(0, table));
    EXPECT_EQ(frames.back(), Hex("3A 0C 05 28 00 06") + table.mid(40, 6));

    const QByteArray mark = Hex("01 23 45 67 89 AB CD EF");
    FillBuffer(mark);
    ASSERT_TRUE(WriteInstrumentMark());
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 0E 05 6E 00 08") + mark});

    ASSERT_TRUE(ReadSensorTable());
    EXPECT_EQ(Buffer(0, 46), table);
    ASSERT_TRUE(ReadInstrumentMark());
    EXPECT_EQ(Buffer(0, 8), mark);
}

TEST_F(ExchangeTransfers, ListWritesGoOutInOverlappingFrames)
{
    const QByteArray names = memory.mid(7000, 128);
    FillBuffer(names);
    ASSERT_TRUE(WriteListNames());
    std::vector<QByteArray> frames = newFrames();
    ASSERT_EQ(frames.size(), 31u);
    EXPECT_EQ(frames, WriteFrames(128, names));

    const QByteArray list = memory.mid(20000, 1024);
    FillBuffer(list);
    ASSERT_TRUE(WriteList(3));
    frames = newFrames();
    ASSERT_EQ(frames.size(), 255u);
    EXPECT_EQ(frames, WriteFrames(3072, list));
    EXPECT_EQ(frames.front(), Hex("3A 0E 05 00 0C 08") + list.left(8));
    EXPECT_EQ(frames.back(), Hex("3A 0E 05 F8 0F 08") + list.right(8));

    QByteArray readBack;
    for (int part = 0; part < 8; ++part) {
        ASSERT_TRUE(ReadListPart(3, part));
        readBack += Buffer(0, 128);
    }
    EXPECT_EQ(readBack, list);
    ASSERT_TRUE(ReadListNames());
    EXPECT_EQ(Buffer(0, 128), names);
}

TEST_F(ExchangeTransfers, EraseCoversExactlyTheResultMemory)
{
    ASSERT_TRUE(EraseResultMemory());
    const std::vector<QByteArray> frames = newFrames();
    ASSERT_EQ(frames.size(), 2247u);
    const QByteArray erased(8, '\xFF');
    for (int block = 0; block < 3; ++block) {
        const int start = 9216 + 3000 * block;
        const std::vector<QByteArray> blockFrames(frames.begin() + 749 * block, frames.begin() + 749 * (block + 1));
        EXPECT_EQ(blockFrames, WriteFrames(start, QByteArray(3000, '\xFF'))) << "block at " << start;
        EXPECT_EQ(blockFrames.back(), WriteFrame(start + 2992, erased));
    }

    // The first and last pages are empty; the bytes around are untouched.
    ASSERT_TRUE(ReadResultPage(0));
    EXPECT_EQ(Buffer(0, 246), QByteArray(246, '\xFF'));
    ASSERT_TRUE(ReadMemory(9200, 16));
    EXPECT_EQ(Buffer(0, 16), memory.mid(9200, 16));
    ASSERT_TRUE(ReadMemory(18200, 32));
    EXPECT_EQ(Buffer(0, 16), QByteArray(16, '\xFF'));
    EXPECT_EQ(Buffer(16, 16), memory.mid(18216, 16));
}

TEST_F(ExchangeTransfers, ClockAndRegisterTransfers)
{
    ASSERT_TRUE(ReadClock());
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 06 03 19 00 0A")});
    ASSERT_EQ(lastReply().size(), 16);
    EXPECT_EQ(Buffer(0, 10), lastReply().mid(6, 10));

    ClockImage = {0x56, 0x34, 0x12, 0x00, 0x27, 0x08, 0x24};
    ASSERT_TRUE(WriteClock());
    EXPECT_EQ(newFrames(), (std::vector{RegisterFrame(0x19, 0x56, 0x34), RegisterFrame(0x1B, 0x12, 0x00),
                                        RegisterFrame(0x1D, 0x27, 0x08), RegisterFrame(0x1F, 0x24, 0x00)}));
    ASSERT_TRUE(ReadClock());
    newFrames();
    EXPECT_EQ(Buffer(4, 3), Hex("27 08 24"));   // day, month, year as written

    ASSERT_TRUE(WriteCorrection(*CorrectionByteFor(6, true)));   // 8 steps, slow
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 09 07 18 00 02 28 28 7A")});
    ASSERT_TRUE(ReadCorrection());
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 06 03 18 00 02")});
    EXPECT_EQ(lastReply().size(), 7);
    EXPECT_EQ(TransferBuffer[0], 0x28);

    ASSERT_TRUE(ClearListRegisters());
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 09 07 20 00 02 00 00 32")});

    ASSERT_TRUE(ReadLiveValues());
    EXPECT_EQ(newFrames(), std::vector{Hex("3A 06 03 4E 00 0A")});
    ASSERT_EQ(lastReply().size(), 16);
    EXPECT_EQ(Buffer(0, 10), lastReply().mid(6, 10));
}

TEST_F(ExchangeTransfers, TheWindowLogsEachTransferAndShowsItsProgress)
{
    const auto log = [this] { return rig.window->Memo->toPlainText().split('\n'); };
    ASSERT_TRUE(ReadSensorTable());
    EXPECT_EQ(log(), QStringList({"COM1  - открыт", "Считывание  памяти  прибора ... ", "COM1   - закрыт"}));
    ASSERT_TRUE(ReadClock());
    EXPECT_EQ(log().value(1), "Считывание времени и даты из прибора ... ");
    ASSERT_TRUE(WriteClock());
    EXPECT_EQ(log().value(1), "Запись в микросхему  часов ... ");
    FillBuffer(memory.left(8));
    ASSERT_TRUE(WriteInstrumentMark());
    EXPECT_EQ(log(), QStringList({"COM1  - открыт", "COM1   - закрыт"}));

    // Memory reads step the bar through 1..7 and 0, across exchanges.
    std::vector<int> steps;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(ReadMemoryPage(64 * i));
        steps.push_back(rig.window->Progres->value());
    }
    EXPECT_EQ(steps, (std::vector{2, 3, 4, 5, 6, 7, 0, 1}));

    // A long write shows its percentage, rising to the start of its last frame.
    std::vector<int> percents;
    QObject::connect(rig.window->Progres, &QProgressBar::valueChanged, [&percents](int v) { percents.push_back(v); });
    FillBuffer(memory.left(1024));
    ASSERT_TRUE(WriteList(2));
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 1016 * 100 / 1024);
}

// At the pace of the line a reply comes in many small reads.
TEST(ExchangePaced, RepliesAtThePaceOfTheLineAreAssembled)
{
    const QByteArray memory = PatternMemory();
    ExchangeRig rig({.paced = true, .memory = memory});
    ASSERT_TRUE(rig.ready());
    ASSERT_TRUE(ReadResultPage(0));
    EXPECT_EQ(Buffer(0, 246), memory.mid(9216, 246));
    FillBuffer(memory.mid(30000, 128));
    ASSERT_TRUE(WriteListNames());
    ASSERT_TRUE(ReadListNames());
    EXPECT_EQ(Buffer(0, 128), memory.mid(30000, 128));
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

} // namespace
