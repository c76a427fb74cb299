// The lists window: editing names, reading and writing a list through the
// instrument (checked in its traffic log and read back), failed transfers,
// and the statistics window opened on a person.

#include "ExchangeRig.h"
#include "FadingDevice.h"
#include "TestRecords.h"

#include "exchange/ExchVars.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/List.h"
#include "views/Print.h"
#include "views/ResultGrid.h"
#include "views/Search.h"
#include "views/ListTransfer.h"
#include "views/Stat.h"
#include "shell/Message.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableWidget>
#include <QTest>
#include <QKeyEvent>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

namespace {

QByteArray Display(const char *utf8)
{
    QByteArray name(16, ' ');
    NameToDisplay(ToCp1251(QString::fromUtf8(utf8)), reinterpret_cast<uint8_t *>(name.data()));
    return name;
}

// Names of every list at 128, persons of list 3 at 3072; the rest erased.
QByteArray ListMemory()
{
    QByteArray memory(65536, '\xFF');
    for (int list = 1; list <= 8; ++list)
        memory.replace(128 + 16 * (list - 1), 16, Display(QStringLiteral("Смена %1").arg(list).toUtf8()));
    memory.replace(3072, 16, Display("Иванов И.И."));
    memory.replace(3072 + 16 * 63, 16, Display("Щукин Я.Ц."));
    return memory;
}

QByteArray ReadRequest(int address, int count)
{
    return Hex("3A 06 01") + char(address & 0xFF) + char(address >> 8) + char(count);
}

std::vector<QByteArray> ListReadRequests(int list)
{
    std::vector<QByteArray> frames{ReadRequest(128, 128)};
    for (int part = 0; part < 8; ++part)
        frames.push_back(ReadRequest(1024 * list + 128 * part, 128));
    return frames;
}

class ListsWindow : public ::testing::Test {
protected:
    explicit ListsWindow(const RigSetup &setup = {.memory = ListMemory()}) : rig(setup)
    {
        ResetDataModel();
        StatF = &stat;
    }
    ~ListsWindow() override
    {
        stat.setParent(nullptr);   // a double click makes it a window of the lists window
        StatF = nullptr;
        ResetDataModel();
    }

    void SetUp() override { ASSERT_TRUE(rig.ready()); }

    void Open()
    {
        window.show();
        QCoreApplication::processEvents();
        rig.messages.clear();
    }

    QString Person(int row) const { return window.GridFIO->item(row, 1)->text(); }

