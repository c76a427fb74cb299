#include "store/Spreadsheet.h"

#include <QStringList>
#include <algorithm>

namespace {

const QStringList HeaderFields = {
    QStringLiteral("Список"), QStringLiteral("ФИО"), QStringLiteral("Дата"),
    QStringLiteral("Время"),  QStringLiteral("Рез."),
};

const QString FormulaStarts = QStringLiteral("=+-@\t\r");
const QString QuotedCharacters = QStringLiteral("\";\r\n");

QString Field(QString text)
{
    if (!text.isEmpty() && FormulaStarts.contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return QuotedCharacters.contains(c); }))
        return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return text;
}

QString TwoPlaces(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString Row(const QStringList &fields)
{
    QStringList written;
    for (const QString &field : fields)
        written << Field(field);
    return written.join(QLatin1Char(';')) + QStringLiteral("\r\n");
}

} // namespace

QString WithoutPadding(const QString &name)
{
    qsizetype end = name.size();
    while (end > 0 && name[end - 1] == QLatin1Char(' '))
        --end;
    return name.left(end);
}

// The date key is (year - 2000) x 512 + month x 32 + day, the time key
// hour x 64 + minute (store/ResultRecord.h).
QString TableDate(int dateKey)
{
    return TwoPlaces(dateKey & 31) + '.' + TwoPlaces((dateKey >> 5) & 15) + '.'
           + QStringLiteral("%1").arg(2000 + (dateKey >> 9), 4, 10, QLatin1Char('0'));
}

QString TableTime(int timeKey)
{
    return TwoPlaces(timeKey >> 6) + ':' + TwoPlaces(timeKey & 63);
}

QString TableResult(int tenths)
{
    return QStringLiteral("%1,%2").arg(tenths / 10).arg(tenths % 10);
}

QByteArray SpreadsheetText(std::span<const StatEntry> entries)
{
    QString text = Row(HeaderFields);
    for (const StatEntry &entry : entries)
        text += Row({WithoutPadding(entry.ListText), WithoutPadding(entry.PersonText), TableDate(entry.DateKey),
                     TableTime(entry.TimeKey), TableResult(entry.Result)});
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}
