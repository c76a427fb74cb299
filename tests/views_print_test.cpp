// "Печать..." and "PDF..." of the results and the statistics windows: the
// pages as the PDF tools read them back (count, size, the header and the
// page number on every page, every test once and in order), what each
// window puts on them, the preview, and the saves that fail or are
// cancelled.

#include "TestRecords.h"
#include "WorkDir.h"

#include "exchange/ExchVars.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/Print.h"
#include "views/Res.h"
#include "views/Search.h"
#include "views/Stat.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QDateTime At(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

QString Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A PDF as pdfinfo and pdftotext -layout read it.
struct ReadBack {
    int pages = 0;
    QString pageSize;
    QStringList pageTexts;
};

ReadBack ReadPdf(const QString &path)
{
    ReadBack pdf;
    const QString info = Run("pdfinfo", {path});
    pdf.pages = QRegularExpression("Pages:\\s+(\\d+)").match(info).captured(1).toInt();
    pdf.pageSize = QRegularExpression("Page size:\\s+([^\\n]*)").match(info).captured(1);
    pdf.pageTexts = Run("pdftotext", {"-layout", path, "-"}).split('\f');
    if (!pdf.pageTexts.isEmpty() && pdf.pageTexts.back().trimmed().isEmpty())
        pdf.pageTexts.removeLast();
    return pdf;
}

ReadBack ReadPdf(const QByteArray &bytes)
{
    EXPECT_TRUE(WriteWholeFile("sheet.pdf", bytes));
    return ReadPdf(QDir::current().absoluteFilePath("sheet.pdf"));
}

// The cells of a row on one line of the text, apart only by spaces.
QRegularExpression RowPattern(const QStringList &cells)
{
    QStringList parts;
    for (const QString &cell : cells)
        parts << QRegularExpression::escape(cell);
    return QRegularExpression("^ *" + parts.join(" +") + " *$", QRegularExpression::MultilineOption);
}

StatEntry Entry(const QString &list, const QString &person, const QDateTime &when, int result)
{
    StatEntry entry;
    entry.ListText = list;
    entry.PersonText = person;
    entry.DateKey = DateKeyOf(when.date().year(), when.date().month(), when.date().day());
    entry.TimeKey = when.time().hour() * 64 + when.time().minute();
    entry.Result = result;
    return entry;
}

// Three pages' worth of tests with names that fill their 16 places or carry
// quotes, the last at 23:59 on the last day of a month.
std::vector<StatEntry> ManyTests(int count)
{
    const QString names[] = {QStringLiteral("Ким \"Малой\"     "), QStringLiteral("Шереметьев-Щукин"),
                             QStringLiteral("Иванов И.И.     "), QStringLiteral("ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ")};
    std::vector<StatEntry> tests;
    for (int index = 0; index < count - 1; ++index)
        tests.push_back(Entry(QStringLiteral("Цех \"Север\" %1").arg(index % 8 + 1), names[index % 4],
                              At(2026, 1 + index / 28, 1 + index % 28, 6 + index % 12, index % 60), index % 64));
    tests.push_back(Entry(QStringLiteral("Название цеха 8"), names[1], At(2026, 12, 31, 23, 59), 63));
    return tests;
}

class Print : public ::testing::Test {
protected:
    Print() { ResetAll(); }
    ~Print() override { ResetAll(); }
    static void ResetAll()
    {
        ResetDataModel();
        ResetSearch();
        ResetExchangeVariables();
    }

    void SetUp() override { ASSERT_TRUE(LoadLists()); }

    void SaveStore(const std::vector<ResultRecord> &records)
    {
        std::copy(records.begin(), records.end(), Results.begin());
        ResultCount = int(records.size());
        ASSERT_TRUE(SaveLists());
        ASSERT_TRUE(SaveResults());
        ResultCount = 0;
    }

    FixedToday today{At(2026, 12, 8, 10, 5)};
    ScopedWorkDir dir;
    MessageRecorder messages;
};

