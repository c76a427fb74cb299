#include "store/Archive.h"

#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "store/Spreadsheet.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QVariant>
#include <atomic>
#include <vector>

namespace {

constexpr int ResultsHeaderBytes = 60;
constexpr int RecordBytes = int(sizeof(ResultRecord));
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteReadOnly = 8;
constexpr int SqliteCorrupt = 11;
constexpr int SqliteCantOpen = 14;
constexpr int SqliteNotADatabase = 26;

// Schema versions: migration k brings a file of version k to k + 1. A new
// version appends its statements here and never changes the earlier ones.
const std::vector<std::vector<const char *>> Migrations = {
    {
        "CREATE TABLE names (id INTEGER PRIMARY KEY, list_name TEXT NOT NULL, person_name TEXT NOT NULL, "
        "folded TEXT NOT NULL, UNIQUE (list_name, person_name))",
        "CREATE TABLE tests (id INTEGER PRIMARY KEY, instrument INTEGER, record_index INTEGER, "
        "raw BLOB NOT NULL, list_no INTEGER NOT NULL, person_no INTEGER NOT NULL, "
        "name_id INTEGER NOT NULL REFERENCES names (id), tested INTEGER NOT NULL, result INTEGER NOT NULL, "
        "read_at TEXT NOT NULL, results_file TEXT NOT NULL, import_key TEXT, import_slot INTEGER)",
        "CREATE UNIQUE INDEX tests_read ON tests (instrument, record_index, raw) WHERE import_key IS NULL",
        "CREATE UNIQUE INDEX tests_imported ON tests (import_key, import_slot) WHERE import_key IS NOT NULL",
        // Each search index carries every searched column, so that a count
        // never reads the table.
        "CREATE INDEX tests_tested ON tests (tested, name_id, list_no, instrument, result)",
        "CREATE INDEX tests_name ON tests (name_id, tested, list_no, instrument, result)",
        "CREATE INDEX tests_instrument ON tests (instrument, tested, name_id, list_no, result)",
        "CREATE INDEX tests_list ON tests (list_no, tested, name_id, instrument, result)",
    },
};

const char *const SortExpressions[ArchColumnCount] = {
    "t.tested", "t.list_no", "n.list_name", "n.folded", "t.result",
    "t.instrument", "t.record_index", "t.read_at", "t.results_file",
};

QString NewConnectionName()
{
    static std::atomic<int> opened{0};
    return QStringLiteral("orba-archive-%1").arg(++opened);
}

int SqliteCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xFF;
}

QString Reason(const QSqlError &error)
{
    switch (SqliteCode(error)) {
    case SqliteBusy:
    case SqliteLocked:
        return QStringLiteral("файл занят другой программой");
    case SqliteReadOnly:
        return QStringLiteral("файл доступен только для чтения");
    case SqliteCorrupt:
    case SqliteNotADatabase:
        return QStringLiteral("файл поврежден или не является архивом");
    case SqliteCantOpen:
        return QStringLiteral("файл нельзя открыть");
    default:
        return error.text();
    }
}

bool Exec(QSqlDatabase &db, const QString &statement, QString &error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    error = Reason(query.lastError());
    return false;
}

std::optional<int> UserVersion(QSqlDatabase &db, QString &error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        error = Reason(query.lastError());
        return std::nullopt;
    }
    return query.value(0).toInt();
}

bool Migrate(QSqlDatabase &db, int from, QString &error)
{
    for (int version = from; version < int(Migrations.size()); ++version) {
        if (!db.transaction()) {
            error = Reason(db.lastError());
            return false;
        }
        bool done = true;
        for (const char *statement : Migrations[size_t(version)])
            done = done && Exec(db, QString::fromLatin1(statement), error);
        done = done && Exec(db, QStringLiteral("PRAGMA user_version = %1").arg(version + 1), error);
        if (!done || !db.commit()) {
            if (done)
                error = Reason(db.lastError());
            db.rollback();
            return false;
        }
    }
    return true;
}

// Writes the schema version over itself and takes it back: a read-only or
// locked file fails here rather than in the middle of a step. (The write
// lock alone is granted on a read-only file.)
bool CanWrite(QSqlDatabase &db, QString &error)
{
    if (!Exec(db, QStringLiteral("BEGIN IMMEDIATE"), error))
        return false;
    const bool wrote = Exec(db, QStringLiteral("PRAGMA user_version = %1").arg(Archive::SchemaVersion), error);
    QString ignored;
    Exec(db, QStringLiteral("ROLLBACK"), ignored);
    return wrote;
}

