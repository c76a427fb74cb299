// The instrument panel's memory page: paging through the instrument's memory
// with both grids, the last page, and the erase of the test results.

#include "PanelRig.h"

#include "exchange/ExchVars.h"
#include "panel/MemPage.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "shell/Message.h"

#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTableWidget>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QByteArray PageRead(int address)
{
    return Hex("3A 06 01") + char(address & 0xFF) + char(address >> 8) + '\x40';
}

QString Cell(const QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

class PanelMemory : public ::testing::Test {
protected:
    explicit PanelMemory(const RigSetup &setup = {.memory = PatternMemory()}) : p(setup), memory(PatternMemory()) {}

    void SetUp() override { ASSERT_TRUE(p.ready()); }

    // Every row of both grids shows the page at `address` as the instrument holds it.
    void expectPage(int address) const
    {
        const QTableWidget *bytes = p.panel.GridByte;
        const QTableWidget *words = p.panel.GridWord;
        ASSERT_EQ(bytes->rowCount(), MemPageRows);
        ASSERT_EQ(words->rowCount(), MemPageRows);
        for (int row = 0; row < MemPageRows; ++row) {
            const int even = static_cast<uint8_t>(memory[address + 2 * row]);
            const int odd = static_cast<uint8_t>(memory[address + 2 * row + 1]);
            EXPECT_EQ(Cell(bytes, row, 0), QString::number(address + 2 * row));
            EXPECT_EQ(Cell(bytes, row, 1), QString::number(odd).rightJustified(3)) << row;
            EXPECT_EQ(Cell(bytes, row, 2), QString::number(even).rightJustified(3)) << row;
            EXPECT_EQ(Cell(words, row, 0), QString::number(address / 2 + row));
            EXPECT_EQ(Cell(words, row, 1), QString::number(even + 256 * odd).rightJustified(5)) << row;
        }
    }

    PanelRig p;
    QByteArray memory;
};

class PanelMemoryWithoutInstrument : public PanelMemory {
protected:
    PanelMemoryWithoutInstrument() : PanelMemory({.flags = {"--silent"}}) {}
};

// The erase runs as many frames as the instrument gets: kept fast by the
// rig's short inter-byte time-out.
class PanelErase : public PanelMemory {
protected:
    explicit PanelErase(const RigSetup &setup = {.memory = PatternMemory()}) : PanelMemory(setup) {}

    // The instrument's memory as it saved it when it stopped.
    QByteArray instrumentMemory()
    {
        p.rig.instrument->stop();
        return ReadWholeFile(p.rig.dir.file("instrument.mem"));
    }

    static QByteArray Erased(const QByteArray &memory, int from, int to)
    {
        QByteArray erased = memory;
        erased.replace(from, to - from, QByteArray(to - from, '\xFF'));
        return erased;
    }
};

class PanelEraseCutOff : public PanelErase {
protected:
    PanelEraseCutOff() : PanelErase({.flags = {"--unplug-after", "900"}, .memory = PatternMemory()}) {}
};

TEST(MemPageArrangement, TheOddByteStandsInTheLowColumn)
{
    ResetMemView();
    std::array<uint8_t, MemPageBytes> bytes{};
    bytes[6] = 0x34;
    bytes[7] = 0x12;
    TakeMemPage(128, bytes.data());
    const MemPageRow row = MemPageRowTexts(3);
    EXPECT_EQ(row.byteAddress, "134");
    EXPECT_EQ(row.low, " 18");
    EXPECT_EQ(row.high, " 52");
    EXPECT_EQ(row.wordAddress, "67");
    EXPECT_EQ(row.word, " 4660");
    EXPECT_EQ(MemPageRowTexts(31).byteAddress, "190");

    // Before the first read the addresses stand alone.
    ResetMemView();
    EXPECT_EQ(MemPageRowTexts(1).byteAddress, "2");
    EXPECT_TRUE(MemPageRowTexts(1).low.isEmpty());
    EXPECT_TRUE(MemPageRowTexts(1).word.isEmpty());
}

TEST_F(PanelMemory, PagingForwardAndBack)
{
    p.open(false, false, false, false);
    EXPECT_TRUE(p.newFrames().empty());
    EXPECT_TRUE(p.panel.KeyMi->isHidden());
    EXPECT_EQ(Cell(p.panel.GridByte, 1, 0), "2");
    EXPECT_TRUE(Cell(p.panel.GridByte, 1, 1).isEmpty());
    EXPECT_EQ(p.panel.GridByte->horizontalHeaderItem(1)->text(), "Младш.");
    EXPECT_EQ(p.panel.GridWord->horizontalHeaderItem(1)->text(), "Знач.");

    p.panel.KeyPl->click();
    EXPECT_EQ(p.newFrames(), std::vector{PageRead(0)});
    expectPage(0);
    EXPECT_TRUE(p.panel.KeyMi->isHidden());
    EXPECT_FALSE(p.panel.KeyPl->isChecked());

    p.panel.KeyPl->click();
    p.panel.KeyPl->click();
    EXPECT_EQ(p.newFrames(), (std::vector{PageRead(64), PageRead(128)}));
    expectPage(128);
    EXPECT_FALSE(p.panel.KeyMi->isHidden());

    p.panel.KeyMi->click();
    EXPECT_EQ(p.newFrames(), std::vector{PageRead(64)});
    expectPage(64);
    p.panel.KeyMi->click();
    EXPECT_EQ(p.newFrames(), std::vector{PageRead(0)});
    expectPage(0);
    EXPECT_TRUE(p.panel.KeyMi->isHidden());
    p.panel.KeyMi->click();
    EXPECT_TRUE(p.newFrames().empty());
    EXPECT_FALSE(p.panel.KeyMi->isChecked());

    // Reopened, the panel shows the last page again without reading it.
    p.open(false, false, false, false);
    EXPECT_TRUE(p.newFrames().empty());
    expectPage(0);
    EXPECT_TRUE(p.rig.messages.texts().isEmpty());
}

TEST_F(PanelMemory, TheLastPageEndsThePaging)
{
    const std::array<uint8_t, MemPageBytes> before{};
    TakeMemPage(LastMemPage - MemPageBytes, before.data());
    p.panel.KeyPl->click();
    EXPECT_EQ(p.newFrames(), std::vector{Hex("3A 06 01 C0 FF 40")});
    expectPage(LastMemPage);
    EXPECT_EQ(Cell(p.panel.GridByte, 31, 0), "65534");
    EXPECT_EQ(Cell(p.panel.GridWord, 31, 0), "32767");
    EXPECT_TRUE(p.panel.KeyPl->isHidden());

    p.panel.KeyPl->click();
    EXPECT_TRUE(p.newFrames().empty());
    EXPECT_EQ(MemViewFirst, LastMemPage);
    EXPECT_FALSE(p.panel.KeyPl->isChecked());

    p.panel.KeyMi->click();
    EXPECT_EQ(p.newFrames(), std::vector{PageRead(LastMemPage - MemPageBytes)});
    EXPECT_FALSE(p.panel.KeyPl->isHidden());
}

TEST_F(PanelMemoryWithoutInstrument, AFailedReadKeepsThePage)
{
    std::array<uint8_t, MemPageBytes> bytes{};
    bytes[0] = 7;
    TakeMemPage(64, bytes.data());
    TransferBuffer.fill(0x55);   // what an earlier read left
    p.panel.KeyPl->click();
    EXPECT_EQ(std::pair(MemViewFirst, MemViewNext), std::pair(64, 128));
    EXPECT_EQ(MemViewWords[0], 7);
    p.panel.KeyMi->click();
    EXPECT_EQ(std::pair(MemViewFirst, MemViewNext), std::pair(64, 128));
    EXPECT_EQ(p.rig.messages.texts(), (QStringList{"Нет связи с прибором", "Нет связи с прибором"}));
}

TEST_F(PanelErase, RefusedAtTheQuestion)
{
    MessageRecorder no(QMessageBox::No);
    p.panel.Reset_EEPROM->click();
    ASSERT_EQ(no.messages().size(), 1u);
    const MessageRequest &question = no.messages().front();
    EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.defaultButton, QMessageBox::No);
    EXPECT_TRUE(question.text.contains("результаты тестов"));
    EXPECT_TRUE(p.newFrames().empty());
    EXPECT_EQ(instrumentMemory(), memory);
}

