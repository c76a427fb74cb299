// The instrument panel's clock and clock-rate correction pages: the two read
// decodings, the watch, the writes from the PC and from the typed fields with
// their checks, and the correction byte.

#include "PanelRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "panel/Clock.h"
#include "panel/Correction.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// The clock registers 25..32 of the example instrument: BCD 45 s, 30 min,
// hour 0x52 (12 under its mask), then 17, 09, 00, 00 and 09.
const QByteArray ExampleRegisters = Hex("45 30 52 17 09 00 00 09");

const QByteArray ClockRead = Hex("3A 06 03 19 00 0A");
const QByteArray CorrectionRead = Hex("3A 06 03 18 00 02");

// The four register writes of a clock image, then the read-back.
std::vector<QByteArray> WriteAndReadBackFrames(const std::array<uint8_t, 7> &image)
{
    return {RegisterFrame(0x19, image[0], image[1]), RegisterFrame(0x1B, image[2], image[3]),
            RegisterFrame(0x1D, image[4], image[5]), RegisterFrame(0x1F, image[6], 0), ClockRead};
}

class PanelClock : public ::testing::Test {
protected:
    explicit PanelClock(const RigSetup &setup = {}) : p(setup) {}

    void SetUp() override { ASSERT_TRUE(p.ready()); }

    void enter(const std::array<const char *, ClockFieldCount> &texts)
    {
        const std::array edits{p.panel.EditHH, p.panel.EditMin, p.panel.EditSec,
                               p.panel.EditDay, p.panel.EditMon, p.panel.EditYear};
        for (int field = 0; field < ClockFieldCount; ++field)
            edits[field]->setText(QString::fromUtf8(texts[field]));
    }

    QStringList fields() const
    {
        return {p.panel.EditHH->text(), p.panel.EditMin->text(), p.panel.EditSec->text(),
                p.panel.EditDay->text(), p.panel.EditMon->text(), p.panel.EditYear->text()};
    }

    void chooseCorrection(const QString &text, bool slow)
    {
        p.panel.ComboBox1->setCurrentText(text);
        p.panel.radio_PLMiItems->button(slow ? 1 : 0)->setChecked(true);
    }

    PanelRig p;
};

class PanelClockWithoutInstrument : public PanelClock {
protected:
    PanelClockWithoutInstrument() : PanelClock({.flags = {"--silent"}}) {}
};

// The watch at the program's own pace, so that the operator has time to stop it.
class PanelClockWatched : public PanelClock {
protected:
    PanelClockWatched() : PanelClock({.readIntervalMs = 100}) {}
};

TEST(ClockPacking, BcdBothWays)
{
    EXPECT_EQ(BcdByte(0), 0x00);
    EXPECT_EQ(BcdByte(9), 0x09);
    EXPECT_EQ(BcdByte(37), 0x37);
    EXPECT_EQ(BcdByte(99), 0x99);
    EXPECT_EQ(BcdValue(0x59), 59);
    EXPECT_EQ(BcdValue(0x5A), 60);   // nibbles above 9 are taken as they are
    EXPECT_EQ(ClockImageFor(23, 59, 59, 31, 12, 9), (std::array<uint8_t, 7>{0x59, 0x59, 0x23, 0, 0x31, 0x12, 0x09}));
    EXPECT_EQ(ClockImageFor(0, 0, 0, 1, 1, 2000)[6], 0x00);
}