// Both kinds of sheet, and a sheet without tests, through the PDF tools.
TEST_F(Print, PagesCarryEveryTestOnceInOrderUnderTheHeader)
{
    const std::vector<StatEntry> tests = ManyTests(110);
    // Names longer than any list holds: the table's font gives way, no cell
    // is cut.
    std::vector<StatEntry> wide = tests;
    for (StatEntry &test : wide)
        test.PersonText = QStringList(3, test.PersonText.trimmed()).join('-');
    struct Case {
        bool signature;
        const std::vector<StatEntry> &tests;
        int count;
        int leastPages;
    };
    for (const Case &each : {Case{true, tests, 110, 3}, Case{false, tests, 110, 3}, Case{true, tests, 0, 1},
                             Case{true, wide, 40, 1}}) {
        SCOPED_TRACE(each.signature ? "register" : "found");
        SCOPED_TRACE(each.count);
        PrintSheet sheet;
        sheet.title = QStringList{QStringLiteral("Результаты тестов на 08.12.2026"), QStringLiteral("Папка: тест")};
        sheet.rows = PrintRows(std::span(each.tests).first(each.count));
        sheet.signatureColumn = each.signature;
        sheet.printedAt = At(2026, 12, 8, 10, 5);

        const ReadBack pdf = ReadPdf(SheetPdf(sheet));
        ASSERT_GE(pdf.pages, each.leastPages);
        EXPECT_TRUE(pdf.pageSize.contains("(A4)")) << qPrintable(pdf.pageSize);
        ASSERT_EQ(pdf.pageTexts.size(), pdf.pages);

        const QRegularExpression header = RowPattern(PrintColumns(each.signature));
        const QRegularExpression anyRow("^ *\\d+ +\\S.*\\d,\\d *$", QRegularExpression::MultilineOption);
        int next = 0;
        for (int page = 0; page < pdf.pages; ++page) {
            const QString &text = pdf.pageTexts[page];
            SCOPED_TRACE(page + 1);
            EXPECT_EQ(text.count(header), 1);
            EXPECT_EQ(text.contains("Результаты тестов на 08.12.2026"), page == 0);
            EXPECT_EQ(text.count(QStringLiteral("стр. %1 из %2").arg(page + 1).arg(pdf.pages)), 1);
            EXPECT_EQ(text.count("Напечатано: 08.12.2026 10:05"), 1);
            // The rows of this page are the next tests, each whole on its line.
            const int rowsOnPage = int(text.count(anyRow));
            for (int row = next; row < next + rowsOnPage && row < each.count; ++row)
                EXPECT_EQ(text.count(RowPattern(sheet.rows[row])), 1) << qPrintable(sheet.rows[row].join('|'));
            next += rowsOnPage;
        }
        EXPECT_EQ(next, each.count);
        EXPECT_EQ(pdf.pageTexts[0].contains("Тестов нет"), each.count == 0);
    }
    // The last test as it is printed.
    EXPECT_EQ(PrintRow(110, tests.back()), (QStringList{"110", "Название цеха 8", "Шереметьев-Щукин", "31.12.2026",
                                                        "23:59", "6,3"}));
}

// The results window prints the tests it shows (not a stale month's), with
// the day, the instrument and the folder above them; the file dialog offers
// the day's name. The preview shows the same sheet, without a printer.
TEST_F(Print, ResultsWindowPrintsItsRegister)
{
    PersonNames[2][7] = ToCp1251("Ким \"Малой\"");
    SaveStore({TestRecord(2, 7, At(2026, 11, 30, 23, 59), 3), TestRecord(2, 7, At(2026, 12, 5, 7, 5), 12),
               TestRecord(0, 0, At(2026, 12, 7, 23, 59), 63)});
    InstrumentNumber = 1207;
    InstrumentNumberKnown = true;

    TResF window;
    window.show();
    QCoreApplication::processEvents();
    SaveFileAnswer answer(QStringLiteral("register.pdf"));
    window.Key_Pdf->click();

    ASSERT_EQ(answer.requests().size(), 1u);
    EXPECT_EQ(answer.requests()[0].proposedPath, QDir::current().absoluteFilePath("08_12.pdf"));
    const ReadBack pdf = ReadPdf(QDir::current().absoluteFilePath("register.pdf"));
    ASSERT_EQ(pdf.pages, 1);
    const QString &text = pdf.pageTexts[0];
    EXPECT_TRUE(text.contains("Результаты тестов на 08.12.2026"));
    EXPECT_TRUE(text.contains("Прибор № 1207"));
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(QDir::currentPath()))) << qPrintable(text);
    EXPECT_TRUE(text.contains(RowPattern(PrintColumns(true))));
    EXPECT_EQ(text.count(RowPattern({"1", "Название цеха 2", "Ким \"Малой\"", "05.12.2026", "07:05", "1,2"})), 1);
    EXPECT_EQ(text.count(RowPattern({"2", "Аноним", "07.12.2026", "23:59", "6,3"})), 1);
    EXPECT_FALSE(text.contains("30.11.2026"));

    int previewPages = 0;
    const PreviewHandler previous = SetPreviewHandler([&](QPrintPreviewDialog &dialog) {
        auto *preview = dialog.findChild<QPrintPreviewWidget *>();
        ASSERT_NE(preview, nullptr);
        preview->updatePreview();
        previewPages = preview->pageCount();
    });
    window.Key_Print->click();
    SetPreviewHandler(previous);
    EXPECT_EQ(previewPages, 1);
    EXPECT_TRUE(messages.texts().isEmpty());
}