    FixedToday today{QDateTime(QDate(2026, 12, 8), QTime(10, 0))};
    ExchangeRig rig;
    TStatF stat;
    TListF window;
};

TEST_F(ListsWindow, ReadsList3AndWritesItBack)
{
    Open();
    window.GridName->setCurrentCell(2, 0);
    ASSERT_EQ(CurrentList, 3);
    window.Key_InputSel->click();

    EXPECT_EQ(rig.frames(), ListReadRequests(3));
    EXPECT_EQ(window.GridName->item(0, 0)->text(), "Cмeнa 1         ");   // look-alikes come back Latin
    EXPECT_EQ(Person(0), "Cмeнa 3         ");
    EXPECT_EQ(FromCp1251(PersonNames[3][0]), "Ивaнoв И.И.     ");
    EXPECT_EQ(Person(1), "Ивaнoв И.И.     ");
    EXPECT_EQ(Person(2), "02 номерв списке");
    EXPECT_EQ(FromCp1251(PersonNames[3][63]), "Щyкин Я.Ц.      ");
    EXPECT_EQ(FromCp1251(PersonNames[2][0]), "Цех 2 Фамилия 00");   // other lists untouched

    window.GridFIO->item(2, 1)->setText(QStringLiteral("Петров"));
    EXPECT_EQ(FromCp1251(PersonNames[3][1]), "Петров          ");
    const size_t before = rig.frames().size();
    window.Key_OutputSel->click();

    const auto frames = rig.frames();
    ASSERT_EQ(frames.size(), before + 31 + 255);
    EXPECT_EQ(frames[before], Hex("3A 0E 05 80 00 08") + Display("Cмeнa 1").left(8));
    EXPECT_EQ(frames[before + 30].left(6), Hex("3A 0E 05 F8 00 08"));
    EXPECT_EQ(frames[before + 31], Hex("3A 0E 05 00 0C 08") + Display("Иванов И.И.").left(8));
    EXPECT_EQ(frames[before + 35], Hex("3A 0E 05 10 0C 08") + Display("Петров").left(8));
    EXPECT_EQ(frames.back(), Hex("3A 0E 05 F8 0F 08") + Display("Щукин Я.Ц.").right(8));
    EXPECT_TRUE(rig.messages.texts().isEmpty());

    // Read back: what was written is what comes.
    PersonNames[3].fill(QByteArray());
    window.Key_InputSel->click();
    EXPECT_EQ(FromCp1251(PersonNames[3][1]), "Пeтpoв          ");
    EXPECT_EQ(Person(64), "Щyкин Я.Ц.      ");
}

TEST_F(ListsWindow, ErasedSlotsReadAsTheirNumbers)
{
    Open();
    window.GridName->setCurrentCell(7, 0);
    window.Key_InputSel->click();
    EXPECT_EQ(rig.frames(), ListReadRequests(8));
    EXPECT_EQ(FromCp1251(PersonNames[8][0]), "01 номерв списке");
    EXPECT_EQ(FromCp1251(PersonNames[8][63]), "64 номерв списке");
    EXPECT_EQ(ErasedListName(8), ToCp1251("8 список фамилий"));
}

TEST_F(ListsWindow, WritesOnlyListsOneToEight)
{
    CurrentList = 0;
    EXPECT_FALSE(WriteListToInstrument(0));
    EXPECT_FALSE(ReadListFromInstrument(9));
    EXPECT_TRUE(rig.frames().empty());
}

// Typed names reach the lists as they are typed, cut or filled to 16, and
// the statistics window opened by a double click finds them in the file.
TEST_F(ListsWindow, EditsSurviveOpeningTheStatistics)
{
    ASSERT_TRUE(Report(SaveResults()));
    Open();
    window.GridName->setCurrentCell(1, 0);
    window.GridName->item(1, 0)->setText(QStringLiteral("Ночная смена водителей"));
    EXPECT_EQ(FromCp1251(ListNames[2]), "Ночная смена вод");
    EXPECT_EQ(window.GridFIO->item(0, 1)->text(), "Ночная смена вод");

    window.GridFIO->setCurrentCell(5, 1);
    window.GridFIO->edit(window.GridFIO->currentIndex());
    auto *editor = window.GridFIO->viewport()->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    for (const QChar letter : QStringLiteral("Цех")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(letter));
        QCoreApplication::sendEvent(editor, &press);
    }
    EXPECT_EQ(FromCp1251(PersonNames[2][4]), "Цех             ");

    window.GridFIODblClick(5);
    QCoreApplication::processEvents();
    EXPECT_EQ(CurrentPerson, 4);
    EXPECT_TRUE(stat.isVisible());
    EXPECT_EQ(stat.box_List->currentText(), "Ночная смена вод");
    EXPECT_EQ(stat.box_FIO->currentText(), "Цех             ");
    EXPECT_EQ(FromCp1251(PersonNames[2][4]), "Цех             ");
    EXPECT_TRUE(rig.messages.texts().isEmpty());
    stat.hide();
}

// The lists window is modal; the statistics window it opens must still take
// the operator's clicks.
TEST_F(ListsWindow, StatisticsOpenedFromTheListsAreNotBlocked)
{
    ASSERT_TRUE(Report(SaveResults()));
    window.setWindowModality(Qt::ApplicationModal);
    Open();
    window.GridFIODblClick(1);
    QCoreApplication::processEvents();
    ASSERT_TRUE(stat.isVisible());
    QTest::mouseClick(stat.windowHandle(), Qt::LeftButton, {},
                      stat.Key_Exit->mapTo(&stat, stat.Key_Exit->rect().center()));
    QCoreApplication::processEvents();
    EXPECT_FALSE(stat.isVisible());
}