bool Prepare(QSqlDatabase &db, QSqlQuery &query, const char *statement, QString &error)
{
    query = QSqlQuery(db);
    if (query.prepare(QString::fromLatin1(statement)))
        return true;
    error = Reason(query.lastError());
    return false;
}

// A results file is known by its name: the program's folder may move, and
// its orbisk_a.dat with it.
QString FileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

QByteArray RawBytes(const ResultRecord &record)
{
    return QByteArray(reinterpret_cast<const char *>(record.bytes.data()), qsizetype(record.bytes.size()));
}

// One row of the tests table.
struct TestRow {
    QVariant instrument;
    QVariant recordIndex;
    ResultRecord record;
    QString listName;
    QString personName;
    QString readAt;
    QString resultsFile;
    QVariant importKey;
    QVariant importSlot;
};

// Adds rows inside one transaction, each name pair stored once.
class RowWriter {
public:
    explicit RowWriter(QSqlDatabase &db) : m_db(db) {}

    bool Begin(QString &error)
    {
        if (!m_db.transaction()) {
            error = Reason(m_db.lastError());
            return false;
        }
        m_open = true;
        return Prepare(m_db, m_addName,
                       "INSERT INTO names (list_name, person_name, folded) VALUES (?, ?, ?)", error)
               && Prepare(m_db, m_findName, "SELECT id FROM names WHERE list_name = ? AND person_name = ?", error)
               && Prepare(m_db, m_addTest,
                          "INSERT INTO tests (instrument, record_index, raw, list_no, person_no, name_id, "
                          "tested, result, read_at, results_file, import_key, import_slot) "
                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING",
                          error)
               && Prepare(m_db, m_sameMinute,
                          "SELECT id, instrument, record_index, raw, results_file, import_key IS NULL FROM tests "
                          "WHERE tested = ?",
                          error)
               && Prepare(m_db, m_claimImported,
                          "UPDATE tests SET instrument = ?, record_index = ?, import_key = NULL, import_slot = NULL "
                          "WHERE id = ?",
                          error);
    }

    bool Add(const TestRow &row, QString &error)
    {
        const std::optional<bool> readBefore = HoldsRead(row, error);
        if (!readBefore)
            return false;
        if (*readBefore) {
            CountHeld();
            return true;
        }
        const std::optional<qint64> nameId = NameId(row.listName, row.personName, error);
        if (!nameId)
            return false;
        const ResultRecord &record = row.record;
        const QVariantList values = {
            row.instrument, row.recordIndex, RawBytes(record), record.ListNo(), record.PersonNo(), *nameId,
            TestedNumber(record), record.Result(), row.readAt, row.resultsFile, row.importKey, row.importSlot,
        };
        for (int i = 0; i < values.size(); ++i)
            m_addTest.bindValue(i, values[i]);
        if (!m_addTest.exec()) {
            error = Reason(m_addTest.lastError());
            return false;
        }
        ++(m_addTest.numRowsAffected() > 0 ? m_added.added : m_added.already);
        return true;
    }

    void CountHeld() { ++m_added.already; }

    std::optional<ArchiveAdded> Commit(QString &error)
    {
        m_addName.finish();
        m_findName.finish();
        m_addTest.finish();
        m_sameMinute.finish();
        m_claimImported.finish();
        if (!m_db.commit()) {
            error = Reason(m_db.lastError());
            return std::nullopt;
        }
        m_open = false;
        return m_added;
    }

    ~RowWriter()
    {
        if (m_open) {
            m_addName = QSqlQuery();
            m_findName = QSqlQuery();
            m_addTest = QSqlQuery();
            m_sameMinute = QSqlQuery();
            m_claimImported = QSqlQuery();
            m_db.rollback();
        }
    }

private:
    // Whether the archive holds the test of a read row already: read before
    // (with the instrument's number, or while it was unknown: either way
    // round it is the same record), or taken from its results file before
    // the step read it. Such a taken test becomes the read one, with the
    // instrument's number and index. The tests of one minute are few.
    std::optional<bool> HoldsRead(const TestRow &row, QString &error)
    {
        if (!row.importKey.isNull())
            return false;
        const int instrument = row.instrument.toInt();
        const QByteArray raw = RawBytes(row.record);
        m_sameMinute.bindValue(0, TestedNumber(row.record));
        if (!m_sameMinute.exec()) {
            error = Reason(m_sameMinute.lastError());
            return std::nullopt;
        }
        std::optional<qint64> taken;
        bool read = false;
        while (!read && m_sameMinute.next()) {
            if (m_sameMinute.value(3).toByteArray() != raw)
                continue;
            const int other = m_sameMinute.value(1).toInt();
            if (m_sameMinute.value(5).toBool())
                read = m_sameMinute.value(2).toInt() == row.recordIndex
                       && (other == instrument || other == UnknownInstrument || instrument == UnknownInstrument);
            else if (!taken && FileNameOf(m_sameMinute.value(4).toString()) == FileNameOf(row.resultsFile))
                taken = m_sameMinute.value(0).toLongLong();
        }
        m_sameMinute.finish();
        if (read || !taken)
            return read;
        if (!Claim(*taken, row, error))
            return std::nullopt;
        return true;
    }