// The statistics window heads its pages with the search whose records it
// shows: the person with the summary, or the period.
TEST_F(Print, StatisticsWindowHeadsThePagesWithItsSearch)
{
    SaveStore({TestRecord(3, 7, At(2025, 11, 2, 6, 45), 2), TestRecord(3, 8, At(2026, 12, 1, 9, 0)),
               TestRecord(3, 7, At(2026, 12, 2, 16, 10), 10)});
    CurrentList = 3;
    CurrentPerson = 7;
    TStatF window;
    window.show();
    QCoreApplication::processEvents();

    SaveFileAnswer answer(QStringLiteral("person.pdf"));
    window.Key_Pdf->click();
    QString text = ReadPdf(QDir::current().absoluteFilePath("person.pdf")).pageTexts.value(0);
    EXPECT_TRUE(text.contains("Цех 3 Фамилия 07 (Название цеха 3)")) << qPrintable(text);
    EXPECT_TRUE(text.contains("Записей: 2.С 6:45 2.11.2025"));
    EXPECT_FALSE(text.contains("Прибор"));
    EXPECT_FALSE(text.contains("Подпись"));
    EXPECT_TRUE(text.contains(RowPattern({"2", "Название цеха 3", "Цех 3 Фамилия 07", "02.12.2026", "16:10", "1,0"})));

    window.page_Stat->setCurrentIndex(TStatF::PagePeriod);
    SaveFileAnswer again(QStringLiteral("period.pdf"));
    window.Key_Pdf->click();
    text = ReadPdf(QDir::current().absoluteFilePath("period.pdf")).pageTexts.value(0);
    EXPECT_TRUE(text.contains("Статистика: тесты за период"));
    EXPECT_TRUE(text.contains("с 02.11.2025 06:45 по 08.12.2026 10:05")) << qPrintable(text);
    EXPECT_TRUE(text.contains(RowPattern({"2", "Название цеха 3", "Цех 3 Фамилия 08", "01.12.2026", "09:00", "0,0"})));
    EXPECT_TRUE(messages.texts().isEmpty());
}

// A save that fails says so and leaves the old file whole; a cancelled
// dialog writes nothing.
TEST_F(Print, FailedOrCancelledSavesLeaveTheFolderAsItWas)
{
    PrintSheet sheet;
    sheet.title = QStringList{QStringLiteral("Результаты тестов")};
    ASSERT_TRUE(WriteWholeFile("old.pdf", "old document"));
    ASSERT_TRUE(QFile::setPermissions("old.pdf", QFile::ReadOwner));
    ASSERT_TRUE(WriteWholeFile("plain", "a file, not a folder"));

    for (const QString &name : {QStringLiteral("old.pdf"), QStringLiteral("plain/new.pdf")}) {
        messages.clear();
        SaveFileAnswer answer(name);
        EXPECT_FALSE(SaveSheetPdf(nullptr, sheet)) << qPrintable(name);
        ASSERT_EQ(messages.messages().size(), 1u) << qPrintable(name);
        EXPECT_EQ(messages.messages()[0].kind, MessageKind::Error);
    }
    EXPECT_EQ(ReadWholeFile("old.pdf"), "old document");

    messages.clear();
    SaveFileAnswer cancel({});
    EXPECT_FALSE(SaveSheetPdf(nullptr, sheet));
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_EQ(QDir::current().entryList({"*.pdf"}, QDir::Files), QStringList{"old.pdf"});
}

} // namespace
