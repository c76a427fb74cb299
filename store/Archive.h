#pragma once
// The archive of every test ever read: an SQLite database beside the
// program's other files. Each test keeps the six bytes the instrument wrote,
// the names of its list and person as they were when it was read, and where
// it came from. The results and list files never depend on it: the archive
// only ever adds to itself, but for a test taken from a results file that a
// step then reads: it gains the instrument's number and index.
//
// Tests read from an instrument are one per (instrument, record index,
// bytes), so a re-read adds nothing; tests imported from a results file are
// one per (file content, slot), so importing a file twice adds nothing, and
// a file's tests that the archive holds from a file of that name are not
// added again: the file grown since, or the program's own file, wherever
// its folder went. Copies under another name are other files.

#include "store/ResultRecord.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <memory>
#include <optional>
#include <span>

inline constexpr const char *ArchiveFileName = "orba-archive.sqlite";

constexpr int UnknownInstrument = -1;

// A test as it goes into the archive.
struct ArchivedTest {
    int instrument = UnknownInstrument;   // the instrument's number, when it could be read
    int recordIndex = 0;                  // the record's index in the instrument's memory
    ResultRecord record;
    QString listName;                     // without the spaces that pad it
    QString personName;
    QDateTime readAt;
    QString resultsFile;                  // the results file the test went into
};

// What the archive window searches for; every given field narrows the search.
struct ArchiveFilter {
    QString name = {};                         // part of a person's name (SearchKey)
    std::optional<int> list = {};                   // 0 for anonymous tests, 1..8
    std::optional<int> instrument = {};
    std::optional<QDate> from = {};                 // test dates, both days included
    std::optional<QDate> to = {};
    std::optional<int> resultFrom = {};             // tenths of a per mille, both included
    std::optional<int> resultTo = {};
};

// The columns of a selection, in this order.
enum ArchiveColumn {
    ArchTested,        // YYYYMMDDhhmm as one number
    ArchListNo,
    ArchListName,
    ArchPersonName,
    ArchResult,
    ArchInstrument,    // NULL for imported tests
    ArchRecordIndex,   // NULL for imported tests
    ArchReadAt,        // "yyyy-MM-dd HH:mm:ss"
    ArchResultsFile,
    ArchColumnCount,
};

struct ArchiveAdded {
    int added = 0;
    int already = 0;   // tests the archive held before
};

// What a name search compares: the text without case, with "ё" as "е", and
// with the Latin letters that look like Cyrillic ones (as the instrument's
// display shows them: a, c, e, o, p, x, ...) taken as those.
QString SearchKey(const QString &text);

// A test with the names of its list and person given as the list file holds
// them; an anonymous test (list 0) has no list name and the person "Аноним".
ArchivedTest TestWithNames(const ResultRecord &record, const QByteArray &listName, const QByteArray &personName);

// The test's date and time as one sortable number, YYYYMMDDhhmm, with the
// year as every window reads it. Impossible dates keep their fields.
qint64 TestedNumber(const ResultRecord &record);
qint64 TestedNumber(const QDate &date, int hour, int minute);

class Archive {
public:
    static constexpr int SchemaVersion = 1;

    // Opens the archive file, creating it when missing and bringing an older
    // schema up to date. Null, with the reason in `error`, when the file
    // cannot be used: damaged, locked, read-only, or of a newer version.
    static std::unique_ptr<Archive> Open(const QString &path, QString &error);
    ~Archive();
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    QString Path() const { return m_path; }

    // Adds the tests of one step in one transaction: all or none.
    std::optional<ArchiveAdded> AddRead(std::span<const ArchivedTest> tests, QString &error);

    // Adds the tests of a results file (its whole content), named by the list
    // file's content when there is one (empty otherwise), in one transaction.
    // A file of another size than a results file adds nothing. The tests
    // the archive holds from a file of the name of `fileName` count as held,
    // copy for copy.
    std::optional<ArchiveAdded> Import(const QByteArray &results, const QByteArray &lists, const QString &fileName,
                                       const QDateTime &now, QString &error);

    int Count(const ArchiveFilter &filter = {}) const;
    // The tests found, sorted by `column` (ArchiveColumn), as an executed
    // query; its rows arrive as they are fetched. A forward-only query keeps
    // none of them behind it.
    QSqlQuery Select(const ArchiveFilter &filter, int column, Qt::SortOrder order, bool forwardOnly = false) const;

    QSqlDatabase Database() const;

private:
    Archive(QString connection, QString path);

    QString m_connection;
    QString m_path;
};

// The archive of the program's folder, once opened; null when it is not open
// or could not be used.
Archive *ProgramArchive();
// Opens orba-archive.sqlite in the current directory as the program's
// archive; the reason it cannot be used when it fails.
std::optional<QString> OpenProgramArchive();
void CloseProgramArchive();