// The next step reads the instrument from its first record again; the
// results file keeps every test.
TEST_F(PanelErase, ConfirmedItWritesExactlyTheResultMemory)
{
    Results[0].bytes = {1, 2, 0xAC, 0x41, 0x05, 0x02};
    ResultCount = 1;
    ReadMark = InstrumentReadMark{120, Results[0]};
    ASSERT_TRUE(Report(SaveResults()));
    const QByteArray file = ReadWholeFile(ResultsFileName);

    MessageRecorder yes(QMessageBox::Yes);
    p.panel.Reset_EEPROM->click();
    EXPECT_EQ(yes.messages().size(), 1u);   // the question alone
    EXPECT_EQ(p.newFrames().size(), 2247u);
    EXPECT_EQ(instrumentMemory(), Erased(memory, 9216, 18216));

    ReadMark.reset();
    ASSERT_TRUE(Report(LoadResults()));
    EXPECT_EQ(ReadMark, InstrumentReadMark{});
    EXPECT_EQ(Results[0].bytes, (std::array<uint8_t, 6>{1, 2, 0xAC, 0x41, 0x05, 0x02}));
    EXPECT_EQ(ReadWholeFile(ResultsFileName).mid(14), file.mid(14));
    ResetDataModel();
}

// Enter on the memory page never asks for the erase.
TEST_F(PanelErase, EnterIsNotTheErase)
{
    MessageRecorder yes(QMessageBox::Yes);
    p.open(false, false, false, false);
    p.panel.PageControl->setCurrentIndex(TPriborF::PageMemory);
    p.panel.Reset_EEPROM->setFocus();
    QTest::keyClick(p.panel.Reset_EEPROM, Qt::Key_Return);
    QTest::keyClick(&p.panel, Qt::Key_Enter);
    EXPECT_TRUE(yes.messages().empty());
    EXPECT_TRUE(p.newFrames().empty());
    p.panel.hide();
}