// A list file that cannot take the edits: the operator is told once, and the
// statistics window shows the edits instead of reading the old file over them.
TEST_F(ListsWindow, AFailedSaveBeforeTheStatisticsKeepsTheEdits)
{
    ASSERT_TRUE(Report(SaveResults()));
    Open();
    const QByteArray file = ReadWholeFile(ListFileName);
    ASSERT_TRUE(QFile::setPermissions(ListFileName, QFile::ReadOwner));
    window.GridFIO->item(5, 1)->setText(QStringLiteral("Петров"));

    for (int click = 0; click < 2; ++click) {
        window.GridFIODblClick(5);
        QCoreApplication::processEvents();
        EXPECT_EQ(stat.box_FIO->currentText(), "Петров          ");
        EXPECT_EQ(FromCp1251(PersonNames[1][4]), "Петров          ");
    }
    EXPECT_EQ(rig.messages.texts().size(), 1);
    EXPECT_TRUE(rig.messages.texts().value(0).contains(ListFileName));
    EXPECT_EQ(ReadWholeFile(ListFileName), file);
    stat.hide();
}

// A window that changed nothing writes nothing: a file that another copy of
// the program saved meanwhile stays as that copy left it, and the statistics
// opened from the window show its lists, not the file's. A file that has
// gone meanwhile is written again.
TEST_F(ListsWindow, LeavingWithoutAChangeLeavesTheFileAlone)
{
    ASSERT_TRUE(Report(SaveResults()));
    const std::function<void()> ways[] = {[&] { window.GridFIODblClick(1); }, [&] { window.Key_ExitClick(); }};
    for (const auto &leave : ways) {
        Open();
        const QByteArray shown = ListNames[2];
        ListNames[2] = NormalisedName(QStringLiteral("Другая смена"));
        ASSERT_TRUE(Report(SaveLists()));
        const QByteArray saved = ReadWholeFile(ListFileName);
        ListNames[2] = shown;
        leave();
        QCoreApplication::processEvents();
        EXPECT_EQ(ReadWholeFile(ListFileName), saved);
        EXPECT_EQ(ListNames[2], shown);
        stat.hide();
    }

    Open();
    const QByteArray shown = ListNames[2];
    ASSERT_TRUE(QFile::remove(ListFileName));
    window.GridFIODblClick(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(ListNames[2], shown);
    window.Key_ExitClick();
    EXPECT_EQ(ReadWholeFile(ListFileName).mid(16, 16), shown);
    stat.hide();
}

TEST_F(ListsWindow, ClearingTouchesOnlyTheCurrentListInMemory)
{
    Open();
    const QByteArray file = ReadWholeFile(ListFileName);
    window.GridName->setCurrentCell(4, 0);
    window.KeyInput->click();
    EXPECT_EQ(PersonNames[5][63], QByteArray(16, ' '));
    EXPECT_EQ(FromCp1251(PersonNames[4][0]), "Цех 4 Фамилия 00");
    EXPECT_EQ(ReadWholeFile(ListFileName), file);
    EXPECT_TRUE(rig.frames().empty());
    window.Key_ExitClick();
    EXPECT_EQ(ReadWholeFile(ListFileName).mid(16 * (8 + 4 * 64), 16), QByteArray(16, ' '));
}

// Each window acts on the list it shows, whatever the other one chose since.
TEST_F(ListsWindow, TheStatisticsChoosingAnotherListLeavesTheListsWindowOnItsOwn)
{
    ASSERT_TRUE(Report(SaveResults()));
    Open();
    const auto list3 = PersonNames[3];
    window.GridFIODblClick(1);
    QCoreApplication::processEvents();
    stat.box_List->setCurrentIndex(2);
    emit stat.box_List->activated(2);
    ASSERT_EQ(stat.box_FIO->currentText(), "Цех 3 Фамилия 00");

    window.GridFIO->item(5, 1)->setText(QStringLiteral("Петров"));
    EXPECT_EQ(FromCp1251(PersonNames[1][4]), "Петров          ");
    window.KeyInput->click();
    EXPECT_EQ(PersonNames[1][4], QByteArray(16, ' '));
    EXPECT_EQ(PersonNames[3], list3);
    const size_t before = rig.frames().size();
    window.Key_OutputSel->click();
    ASSERT_EQ(rig.frames().size(), before + 31 + 255);
    EXPECT_EQ(rig.frames()[before + 31].left(6), Hex("3A 0E 05 00 04 08"));   // list 1 at 0x0400
    EXPECT_EQ(window.GridName->currentRow(), 0);
    stat.hide();
}

TEST_F(ListsWindow, TheStatisticsSearchTheListTheyShow)
{
    const QDateTime day(QDate(2026, 12, 1), QTime(9, 0));
    Results[0] = TestRecord(1, 4, day);
    Results[1] = TestRecord(1, 4, day.addSecs(60));
    Results[2] = TestRecord(3, 4, day.addSecs(120));
    ResultCount = 3;
    ASSERT_TRUE(Report(SaveResults()));
    Open();
    window.GridName->setCurrentCell(2, 0);
    window.GridFIODblClick(1);
    QCoreApplication::processEvents();
    window.GridName->setCurrentCell(0, 0);

    stat.box_FIO->setCurrentIndex(4);
    emit stat.box_FIO->activated(4);
    ASSERT_EQ(FoundCount, 1);
    EXPECT_EQ(Found[0].ListNo, 3);
    // The printed sheet names the person searched, not the lists window's.
    window.GridFIO->setCurrentCell(10, 1);
    EXPECT_EQ(FoundSheet(stat.Grid().ShownEntries()).title.value(1), "Цех 3 Фамилия 04 (Название цеха 3)");
    stat.hide();
}

// Ё and ё travel as the display's own letters; a sign the display lacks goes
// out as '?', after the operator has been shown which names change.
TEST_F(ListsWindow, NamesComeBackAsTheyWereWritten)
{
    Open();
    window.GridName->setCurrentCell(2, 0);
    window.GridFIO->item(1, 1)->setText(QStringLiteral("Королёв"));
    window.GridFIO->item(2, 1)->setText(QStringLiteral("Ёлкин"));
    window.GridFIO->item(3, 1)->setText(QStringLiteral("Цех №5"));
    {
        MessageRecorder cancel(QMessageBox::Cancel);
        window.Key_OutputSel->click();
        ASSERT_EQ(cancel.texts().size(), 1);
        EXPECT_TRUE(cancel.texts()[0].endsWith("\"Цех №5\" → \"Цex ?5\"")) << cancel.texts()[0].toStdString();
    }
    EXPECT_TRUE(rig.frames().empty());

    window.Key_OutputSel->click();
    EXPECT_EQ(rig.messages.texts().size(), 1);
    PersonNames[3].fill(QByteArray());
    window.Key_InputSel->click();
    EXPECT_EQ(Person(1), "Kopoлёв         ");
    EXPECT_EQ(Person(2), "Ёлкин           ");
    EXPECT_EQ(Person(3), "Цex ?5          ");
    EXPECT_FALSE(DisplayChangesName(PersonNames[3][0]));
}

// The cell shows the name as it is kept and sent: composed, in CP1251, 16
// characters.
TEST_F(ListsWindow, AnEditedCellShowsTheNameAsKept)
{
    Open();
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Константинопольский"), QStringLiteral("Константинопольс")},
        {QStringLiteral("И\u0306овин"), QStringLiteral("Йовин           ")},
        {QStringLiteral("Е\u0308лкин"), QStringLiteral("Ёлкин           ")},
        {QStringLiteral("Ива\u0301н\u00ADов\u200B"), QStringLiteral("Иванов          ")},
        {QStringLiteral("Ким\tИ.\r\n"), QStringLiteral("Ким И.          ")},
        {QStringLiteral("Řehoř Ünal"), QStringLiteral("Rehor Unal      ")},
        {QStringLiteral("a😀b中"), QStringLiteral("a?b?            ")},
    };
    for (const auto &[typed, kept] : cases) {
        window.GridFIO->item(2, 1)->setText(typed);
        EXPECT_EQ(Person(2), kept);
        EXPECT_EQ(FromCp1251(PersonNames[1][1]), kept);
    }
    window.GridName->item(0, 0)->setText(cases[0].first);
    EXPECT_EQ(window.GridName->item(0, 0)->text(), cases[0].second);
}

