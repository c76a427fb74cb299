#pragma once
// The archive's tests as the archive window shows them: a query model over
// the database that fetches rows as the view scrolls to them, sorted by the
// database, and the plain functions behind its cells, its search fields and
// its export.

#include "store/Archive.h"

#include <QSqlQueryModel>
#include <optional>
#include <vector>

class ArchiveModel : public QSqlQueryModel {
public:
    explicit ArchiveModel(QObject *parent = nullptr);

    // Shows what `filter` finds in `archive`; nothing without an archive.
    void Show(const Archive *archive, const ArchiveFilter &filter);
    void sort(int column, Qt::SortOrder order) override;
    const ArchiveFilter &Filter() const { return m_filter; }
    int SortColumn() const { return m_column; }
    Qt::SortOrder SortOrder() const { return m_order; }

    QVariant data(const QModelIndex &item, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void Requery();

    const Archive *m_archive = nullptr;
    ArchiveFilter m_filter;
    int m_column = ArchTested;
    Qt::SortOrder m_order = Qt::DescendingOrder;
};

// The text of a cell of column `column` (ArchiveColumn) for its stored value.
QString ArchiveCellText(int column, const QVariant &value);

// A result typed as per mille, "0.5", "0,5" or "1": tenths; nothing for an
// empty text or one that is no result (0.0 to 6.3).
std::optional<int> TypedTenths(const QString &text);

// Every test `filter` finds, in the order given, as the export writes them.
std::vector<StatEntry> ArchiveEntries(const Archive &archive, const ArchiveFilter &filter, int column,
                                      Qt::SortOrder order);