    bool Claim(qint64 id, const TestRow &row, QString &error)
    {
        m_claimImported.bindValue(0, row.instrument);
        m_claimImported.bindValue(1, row.recordIndex);
        m_claimImported.bindValue(2, id);
        if (m_claimImported.exec())
            return true;
        error = Reason(m_claimImported.lastError());
        return false;
    }

    std::optional<qint64> NameId(const QString &list, const QString &person, QString &error)
    {
        // A null text would go in as NULL, which the table refuses.
        const QString listName = list.isNull() ? QStringLiteral("") : list;
        const QString personName = person.isNull() ? QStringLiteral("") : person;
        const auto key = std::make_pair(listName, personName);
        if (const auto known = m_names.constFind(key); known != m_names.cend())
            return *known;
        m_findName.bindValue(0, listName);
        m_findName.bindValue(1, personName);
        if (!m_findName.exec()) {
            error = Reason(m_findName.lastError());
            return std::nullopt;
        }
        qint64 id = 0;
        if (m_findName.next()) {
            id = m_findName.value(0).toLongLong();
            m_findName.finish();
        } else {
            m_addName.bindValue(0, listName);
            m_addName.bindValue(1, personName);
            m_addName.bindValue(2, SearchKey(personName));
            if (!m_addName.exec()) {
                error = Reason(m_addName.lastError());
                return std::nullopt;
            }
            id = m_addName.lastInsertId().toLongLong();
        }
        m_names.insert(key, id);
        return id;
    }

    QSqlDatabase &m_db;
    bool m_open = false;
    QSqlQuery m_addName;
    QSqlQuery m_findName;
    QSqlQuery m_addTest;
    QSqlQuery m_sameMinute;
    QSqlQuery m_claimImported;
    QHash<std::pair<QString, QString>, qint64> m_names;
    ArchiveAdded m_added;
};

// The tests the archive holds from one results file (read into it by steps,
// or imported from it), as copies of each record's bytes. A file taken again
// as it grew, or the program's own file, adds only what the archive lacks of
// it; two tests of the same bytes in the file need two copies.
class HeldCopies {
public:
    // Looks the file's tests up minute by minute: a file may span years of
    // a large archive, a minute holds few tests.
    bool Load(QSqlDatabase &db, const QString &fileName, const std::vector<TestRow> &rows, QString &error)
    {
        QSet<qint64> minutes;
        for (const TestRow &row : rows)
            minutes.insert(TestedNumber(row.record));
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.prepare(QStringLiteral("SELECT raw, results_file FROM tests WHERE tested = ?"))) {
            error = Reason(query.lastError());
            return false;
        }
        const QString name = FileNameOf(fileName);
        for (const qint64 minute : minutes) {
            query.bindValue(0, minute);
            if (!query.exec()) {
                error = Reason(query.lastError());
                return false;
            }
            while (query.next()) {
                if (FileNameOf(query.value(1).toString()) == name)
                    ++m_copies[query.value(0).toByteArray()];
            }
        }
        return true;
    }

    // Uses up one copy of `record`; false when none is left.
    bool Take(const ResultRecord &record)
    {
        const auto found = m_copies.find(RawBytes(record));
        if (found == m_copies.end() || *found == 0)
            return false;
        --*found;
        return true;
    }

private:
    QHash<QByteArray, int> m_copies;
};

std::optional<ArchiveAdded> AddRows(QSqlDatabase db, const std::vector<TestRow> &rows, QString &error,
                                    const QString &heldFrom = {})
{
    RowWriter writer(db);
    if (!writer.Begin(error))
        return std::nullopt;
    HeldCopies held;
    if (!heldFrom.isEmpty() && !held.Load(db, heldFrom, rows, error))
        return std::nullopt;
    for (const TestRow &row : rows) {
        if (held.Take(row.record))
            writer.CountHeld();
        else if (!writer.Add(row, error))
            return std::nullopt;
    }
    return writer.Commit(error);
}