TEST_F(PanelErase, TheExchangeWindowsExitStopsTheErase)
{
    MessageRecorder yes(QMessageBox::Yes);
    WhenReceived(p.rig, 100, [this] { p.rig.window->Key_Exit->click(); });
    p.panel.Reset_EEPROM->click();

    const size_t frames = p.newFrames().size();
    EXPECT_GE(frames, 100u);
    EXPECT_LT(frames, 2247u);
    ASSERT_EQ(yes.messages().size(), 2u);
    EXPECT_TRUE(yes.messages()[1].text.contains("не полностью"));
}

TEST_F(PanelEraseCutOff, AnInstrumentGoneStopsTheErase)
{
    MessageRecorder yes(QMessageBox::Yes);
    p.panel.Reset_EEPROM->click();

    const std::vector<QByteArray> frames = p.newFrames();
    ASSERT_EQ(frames.size(), 900u);
    EXPECT_EQ(frames.back(), Hex("3A 0E 05 10 32 08") + QByteArray(8, '\xFF'));   // 12216 + 4 x 150
    const QStringList messages = [&yes] {
        QStringList texts;
        for (const MessageRequest &request : yes.messages())
            texts << request.text;
        return texts;
    }();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(messages[1], "Нет связи с прибором");
    EXPECT_TRUE(messages[2].contains("не полностью"));

    // The first block and what the second got stay erased; the third block
    // was never sent.
    EXPECT_EQ(instrumentMemory(), Erased(memory, 9216, 12216 + 4 * 150 + 8));
}

} // namespace
