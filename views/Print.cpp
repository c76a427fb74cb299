#include "views/Print.h"

#include "exchange/ExchVars.h"
#include "shell/FileChoice.h"
#include "shell/Message.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "store/Spreadsheet.h"
#include "views/Search.h"

#include <QDir>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <algorithm>

namespace {

PreviewHandler &InstalledPreviewHandler()
{
    static PreviewHandler handler;
    return handler;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setAutoDefault(false);   // Return must not open a dialog
    return button;
}

QString DateText(const QDate &date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

// The lines every sheet ends its title with.
QStringList SourceLines()
{
    QStringList lines;
    if (InstrumentNumberKnown)
        lines << QStringLiteral("Прибор № %1").arg(InstrumentNumber);
    lines << QStringLiteral("Папка: ") + QDir::toNativeSeparators(QDir::currentPath());
    return lines;
}

QString PeriodEnd(int year, int month, int day, int hour, int minute)
{
    return TableDate(DateKeyOf(year, month, day)) + ' ' + TableTime(hour * 64 + minute);
}

QStringList FoundTitle()
{
    if (LastSearch == FoundSearch::Person) {
        const int list = std::clamp(FoundList, 1, ListCount);
        const int place = std::clamp(FoundPerson, 0, PersonsPerList - 1);
        const QString person = WithoutPadding(FromCp1251(PersonNames[list][place]));
        return QStringList{QStringLiteral("Статистика: тесты тестируемого"),
                           person + QStringLiteral(" (") + WithoutPadding(FromCp1251(ListNames[list])) + ')'}
               + PersonSearchReport();
    }
    return {QStringLiteral("Статистика: тесты за период"),
            QStringLiteral("с ") + PeriodEnd(BeginYear, BeginMonth, BeginDay, BeginHour, BeginMinute)
                + QStringLiteral(" по ") + PeriodEnd(EndYear, EndMonth, EndDay, EndHour, EndMinute)};
}

} // namespace

QPushButton *MakePrintButton(QWidget *parent)
{
    return MakeButton(parent, "Key_Print", QStringLiteral("Печать..."),
                      QStringLiteral("Просмотр и печать показанных тестов"));
}

QPushButton *MakePdfButton(QWidget *parent)
{
    return MakeButton(parent, "Key_Pdf", QStringLiteral("PDF..."),
                      QStringLiteral("Записать показанные тесты в файл PDF"));
}

PrintSheet RegisterSheet(std::span<const StatEntry> tests)
{
    const QDateTime now = PcNow();
    PrintSheet sheet;
    sheet.title = QStringList{QStringLiteral("Результаты тестов на ") + DateText(now.date())} + SourceLines();
    sheet.rows = PrintRows(tests);
    sheet.signatureColumn = true;
    sheet.printedAt = now;
    return sheet;
}

PrintSheet FoundSheet(std::span<const StatEntry> found)
{
    PrintSheet sheet;
    sheet.title = FoundTitle() + SourceLines();
    sheet.rows = PrintRows(found);
    sheet.printedAt = PcNow();
    return sheet;
}

void PreviewSheet(QWidget *parent, const PrintSheet &sheet)
{
    // Without any printer the printer prints into a PDF file: the preview
    // shows all the same.
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(SheetPageLayout());
    printer.setDocName(sheet.title.value(0));
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Печать"));
    dialog.resize(800, 760);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&sheet](QPrinter *target) { PaintSheet(sheet, *target); });
    if (InstalledPreviewHandler())
        InstalledPreviewHandler()(dialog);
    else
        dialog.exec();
}

bool SaveSheetPdf(QWidget *parent, const PrintSheet &sheet)
{
    MakeDailyFileName();
    const QString proposed = QFileInfo(DailyFileName).completeBaseName() + QStringLiteral(".pdf");
    const QString fileName = ChooseSaveFile(parent, {QStringLiteral("PDF"), QDir::current().absoluteFilePath(proposed),
                                                     QStringLiteral("Документ PDF (*.pdf)"), QStringLiteral("pdf")});
    if (fileName.isEmpty())
        return false;
    const QByteArray pdf = SheetPdf(sheet);
    if (pdf.isEmpty()) {
        ShowError(QStringLiteral("Не удалось создать документ PDF"));
        return false;
    }
    return Report(ReplaceFile(fileName, pdf));
}

PreviewHandler SetPreviewHandler(PreviewHandler handler)
{
    PreviewHandler previous = std::move(InstalledPreviewHandler());
    InstalledPreviewHandler() = std::move(handler);
    return previous;
}