QString ReadAtText(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The names of a test: anonymous tests have no list.
void Name(TestRow &row, const QByteArray &listName, const QByteArray &personName)
{
    if (row.record.ListNo() == 0) {
        row.personName = QStringLiteral("Аноним");
        return;
    }
    row.listName = WithoutPadding(FromCp1251(listName));
    row.personName = WithoutPadding(FromCp1251(personName));
}

QByteArray NameBytes(const QByteArray &lists, int index)
{
    return lists.size() == ListFileSize ? lists.mid(NameLength * index, NameLength) : QByteArray();
}

// The WHERE clause of a filter, with its values in order.
struct Condition {
    QString sql;
    QVariantList values;
};

Condition Where(const ArchiveFilter &filter)
{
    QStringList terms;
    Condition condition;
    const auto add = [&](const char *term, const QVariant &value) {
        terms << QString::fromLatin1(term);
        condition.values << value;
    };
    if (!filter.name.trimmed().isEmpty())
        add("t.name_id IN (SELECT id FROM names WHERE instr(folded, ?) > 0)", SearchKey(filter.name));
    if (filter.list)
        add("t.list_no = ?", *filter.list);
    if (filter.instrument)
        add("t.instrument = ?", *filter.instrument);
    if (filter.from)
        add("t.tested >= ?", TestedNumber(*filter.from, 0, 0));
    if (filter.to)
        add("t.tested <= ?", TestedNumber(*filter.to, 99, 99));
    if (filter.resultFrom)
        add("t.result >= ?", *filter.resultFrom);
    if (filter.resultTo)
        add("t.result <= ?", *filter.resultTo);
    if (!terms.isEmpty())
        condition.sql = QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
    return condition;
}

// Latin letters that the instrument's display shows for Cyrillic ones, after
// case folding, and their Cyrillic twins.
const QString LatinTwins = QStringLiteral("abcehkmoptxy");
const QString CyrillicTwins = QStringLiteral("авсенкмортху");

std::unique_ptr<Archive> &OpenedArchive()
{
    static std::unique_ptr<Archive> archive;
    return archive;
}

} // namespace

QString SearchKey(const QString &text)
{
    QString key = text.trimmed().toCaseFolded();
    for (QChar &c : key) {
        if (const qsizetype twin = LatinTwins.indexOf(c); twin >= 0)
            c = CyrillicTwins[twin];
        else if (c == u'ё')
            c = u'е';
    }
    return key;
}

qint64 TestedNumber(const QDate &date, int hour, int minute)
{
    return ((qint64(date.year()) * 100 + date.month()) * 100 + date.day()) * 10000 + hour * 100 + minute;
}

qint64 TestedNumber(const ResultRecord &record)
{
    return ((qint64(RecordYear(record)) * 100 + record.Month()) * 100 + record.Day()) * 10000 + record.Hour() * 100
           + record.Minute();
}

Archive::Archive(QString connection, QString path) : m_connection(std::move(connection)), m_path(std::move(path)) {}

Archive::~Archive()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

std::unique_ptr<Archive> Archive::Open(const QString &path, QString &error)
{
    std::unique_ptr<Archive> archive(new Archive(NewConnectionName(), path));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), archive->m_connection);
    if (!db.isValid()) {
        error = QStringLiteral("нет драйвера SQLite для Qt (пакет libqt6sql6-sqlite)");
        return nullptr;
    }
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    if (!db.open()) {
        error = Reason(db.lastError());
        return nullptr;
    }
    const std::optional<int> version = UserVersion(db, error);
    if (!version)
        return nullptr;
    if (*version > SchemaVersion) {
        error = QStringLiteral("файл записан более новой версией программы");
        return nullptr;
    }
    if (!Exec(db, QStringLiteral("PRAGMA journal_mode = WAL"), error)
        || !Exec(db, QStringLiteral("PRAGMA synchronous = NORMAL"), error)
        || !Exec(db, QStringLiteral("PRAGMA cache_size = -32768"), error)
        || !Exec(db, QStringLiteral("PRAGMA wal_autocheckpoint = 4000"), error) || !Migrate(db, *version, error)
        || !CanWrite(db, error))
        return nullptr;
    // The planner's figures of the tables, from a sample: without them it may
    // walk a name's index where the period's is the narrow one.
    Exec(db, QStringLiteral("PRAGMA analysis_limit = 1000"), error);
    Exec(db, QStringLiteral("ANALYZE"), error);
    error.clear();
    return archive;
}