TEST(ClockPacking, EnteredValuesAreCheckedFieldByField)
{
    QString error;
    int badField = -1;
    const auto accepted = [&error, &badField](std::array<QString, ClockFieldCount> texts) {
        return ParseEnteredClock(texts, error, badField);
    };
    auto entered = accepted({"23", "59", "59", "31", "12", "2009"});
    ASSERT_TRUE(entered);
    EXPECT_EQ(std::tuple(entered->hour, entered->minute, entered->second, entered->day, entered->month, entered->year),
              std::tuple(23, 59, 59, 31, 12, 9));
    entered = accepted({" 0", "00", "0", "01", "1", "2099"});
    ASSERT_TRUE(entered);
    EXPECT_EQ(entered->year, 99);
    EXPECT_TRUE(accepted({"0", "0", "0", "1", "1", "99"}));

    // One bad field at a time; the message names it.
    const std::array<QString, ClockFieldCount> good{"12", "30", "45", "17", "9", "9"};
    const std::vector<std::pair<int, QString>> bad{
        {FieldHour, "24"},   {FieldHour, ""},      {FieldHour, "1a"},   {FieldMinute, "60"},
        {FieldSecond, "-1"}, {FieldSecond, "+5"},  {FieldDay, "0"},     {FieldDay, "32"},
        {FieldMonth, "0"},   {FieldMonth, "13"},   {FieldYear, "100"},  {FieldYear, "1999"},
        {FieldYear, "2100"}, {FieldYear, "99999999999"}, {FieldDay, "31"},   // 31 September
    };
    const QStringList names{"Часы", "Минуты", "Секунды", "День", "Месяц", "Год"};
    for (const auto &[field, text] : bad) {
        std::array<QString, ClockFieldCount> texts = good;
        texts[field] = text;
        error.clear();
        EXPECT_FALSE(accepted(texts)) << field << " " << text.toStdString();
        EXPECT_EQ(badField, field);
        EXPECT_TRUE(error.contains("\"" + names[field] + "\"")) << error.toStdString();
    }
}

TEST(ClockPacking, TheDayMustExistInItsMonth)
{
    QString error;
    int badField = -1;
    const auto accepted = [&](const char *day, const char *month, const char *year) {
        return ParseEnteredClock({"10", "00", "00", day, month, year}, error, badField).has_value();
    };
    EXPECT_FALSE(accepted("31", "02", "2023"));
    EXPECT_EQ(badField, int(FieldDay));
    EXPECT_TRUE(error.startsWith("Поле \"День\"")) << error.toStdString();
    EXPECT_TRUE(error.contains("31.02.2023")) << error.toStdString();
    EXPECT_FALSE(accepted("29", "02", "23"));
    EXPECT_FALSE(accepted("31", "04", "2024"));
    EXPECT_TRUE(accepted("29", "02", "2024"));
    EXPECT_TRUE(accepted("29", "02", "00"));   // 2000 was a leap year
    EXPECT_TRUE(accepted("30", "04", "24"));
    EXPECT_TRUE(accepted("31", "12", "99"));
}

TEST(ClockPacking, CorrectionEntries)
{
    ASSERT_EQ(CorrectionEntryTexts.size(), int(CorrectionSteps.size()));
    EXPECT_EQ(CorrectionFromEntry("6   секунд", false), 1);
    EXPECT_EQ(CorrectionFromEntry("1   минута", true), 42);
    EXPECT_EQ(CorrectionFromEntry("3   минуты", true), 63);
    EXPECT_FALSE(CorrectionFromEntry("", false));
    EXPECT_FALSE(CorrectionFromEntry("2 минуты", false));
    EXPECT_EQ(CorrectionByteFor(12, false), 31);
    EXPECT_FALSE(CorrectionByteFor(13, false));
    EXPECT_FALSE(CorrectionByteFor(-1, true));
}

TEST_F(PanelClock, OpeningFromTheClockMenuDecodesTheRegisters)
{
    ASSERT_TRUE(p.setInstrumentRegisters(ExampleRegisters));
    p.open(false, true, false, true);

    EXPECT_EQ(p.newFrames(), (std::vector{Hex("3A 06 01 00 00 2E"), ClockRead}));
    EXPECT_EQ(p.panel.PageControl->currentIndex(), int(TPriborF::PageClock));
    EXPECT_EQ(p.panel.ETime->text(), "12:30:45");
    EXPECT_EQ(p.panel.EDate->text(), "17-09-09");
    EXPECT_EQ(p.panel.EPC->text(), "14:07:30");
    // The fields hold the PC time and date; the read does not refill them.
    EXPECT_EQ(fields(), (QStringList{"14", "07", "30", "05", "03", "09"}));

    // "Считать" takes the registers in the layout of the writes, BCD unmasked.
    p.panel.KeyPriem->click();
    EXPECT_EQ(p.newFrames(), std::vector{ClockRead});
    EXPECT_EQ(p.panel.ETime->text(), "52:30:45");
    EXPECT_EQ(p.panel.EDate->text(), "09-00-00");
    EXPECT_EQ(fields(), (QStringList{"14", "07", "30", "09", "00", "00"}));

    // Month 00 as read cannot be written back.
    p.panel.KeyWrData->click();
    EXPECT_TRUE(p.newFrames().empty());
    ASSERT_EQ(p.rig.messages.texts().size(), 1);
    EXPECT_TRUE(p.rig.messages.texts()[0].contains("\"Месяц\""));
    EXPECT_FALSE(p.panel.KeyWrData->isChecked());
}

