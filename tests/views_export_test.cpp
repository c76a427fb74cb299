// "Экспорт" of the results and the statistics windows: the table's bytes,
// the fields that must be quoted or guarded, the file name offered, and the
// saves that fail or are cancelled.

#include "TestRecords.h"
#include "WorkDir.h"

#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "store/Spreadsheet.h"
#include "views/Res.h"
#include "views/ResultGrid.h"
#include "views/Search.h"
#include "views/Stat.h"
#include "views/ViewCommon.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

const QByteArray Bom = QByteArrayLiteral("\xEF\xBB\xBF");
const QString Header = QStringLiteral("Список;ФИО;Дата;Время;Рез.\r\n");

QDateTime At(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

QByteArray Table(const QString &rows)
{
    return Bom + (Header + rows).toUtf8();
}

class Export : public ::testing::Test {
protected:
    Export()
    {
        ResetDataModel();
        ResetSearch();
    }
    ~Export() override
    {
        ResetDataModel();
        ResetSearch();
    }

    // Starts from the default names.
    void SetUp() override
    {
        ASSERT_TRUE(LoadLists());
        messages.clear();
    }

    // The files a window opens on: the lists as changed since, and the first
    // `count` of `records` counted (all when -1).
    void SaveStore(const std::vector<ResultRecord> &records, int count = -1)
    {
        std::copy(records.begin(), records.end(), Results.begin());
        ResultCount = count < 0 ? int(records.size()) : count;
        ASSERT_TRUE(SaveLists());
        ASSERT_TRUE(SaveResults());
        ResultCount = 0;
    }

    FixedToday today{At(2026, 12, 8, 10, 0)};
    ScopedWorkDir dir;
    MessageRecorder messages;
};

// The person column carries each name; the row shows what became of it.
TEST_F(Export, FieldsAreQuotedAndGuardedOnlyWhenTheyMustBe)
{
    const std::pair<const char *, const char *> cases[] = {
        {"Иванов И.И.     ", "Иванов И.И."},
        {"Ким \"Малой\"", "\"Ким \"\"Малой\"\"\""},
        {"Цех;2", "\"Цех;2\""},
        {"две\nстроки", "\"две\nстроки\""},
        {"=СУММ(A1:A9)", "'=СУММ(A1:A9)"},
        {"+7 912", "'+7 912"},
        {"-1", "'-1"},
        {"@Петров;", "\"'@Петров;\""},
        {"Петров-Водкин", "Петров-Водкин"},
        {"", ""},
    };
    for (const auto &[name, field] : cases) {
        StatEntry entry;
        entry.PersonText = QString::fromUtf8(name);
        entry.DateKey = DateKeyOf(2026, 3, 5);
        entry.TimeKey = 9 * 64 + 7;
        entry.Result = 0;
        EXPECT_EQ(SpreadsheetText({&entry, 1}), Table(';' + QString::fromUtf8(field) + ";05.03.2026;09:07;0,0\r\n"))
            << name;
    }
    EXPECT_EQ(SpreadsheetText({}), Table({}));
}

// The window's tests only: not the blank rows of a stale or an invalid
// record, not a slot past the count.
TEST_F(Export, ResultsWindowWritesTheTestsItShows)
{
    ListNames[2] = ToCp1251("Цех \"Север\"; 2");
    PersonNames[2][7] = ToCp1251("=СУММ(A1)");
    SaveStore({TestRecord(2, 7, At(2026, 12, 5, 7, 5), 3), TestRecord(0, 0, At(2026, 12, 6, 23, 59), 63),
               TestRecord(12, 1, At(2026, 12, 6, 9, 0)), TestRecord(1, 0, At(2026, 11, 30, 9, 0)),
               TestRecord(1, 63, At(2026, 12, 7, 12, 30), 15), TestRecord(1, 1, At(2026, 12, 7, 13, 0))},
              5);

    TResF window;
    window.show();
    QCoreApplication::processEvents();
    SaveFileAnswer answer(QStringLiteral("tests.csv"));
    window.Key_Export->click();

    ASSERT_EQ(answer.requests().size(), 1u);
    EXPECT_EQ(answer.requests()[0].proposedPath, QDir::current().absoluteFilePath("08_12.csv"));
    EXPECT_EQ(ReadWholeFile("tests.csv"),
              Table("\"Цех \"\"Север\"\"; 2\";'=СУММ(A1);05.12.2026;07:05;0,3\r\n"
                    ";Аноним;06.12.2026;23:59;6,3\r\n"
                    "Название цеха 1;Цех 1 Фамилия 63;07.12.2026;12:30;1,5\r\n"));
    EXPECT_TRUE(messages.texts().isEmpty());
}

// A step's scan can cut the count below rows shown before (records read by
// "Старт" after an end record): those rows are no stored tests.
TEST_F(Export, RowsPastACutCountAreLeftOut)
{
    SaveStore({TestRecord(1, 0, At(2026, 12, 1, 9, 0)), EndRecord(), TestRecord(1, 1, At(2026, 12, 1, 9, 5))});
    ResultCount = 3;
    ResultsGridModel grid;
    grid.ShowSlots(0, 3);
    ScanResults();
    ASSERT_TRUE(grid.ShowsTest(3));
    const std::vector<StatEntry> shown = ShownTests(grid);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].PersonText, "Цех 1 Фамилия 00");
}

