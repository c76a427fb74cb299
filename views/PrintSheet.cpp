#include "views/PrintSheet.h"

#include "store/Spreadsheet.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <array>

namespace {

struct Column {
    QString header;
    Qt::Alignment alignment;
};

const std::array<Column, 6> TestColumns = {{
    {QStringLiteral("№"), Qt::AlignRight},
    {QStringLiteral("Список"), Qt::AlignLeft},
    {QStringLiteral("ФИО"), Qt::AlignLeft},
    {QStringLiteral("Дата"), Qt::AlignHCenter},
    {QStringLiteral("Время"), Qt::AlignHCenter},
    {QStringLiteral("Рез."), Qt::AlignRight},
}};
const Column SignatureColumn = {QStringLiteral("Подпись"), Qt::AlignLeft};
constexpr int ListColumn = 1;
constexpr int PersonColumn = 2;

constexpr double SideMarginMm = 15;
constexpr double TopMarginMm = 12;
constexpr double CellPaddingMm = 1.2;
constexpr double SignatureRowMm = 7;   // room for a signature by hand
constexpr double SignatureWidthMm = 30;
constexpr double TablePoints = 9;
constexpr double NameWidthMm = 34;     // the names' columns at least, where the page has room

QFont SheetFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString PageNumberText(int page, int pages)
{
    return QStringLiteral("стр. %1 из %2").arg(page).arg(pages);
}

// Rows [first, end) of each page: the first page holds fewer rows under the
// title. A sheet without rows still has one page.
std::vector<std::pair<int, int>> Paginate(int rows, int firstCapacity, int otherCapacity)
{
    std::vector<std::pair<int, int>> pages;
    int first = 0;
    int capacity = std::max(firstCapacity, 1);
    do {
        const int end = std::min(rows, first + capacity);
        pages.emplace_back(first, end);
        first = end;
        capacity = std::max(otherCapacity, 1);
    } while (first < rows);
    return pages;
}

// Draws one sheet; every length is in the device's pixels.
class SheetPainter {
public:
    SheetPainter(QPainter &painter, const QPagedPaintDevice &device, const PrintSheet &sheet)
        : m_painter(painter), m_sheet(sheet), m_mm(device.logicalDpiY() / 25.4), m_width(device.width()),
          m_height(device.height()), m_heading(SheetFont(13, true)), m_titleFont(SheetFont(10)),
          m_body(SheetFont(TablePoints)), m_bold(SheetFont(TablePoints, true))
    {
        m_columns.assign(TestColumns.begin(), TestColumns.end());
        if (sheet.signatureColumn)
            m_columns.push_back(SignatureColumn);
        FitColumns(device);
        const double lineHeight = QFontMetricsF(m_body, &device).height();
        m_rowHeight = std::max(lineHeight * 1.5, sheet.signatureColumn ? SignatureRowMm * m_mm : 0.0);
        m_footerHeight = lineHeight + 3 * m_mm;
        m_titleHeight = TitleHeight(device);
    }

    std::vector<std::pair<int, int>> Pages() const
    {
        const double tableHeight = m_height - m_footerHeight - m_rowHeight;   // below the header row
        return Paginate(int(m_sheet.rows.size()), int((tableHeight - m_titleHeight) / m_rowHeight),
                        int(tableHeight / m_rowHeight));
    }

    void DrawPage(int page, std::pair<int, int> rows, int pages)
    {
        double y = 0;
        if (page == 0)
            y = DrawTitle();
        y = DrawRow(y, HeaderCells(), m_bold);
        for (int row = rows.first; row < rows.second; ++row)
            y = DrawRow(y, m_sheet.rows[row], m_body);
        if (m_sheet.rows.empty())
            DrawText(QRectF(0, y, m_width, m_rowHeight), QStringLiteral("Тестов нет"), Qt::AlignLeft, m_body);
        DrawFooter(page + 1, pages);
    }

private:
    // Every cell is shown whole: the columns take the width of their longest
    // text, and where the page is too narrow for them the table's font is
    // made smaller. What is left goes to the signatures, or to the names.
    void FitColumns(const QPagedPaintDevice &device)
    {
        std::vector<double> widths = NaturalWidths(device);
        const double signature = m_sheet.signatureColumn ? SignatureWidthMm * m_mm : 0.0;
        double needed = signature;
        for (double width : widths)
            needed += width;
        if (needed > m_width) {
            const double points = TablePoints * m_width / needed;
            m_body = SheetFont(points);
            m_bold = SheetFont(points, true);
            widths = NaturalWidths(device);
            needed = signature;
            for (double width : widths)
                needed += width;
        }
        const double spare = std::max(0.0, m_width - needed);
        if (m_sheet.signatureColumn) {
            widths.push_back(signature + spare);
        } else {
            widths[ListColumn] += spare / 2;
            widths[PersonColumn] += spare / 2;
        }
        m_widths = widths;
    }

    std::vector<double> NaturalWidths(const QPagedPaintDevice &device) const
    {
        const QFontMetricsF body(m_body, &device);
        const QFontMetricsF bold(m_bold, &device);
        std::vector<double> widths;
        for (int column = 0; column < int(TestColumns.size()); ++column) {
            double width = bold.horizontalAdvance(TestColumns[column].header);
            for (const QStringList &row : m_sheet.rows)
                width = std::max(width, body.horizontalAdvance(row.value(column)));
            widths.push_back(width + 2 * CellPaddingMm * m_mm + m_mm);
        }
        const double least = std::min(NameWidthMm * m_mm, m_width / 6);
        for (int column : {ListColumn, PersonColumn})
            widths[column] = std::max(widths[column], least);
        return widths;
    }

