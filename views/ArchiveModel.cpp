#include "views/ArchiveModel.h"

#include "store/ResultRecord.h"

#include <QFileInfo>
#include <QSqlRecord>

namespace {

const char *const Headers[ArchColumnCount] = {
    "Дата  и  время", "№ сп.", "Список", "ФИО", "Рез.", "Прибор", "№ записи", "Принят", "Файл результатов",
};

struct Tested {
    int year, month, day, hour, minute;
};

Tested TestedOf(qint64 number)
{
    return {int(number / 100000000), int(number / 1000000 % 100), int(number / 10000 % 100),
            int(number / 100 % 100), int(number % 100)};
}

QString Two(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString TenthsText(int tenths)
{
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

} // namespace

QString ArchiveCellText(int column, const QVariant &value)
{
    if (value.isNull())
        return {};
    switch (column) {
    case ArchTested: {
        const Tested t = TestedOf(value.toLongLong());
        return Two(t.day) + '.' + Two(t.month) + '.' + QString::number(t.year) + QStringLiteral("  ") + Two(t.hour)
               + ':' + Two(t.minute);
    }
    case ArchResult:
        return TenthsText(value.toInt());
    case ArchInstrument:
        return value.toInt() == UnknownInstrument ? QString() : value.toString();
    case ArchReadAt:
        return QDateTime::fromString(value.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"))
            .toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    case ArchResultsFile:
        return QFileInfo(value.toString()).fileName();
    default:
        return value.toString();
    }
}

std::optional<int> TypedTenths(const QString &text)
{
    QString typed = text.trimmed();
    typed.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = typed.toDouble(&ok);
    if (!ok || value < 0 || value > 6.3 + 1e-9)
        return std::nullopt;
    return int(value * 10 + 0.5);
}

ArchiveModel::ArchiveModel(QObject *parent) : QSqlQueryModel(parent) {}

void ArchiveModel::Show(const Archive *archive, const ArchiveFilter &filter)
{
    m_archive = archive;
    m_filter = filter;
    Requery();
}

void ArchiveModel::sort(int column, Qt::SortOrder order)
{
    m_column = std::clamp(column, 0, ArchColumnCount - 1);
    m_order = order;
    Requery();
}

void ArchiveModel::Requery()
{
    if (!m_archive) {
        clear();
        return;
    }
    setQuery(m_archive->Select(m_filter, m_column, m_order));
}

QVariant ArchiveModel::data(const QModelIndex &item, int role) const
{
    if (role == Qt::ToolTipRole && item.column() == ArchResultsFile)
        return QSqlQueryModel::data(item, Qt::DisplayRole);
    if (role == Qt::TextAlignmentRole && (item.column() == ArchResult || item.column() == ArchInstrument
                                          || item.column() == ArchRecordIndex || item.column() == ArchListNo))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QSqlQueryModel::data(item, role);
    return ArchiveCellText(item.column(), QSqlQueryModel::data(item, role));
}

QVariant ArchiveModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ArchColumnCount)
        return QString::fromUtf8(Headers[section]);
    return QSqlQueryModel::headerData(section, orientation, role);
}

std::vector<StatEntry> ArchiveEntries(const Archive &archive, const ArchiveFilter &filter, int column,
                                      Qt::SortOrder order)
{
    std::vector<StatEntry> entries;
    QSqlQuery query = archive.Select(filter, column, order, true);
    while (query.next()) {
        const Tested t = TestedOf(query.value(ArchTested).toLongLong());
        StatEntry entry;
        entry.ListNo = query.value(ArchListNo).toInt();
        entry.DateKey = DateKeyOf(t.year, t.month, t.day);
        entry.TimeKey = t.hour * 64 + t.minute;
        entry.Result = query.value(ArchResult).toInt();
        entry.ListText = query.value(ArchListName).toString();
        entry.PersonText = query.value(ArchPersonName).toString();
        entries.push_back(std::move(entry));
    }
    return entries;
}