// A read followed by a write of the values shown sends back the date that
// was read; a date that does not exist is not sent.
TEST_F(PanelClock, ReadingAndWritingBackKeepsTheInstrumentsDate)
{
    ASSERT_TRUE(p.setInstrumentRegisters(Hex("00 00 10 00 05 01 25 00")));   // 10:00:00 5.01.2025
    p.panel.KeyPriem->click();
    EXPECT_EQ(p.panel.EDate->text(), "05-01-25");
    EXPECT_EQ(fields().mid(3), (QStringList{"05", "01", "25"}));
    p.newFrames();
    p.panel.KeyWrData->click();
    const std::vector<QByteArray> frames = p.newFrames();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[2], RegisterFrame(0x1D, 0x05, 0x01));
    EXPECT_EQ(frames[3], RegisterFrame(0x1F, 0x25, 0));
    EXPECT_EQ(std::tuple(ClockDay, ClockMonth, ClockYear), std::tuple(5, 1, 25));

    // After the program's own write of the PC time, "Считать" shows it.
    p.panel.KeyWrPC->click();
    p.panel.KeyPriem->click();
    EXPECT_TRUE(p.panel.ETime->text().startsWith("14:07:")) << p.panel.ETime->text().toStdString();
    EXPECT_EQ(p.panel.EDate->text(), "05-03-09");

    p.newFrames();
    for (const char *year : {"2023", "2024"}) {
        enter({"10", "00", "00", "29", "02", year});
        p.panel.KeyWrData->click();
    }
    EXPECT_EQ(p.newFrames().size(), 5u);
    EXPECT_EQ(std::tuple(ClockDay, ClockMonth, ClockYear), std::tuple(29, 2, 24));
    ASSERT_EQ(p.rig.messages.texts().size(), 1);
    EXPECT_TRUE(p.rig.messages.texts()[0].contains("\"День\""));
}

// Registers in the layout of the writes make no date under the decoding on
// opening: the date stays empty and the page points to "Считать".
TEST_F(PanelClock, OpeningOnRegistersThatMakeNoDateShowsNone)
{
    ASSERT_TRUE(p.setInstrumentRegisters(Hex("00 00 10 00 05 01 25 00")));   // 10:00:00 5.01.2025
    p.open(false, true, false, true);
    EXPECT_TRUE(p.panel.ETime->text().startsWith("10:00:0")) << p.panel.ETime->text().toStdString();   // the clock runs
    EXPECT_EQ(p.panel.EDate->text(), "");
    EXPECT_TRUE(p.panel.LClockNote->text().contains("\"Считать\""));

    p.panel.KeyPriem->click();
    EXPECT_EQ(p.panel.EDate->text(), "05-01-25");
    EXPECT_EQ(p.panel.LClockNote->text(), "");
}

TEST_F(PanelClock, OpeningWithoutTheClockFlagReadsNothing)
{
    p.panel.ETime->setText("11:11:11");
    p.open(false, false, false, false);
    EXPECT_TRUE(p.newFrames().empty());
    EXPECT_EQ(p.panel.ETime->text(), "11:11:11");
    EXPECT_EQ(p.panel.EPC->text(), "14:07:30");
}

TEST_F(PanelClock, WritingThePcTimeSendsItsImageAndReadsItBack)
{
    p.panel.KeyWrPC->click();
    const std::array<uint8_t, 7> image{0x30, 0x07, 0x14, 0x00, 0x05, 0x03, 0x09};
    EXPECT_EQ(ClockImage, image);
    EXPECT_EQ(p.newFrames(), WriteAndReadBackFrames(image));
    EXPECT_FALSE(p.panel.KeyWrPC->isChecked());

    // The read-back is taken as "Считать" takes it and not shown.
    EXPECT_EQ(std::tuple(ClockHour, ClockMinute, ClockDay, ClockMonth, ClockYear), std::tuple(14, 7, 5, 3, 9));
    EXPECT_EQ(p.panel.ETime->text(), "?\?:?\?:?\?");
    EXPECT_TRUE(p.rig.messages.texts().isEmpty());
}