TEST_F(Export, StatisticsWindowWritesTheRecordsFound)
{
    SaveStore({TestRecord(3, 7, At(2025, 11, 2, 6, 45), 2), TestRecord(3, 8, At(2026, 12, 1, 9, 0)),
               TestRecord(3, 7, At(2026, 12, 2, 16, 10), 10)});
    CurrentList = 3;
    CurrentPerson = 7;
    TStatF window;
    window.show();
    QCoreApplication::processEvents();
    SaveFileAnswer answer(QStringLiteral("person.csv"));
    window.Key_Export->click();
    EXPECT_EQ(ReadWholeFile("person.csv"), Table("Название цеха 3;Цех 3 Фамилия 07;02.11.2025;06:45;0,2\r\n"
                                                 "Название цеха 3;Цех 3 Фамилия 07;02.12.2026;16:10;1,0\r\n"));

    // A person without tests: the header alone, over the earlier table.
    window.box_FIO->activated(9);
    SaveFileAnswer again(QStringLiteral("person.csv"));
    window.Key_Export->click();
    EXPECT_EQ(ReadWholeFile("person.csv"), Table({}));
    EXPECT_TRUE(messages.texts().isEmpty());
}

// A full store: both windows export every test they count or find, and say
// how many of them their grid shows.
TEST_F(Export, EveryTestOfAFullStoreIsExported)
{
    std::vector<ResultRecord> records;
    for (int i = 0; i < ResultSlots; ++i)
        records.push_back(TestRecord(3, 7, At(2026, 12, 1, 0, 0).addSecs(60 * i)));
    SaveStore(records);
    const QString lastRow = QStringLiteral("Название цеха 3;Цех 3 Фамилия 07;07.12.2026;10:59;0,0\r\n");

    TResF results;
    results.show();
    QCoreApplication::processEvents();
    SaveFileAnswer answer(QStringLiteral("tests.csv"));
    results.Key_Export->click();
    EXPECT_EQ(ReadWholeFile("tests.csv").count("\r\n"), 1 + ResultSlots);
    EXPECT_TRUE(ReadWholeFile("tests.csv").endsWith(lastRow.toUtf8()));
    EXPECT_EQ(results.LabelShown->text(), ShownOfText(9001, 9300));

    CurrentList = 3;
    CurrentPerson = 7;
    TStatF stat;
    stat.show();
    QCoreApplication::processEvents();
    SaveFileAnswer again(QStringLiteral("person.csv"));
    stat.Key_Export->click();
    EXPECT_EQ(ReadWholeFile("person.csv").count("\r\n"), 1 + ResultSlots);
    EXPECT_TRUE(ReadWholeFile("person.csv").endsWith(lastRow.toUtf8()));
    EXPECT_EQ(stat.LabelShown->text(), ShownOfText(9000, 9300));
    EXPECT_TRUE(ShownOfText(9000, 9300).contains("9000 из 9300"));
    EXPECT_TRUE(messages.texts().isEmpty());
}

// A save that fails says so and leaves the old file whole; a cancelled
// dialog writes nothing.
TEST_F(Export, FailedOrCancelledSavesLeaveTheFolderAsItWas)
{
    StatEntry entry;
    entry.PersonText = QStringLiteral("Аноним");
    ASSERT_TRUE(WriteWholeFile("old.csv", "old table"));
    ASSERT_TRUE(QFile::setPermissions("old.csv", QFile::ReadOwner));
    ASSERT_TRUE(WriteWholeFile("plain", "a file, not a folder"));

    for (const QString &name : {QStringLiteral("old.csv"), QStringLiteral("plain/new.csv")}) {
        messages.clear();
        SaveFileAnswer answer(name);
        EXPECT_FALSE(ExportToSpreadsheet(nullptr, {&entry, 1})) << qPrintable(name);
        ASSERT_EQ(messages.messages().size(), 1u) << qPrintable(name);
        EXPECT_EQ(messages.messages()[0].kind, MessageKind::Error);
        EXPECT_TRUE(messages.texts()[0].contains(name)) << qPrintable(messages.texts()[0]);
    }
    EXPECT_EQ(ReadWholeFile("old.csv"), "old table");

    messages.clear();
    SaveFileAnswer cancel({});
    EXPECT_FALSE(ExportToSpreadsheet(nullptr, {&entry, 1}));
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_EQ(QDir::current().entryList({"*.csv"}, QDir::Files), QStringList{"old.csv"});
}

} // namespace