    double TitleHeight(const QPagedPaintDevice &device) const
    {
        double height = 0;
        for (int line = 0; line < m_sheet.title.size(); ++line)
            height += QFontMetricsF(line == 0 ? m_heading : m_titleFont, &device).height() * 1.3;
        return height + 3 * m_mm;
    }

    double DrawTitle()
    {
        double y = 0;
        for (int line = 0; line < m_sheet.title.size(); ++line) {
            const QFont &font = line == 0 ? m_heading : m_titleFont;
            const double height = QFontMetricsF(font, m_painter.device()).height() * 1.3;
            DrawText(QRectF(0, y, m_width, height), m_sheet.title[line], Qt::AlignLeft, font);
            y += height;
        }
        return y + 3 * m_mm;
    }

    QStringList HeaderCells() const
    {
        QStringList cells;
        for (const Column &column : m_columns)
            cells << column.header;
        return cells;
    }

    double DrawRow(double y, const QStringList &cells, const QFont &font)
    {
        double x = 0;
        m_painter.setPen(QPen(Qt::black, 0.2 * m_mm));
        for (int index = 0; index < int(m_columns.size()); ++index) {
            const double width = m_widths[index];
            const QRectF cell(x, y, width, m_rowHeight);
            m_painter.drawRect(cell);
            DrawText(cell.adjusted(CellPaddingMm * m_mm, 0, -CellPaddingMm * m_mm, 0), cells.value(index),
                     m_columns[index].alignment, font);
            x += width;
        }
        return y + m_rowHeight;
    }

    // One line, cut with an ellipsis where it does not fit: a row never
    // grows into a second line.
    void DrawText(const QRectF &box, const QString &text, Qt::Alignment alignment, const QFont &font)
    {
        m_painter.setFont(font);
        const QString shown = m_painter.fontMetrics().elidedText(text, Qt::ElideRight, int(box.width()));
        m_painter.drawText(box, int(alignment | Qt::AlignVCenter | Qt::TextSingleLine), shown);
    }

    void DrawFooter(int page, int pages)
    {
        const double top = m_height - m_footerHeight;
        m_painter.setPen(QPen(Qt::black, 0.2 * m_mm));
        m_painter.drawLine(QPointF(0, top + m_mm), QPointF(m_width, top + m_mm));
        const QRectF line(0, top + 2 * m_mm, m_width, m_footerHeight - 2 * m_mm);
        DrawText(line, QStringLiteral("Напечатано: ") + m_sheet.printedAt.toString(QStringLiteral("dd.MM.yyyy HH:mm")),
                 Qt::AlignLeft, m_body);
        DrawText(line, PageNumberText(page, pages), Qt::AlignRight, m_body);
    }

    QPainter &m_painter;
    const PrintSheet &m_sheet;
    std::vector<Column> m_columns;
    std::vector<double> m_widths;
    double m_mm;
    double m_width;
    double m_height;
    QFont m_heading;
    QFont m_titleFont;
    QFont m_body;
    QFont m_bold;
    double m_rowHeight = 0;
    double m_footerHeight = 0;
    double m_titleHeight = 0;
};

} // namespace

QStringList PrintColumns(bool signatureColumn)
{
    QStringList headers;
    for (const Column &column : TestColumns)
        headers << column.header;
    if (signatureColumn)
        headers << SignatureColumn.header;
    return headers;
}

QStringList PrintRow(int number, const StatEntry &test)
{
    return {QString::number(number),  WithoutPadding(test.ListText), WithoutPadding(test.PersonText),
            TableDate(test.DateKey), TableTime(test.TimeKey),         TableResult(test.Result)};
}

std::vector<QStringList> PrintRows(std::span<const StatEntry> tests)
{
    std::vector<QStringList> rows;
    rows.reserve(tests.size());
    for (const StatEntry &test : tests)
        rows.push_back(PrintRow(int(rows.size()) + 1, test));
    return rows;
}

QPageLayout SheetPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(SideMarginMm, TopMarginMm, SideMarginMm, TopMarginMm), QPageLayout::Millimeter);
}

int PaintSheet(const PrintSheet &sheet, QPagedPaintDevice &device)
{
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    SheetPainter pages(painter, device, sheet);
    const std::vector<std::pair<int, int>> rowsOfPages = pages.Pages();
    for (int page = 0; page < int(rowsOfPages.size()); ++page) {
        if (page > 0)
            device.newPage();
        pages.DrawPage(page, rowsOfPages[page], int(rowsOfPages.size()));
    }
    painter.end();
    return int(rowsOfPages.size());
}

QByteArray SheetPdf(const PrintSheet &sheet)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(sheet.title.value(0));
        writer.setCreator(QStringLiteral("OrbA"));
        writer.setResolution(300);
        writer.setPageLayout(SheetPageLayout());
        if (PaintSheet(sheet, writer) == 0)
            return {};
    }
    return buffer.data();
}