TEST_F(PanelClock, WritingTheEnteredValues)
{
    enter({"23", "59", "59", "31", "12", "2009"});
    p.panel.KeyWrData->click();
    const std::array<uint8_t, 7> image{0x59, 0x59, 0x23, 0x00, 0x31, 0x12, 0x09};
    EXPECT_EQ(ClockImage, image);
    EXPECT_EQ(p.newFrames(), WriteAndReadBackFrames(image));

    enter({"23", "59", "59", "31", "12", "09"});
    p.panel.KeyWrData->click();
    EXPECT_EQ(ClockImage, image);
    EXPECT_EQ(p.newFrames().size(), 5u);
    EXPECT_TRUE(p.rig.messages.texts().isEmpty());
}

TEST_F(PanelClock, EnteredValuesOutOfRangeAreNotWritten)
{
    const std::vector<std::array<const char *, ClockFieldCount>> entries{
        {"25", "00", "00", "01", "01", "09"}, {"12", "60", "00", "01", "01", "09"},
        {"12", "00", "", "01", "01", "09"},   {"12", "00", "00", "32", "01", "09"},
        {"12", "00", "00", "01", "0", "09"},  {"12", "00", "00", "01", "01", "123"},
    };
    ClockImage = {1, 2, 3, 4, 5, 6, 7};
    for (const auto &entry : entries)
        enter(entry), p.panel.KeyWrData->click();
    EXPECT_TRUE(p.newFrames().empty());
    EXPECT_EQ(ClockImage, (std::array<uint8_t, 7>{1, 2, 3, 4, 5, 6, 7}));
    const QStringList messages = p.rig.messages.texts();
    ASSERT_EQ(messages.size(), 6);
    const QStringList names{"Часы", "Минуты", "Секунды", "День", "Месяц", "Год"};
    for (int field = 0; field < ClockFieldCount; ++field)
        EXPECT_TRUE(messages[field].contains("\"" + names[field] + "\"")) << messages[field].toStdString();
    EXPECT_FALSE(p.panel.KeyWrData->isChecked());
}

TEST_F(PanelClockWithoutInstrument, FailedReadsChangeNothing)
{
    p.panel.ETime->setText("01:02:03");
    p.panel.EditDay->setText("17");
    ClockDay = 17;
    TransferBuffer.fill(0x99);   // what an earlier read left
    p.panel.KeyPriem->click();
    EXPECT_EQ(p.panel.ETime->text(), "01:02:03");
    EXPECT_EQ(p.panel.EditDay->text(), "17");
    EXPECT_EQ(ClockDay, 17);
    EXPECT_EQ(p.newFrames(), std::vector<QByteArray>(3, ClockRead));
    EXPECT_EQ(p.rig.messages.texts(), QStringList{"Нет связи с прибором"});

    // A failed write skips the read-back.
    p.rig.messages.clear();
    p.panel.KeyWrPC->click();
    EXPECT_EQ(p.newFrames(), std::vector<QByteArray>(3, RegisterFrame(0x19, 0x30, 0x07)));
    EXPECT_FALSE(p.panel.KeyWrPC->isChecked());
    EXPECT_EQ(p.rig.messages.texts(), QStringList{"Нет связи с прибором"});
}

TEST_F(PanelClockWithoutInstrument, WatchStopsAtTheFirstFailedRead)
{
    WatchMode = false;
    p.panel.KeyKrug->click();
    EXPECT_EQ(p.newFrames(), std::vector<QByteArray>(3, ClockRead));
    EXPECT_FALSE(p.panel.KeyKrug->isChecked());
    EXPECT_FALSE(WatchMode);
    EXPECT_EQ(p.rig.messages.texts(), QStringList{"Нет связи с прибором"});
}

TEST_F(PanelClock, WatchReadsTwentyOneTimes)
{
    ASSERT_TRUE(p.setInstrumentRegisters(ExampleRegisters));
    WatchMode = true;   // whatever the watch found, it leaves
    p.panel.KeyKrug->click();
    EXPECT_EQ(p.newFrames(), std::vector<QByteArray>(21, ClockRead));
    EXPECT_TRUE(p.panel.ETime->text().startsWith("52:30:4")) << p.panel.ETime->text().toStdString();
    EXPECT_EQ(fields(), (QStringList{"14", "07", "30", "09", "00", "00"}));
    EXPECT_FALSE(p.panel.KeyKrug->isChecked());
    EXPECT_TRUE(WatchMode);
}