// An edit given up with Escape leaves the name as it was: in the cell and in
// what is kept, saved and sent.
TEST_F(ListsWindow, AnEditGivenUpLeavesTheNameAsItWas)
{
    Open();
    const struct {
        QTableWidget *grid;
        int row, column;
        const QByteArray &name;
    } cells[] = {{window.GridName, 0, 0, ListNames[1]}, {window.GridFIO, 2, 1, PersonNames[1][1]}};
    for (const auto &cell : cells) {
        const QByteArray before = cell.name;
        QTableWidgetItem *item = cell.grid->item(cell.row, cell.column);
        cell.grid->setCurrentItem(item);
        cell.grid->editItem(item);
        auto *editor = cell.grid->viewport()->findChild<QLineEdit *>();
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, "xyz");
        QTest::keyClick(editor, Qt::Key_Escape);
        EXPECT_EQ(cell.name, before.leftJustified(16, ' '));
        EXPECT_EQ(item->text(), FromCp1251(before));
    }
}

// Control codes in a name slot of the instrument read as spaces, not as
// line ends inside a name.
TEST(ListNames, ControlCodesFromTheInstrumentReadAsSpaces)
{
    const uint8_t slot[16] = {0xA5, 0x0D, 0x0A, 0x00, 0x09, 0x7F, 0x1F, 'A', 0xB5, ' ', ' ', ' ', ' ', ' ', ' ', 0x7E};
    EXPECT_EQ(NameFromDisplay(slot, {}), ToCp1251("И      Aё      ~"));
}