QSqlDatabase Archive::Database() const
{
    return QSqlDatabase::database(m_connection, false);
}

std::optional<ArchiveAdded> Archive::AddRead(std::span<const ArchivedTest> tests, QString &error)
{
    std::vector<TestRow> rows;
    rows.reserve(tests.size());
    for (const ArchivedTest &test : tests) {
        rows.push_back({test.instrument, test.recordIndex, test.record, test.listName, test.personName,
                        ReadAtText(test.readAt), test.resultsFile, QVariant(), QVariant()});
    }
    return AddRows(Database(), rows, error);
}

std::optional<ArchiveAdded> Archive::Import(const QByteArray &results, const QByteArray &lists,
                                            const QString &fileName, const QDateTime &now, QString &error)
{
    if (results.size() != ResultsFileSize) {
        error = QStringLiteral("это не файл результатов (его размер не %1 байт)").arg(ResultsFileSize);
        return std::nullopt;
    }
    const auto byte = [&results](int at) { return uint8_t(results[at]); };
    const int count = std::min(byte(0) | byte(1) << 8, ResultSlots);
    const QString key = QString::fromLatin1(QCryptographicHash::hash(results, QCryptographicHash::Sha256).toHex());
    std::vector<TestRow> rows;
    for (int slot = 0; slot < count; ++slot) {
        TestRow row;
        for (int i = 0; i < RecordBytes; ++i)
            row.record.bytes[size_t(i)] = byte(ResultsHeaderBytes + RecordBytes * slot + i);
        if (row.record.IsEnd())
            break;
        const int list = row.record.ListNo();
        if (list > ListCount)
            continue;
        if (list > 0)
            Name(row, NameBytes(lists, list - 1),
                 NameBytes(lists, ListCount + (list - 1) * PersonsPerList + row.record.PersonNo()));
        else
            Name(row, {}, {});
        row.readAt = ReadAtText(now);
        row.resultsFile = fileName;
        row.importKey = key;
        row.importSlot = slot;
        rows.push_back(std::move(row));
    }
    return AddRows(Database(), rows, error, fileName);
}

int Archive::Count(const ArchiveFilter &filter) const
{
    const Condition where = Where(filter);
    QSqlQuery query(Database());
    query.prepare(QStringLiteral("SELECT count(*) FROM tests t") + where.sql);
    for (int i = 0; i < where.values.size(); ++i)
        query.bindValue(i, where.values[i]);
    return query.exec() && query.next() ? query.value(0).toInt() : 0;
}

QSqlQuery Archive::Select(const ArchiveFilter &filter, int column, Qt::SortOrder order, bool forwardOnly) const
{
    const Condition where = Where(filter);
    const char *direction = order == Qt::AscendingOrder ? " ASC" : " DESC";
    const QString sortBy = QString::fromLatin1(SortExpressions[std::clamp(column, 0, ArchColumnCount - 1)]);
    QSqlQuery query(Database());
    query.setForwardOnly(forwardOnly);
    query.prepare(QStringLiteral("SELECT t.tested, t.list_no, n.list_name, n.person_name, t.result, t.instrument, "
                                 "t.record_index, t.read_at, t.results_file "
                                 "FROM tests t JOIN names n ON n.id = t.name_id")
                  + where.sql + QStringLiteral(" ORDER BY ") + sortBy + QLatin1String(direction)
                  + QStringLiteral(", t.id") + QLatin1String(direction));
    for (int i = 0; i < where.values.size(); ++i)
        query.bindValue(i, where.values[i]);
    query.exec();
    return query;
}

ArchivedTest TestWithNames(const ResultRecord &record, const QByteArray &listName, const QByteArray &personName)
{
    TestRow row;
    row.record = record;
    Name(row, listName, personName);
    ArchivedTest test;
    test.record = record;
    test.listName = row.listName;
    test.personName = row.personName;
    return test;
}

Archive *ProgramArchive()
{
    return OpenedArchive().get();
}

std::optional<QString> OpenProgramArchive()
{
    CloseProgramArchive();
    QString error;
    OpenedArchive() = Archive::Open(QDir::current().absoluteFilePath(ArchiveFileName), error);
    if (OpenedArchive())
        return std::nullopt;
    return error;
}

void CloseProgramArchive()
{
    OpenedArchive().reset();
}