TEST_F(PanelClockWatched, WatchStopsWhenTheOperatorStopsIt)
{
    WhenReceived(p.rig, 3, [this] {
        EXPECT_TRUE(p.rig.window->Key_Stop->isVisible());
        EXPECT_TRUE(p.panel.KeyKrug->isChecked());
        p.rig.window->Key_Stop->click();
    });
    p.panel.KeyKrug->click();
    const size_t reads = p.newFrames().size();
    EXPECT_GE(reads, 3u);
    EXPECT_LT(reads, 21u);
    EXPECT_FALSE(p.panel.KeyKrug->isChecked());
    EXPECT_FALSE(WatchMode);
    EXPECT_TRUE(p.rig.messages.texts().isEmpty());
}

TEST_F(PanelClock, CorrectionPageReadsTheClockIntoItsOwnFields)
{
    ASSERT_TRUE(p.setInstrumentRegisters(ExampleRegisters));
    p.panel.KeyPriem1->click();
    EXPECT_EQ(p.newFrames(), std::vector{ClockRead});
    EXPECT_EQ(p.panel.PageControl->currentIndex(), int(TPriborF::PageCorrection));
    EXPECT_TRUE(p.panel.ETime1->text().startsWith("52:30:4")) << p.panel.ETime1->text().toStdString();
    EXPECT_EQ(p.panel.EDate1->text(), "09-00-00");
    EXPECT_EQ(p.panel.EPC1->text(), "14:07:30");
    EXPECT_EQ(p.panel.ETime->text(), "?\?:?\?:?\?");
    EXPECT_EQ(fields(), (QStringList{"14", "07", "30", "09", "00", "00"}));
}

TEST_F(PanelClock, CorrectionWriteSendsTheChosenByteAndShowsTheReadBack)
{
    EXPECT_EQ(p.panel.ComboBox1->currentText(), "1   минута");
    EXPECT_EQ(p.panel.ComboBox1->count(), 14);

    chooseCorrection("2   минуты", true);
    p.panel.Key_WriteCorrect->click();
    EXPECT_EQ(p.newFrames(), (std::vector{Hex("3A 09 07 18 00 02 34 34 92"), CorrectionRead}));
    EXPECT_EQ(p.panel.edit_correct->text(), "52");

    chooseCorrection("2   минуты", false);
    p.panel.Key_WriteCorrect->click();
    EXPECT_EQ(p.newFrames(), (std::vector{Hex("3A 09 07 18 00 02 14 14 52"), CorrectionRead}));
    EXPECT_EQ(p.panel.edit_correct->text(), "20");

    // "Прием" reads twice and shows the raw byte.
    p.panel.edit_correct->clear();
    p.panel.Key_InputCorrect->click();
    EXPECT_EQ(p.newFrames(), (std::vector{CorrectionRead, CorrectionRead}));
    EXPECT_EQ(p.panel.edit_correct->text(), "20");
    EXPECT_TRUE(p.rig.messages.texts().isEmpty());
}

TEST_F(PanelClock, CorrectionWithoutAnEntryIsRefused)
{
    p.panel.edit_correct->setText("42");
    p.panel.ComboBox1->setCurrentIndex(13);   // the empty entry
    p.panel.Key_WriteCorrect->click();
    chooseCorrection("2 минуты", true);      // typed, not an entry
    p.panel.Key_WriteCorrect->click();
    EXPECT_TRUE(p.newFrames().empty());
    EXPECT_EQ(p.rig.messages.texts().size(), 2);
    EXPECT_EQ(p.panel.edit_correct->text(), "42");
}

TEST_F(PanelClockWithoutInstrument, FailedCorrectionReadShowsNothing)
{
    p.panel.edit_correct->setText("42");
    TransferBuffer[0] = 7;
    p.panel.Key_InputCorrect->click();
    p.panel.Key_WriteCorrect->click();
    EXPECT_EQ(p.panel.edit_correct->text(), "42");
    EXPECT_EQ(p.rig.messages.texts(), (QStringList{"Нет связи с прибором", "Нет связи с прибором"}));
}

} // namespace