class ListsWithoutInstrument : public ListsWindow {
protected:
    ListsWithoutInstrument() : ListsWindow({.flags = {"--silent"}}) {}
};

TEST_F(ListsWithoutInstrument, ReadingChangesNothingAndWritingStopsAtOnce)
{
    Open();
    const auto names = PersonNames;
    const auto lists = ListNames;
    window.Key_InputSel->click();
    EXPECT_EQ(PersonNames, names);
    EXPECT_EQ(ListNames, lists);
    EXPECT_EQ(window.GridFIO->item(1, 1)->text(), "Цех 1 Фамилия 00");
    EXPECT_EQ(rig.messages.texts(), QStringList{"Нет связи с прибором"});

    rig.messages.clear();
    const size_t before = rig.frames().size();
    window.Key_OutputSel->click();
    EXPECT_EQ(rig.frames().size(), before + 3);   // the first frame, sent three times
    EXPECT_EQ(rig.messages.texts(), QStringList{"Нет связи с прибором"});
}

class ListsOnAFadingLine : public ListsWindow {
protected:
    ListsOnAFadingLine() : device("COM2", ListMemory(), 3) { PortName = QStringLiteral("COM2"); }

    FadingDevice device;
};

TEST_F(ListsOnAFadingLine, APieceThatDoesNotComeLeavesEveryName)
{
    Open();
    const auto names = PersonNames;
    const auto lists = ListNames;
    window.GridName->setCurrentCell(2, 0);
    window.Key_InputSel->click();
    EXPECT_EQ(device.requests().size(), 6u);   // names, two pieces, the third three times
    EXPECT_EQ(PersonNames, names);
    EXPECT_EQ(ListNames, lists);
    EXPECT_EQ(rig.messages.texts(), QStringList{"Нет связи с прибором"});
}

} // namespace
