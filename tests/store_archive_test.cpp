// The archive database: what a search finds for each combination of fields,
// in which order, through which index; imports keyed by file and slot; and
// the files it refuses to use, left as they were.

#include "TestRecords.h"
#include "WorkDir.h"

#include "store/Archive.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/ArchiveModel.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <gtest/gtest.h>
#include <algorithm>
#include <unistd.h>

namespace {

const QDateTime ReadAt(QDate(2026, 12, 8), QTime(10, 0));

struct Known {
    int instrument;
    int list;
    const char *person;
    QDateTime tested;
    int result;
};

// The small known archive: names of several cases and alphabets, three
// instruments, two years.
const Known KnownTests[] = {
    {101, 1, "Иванов И.И.", QDateTime(QDate(2025, 3, 5), QTime(8, 0)), 0},
    {101, 1, "ИВАНОВА А.П.", QDateTime(QDate(2026, 1, 10), QTime(9, 30)), 5},
    {101, 2, "Петров П.П.", QDateTime(QDate(2026, 1, 10), QTime(23, 59)), 12},
    {202, 2, "Smith J.", QDateTime(QDate(2026, 6, 1), QTime(0, 0)), 3},
    {202, 0, "", QDateTime(QDate(2026, 6, 2), QTime(12, 0)), 63},
    {303, 3, "Сидоров ёж", QDateTime(QDate(2026, 12, 7), QTime(17, 45)), 8},
};

ArchivedTest Test(const Known &known, int index)
{
    ArchivedTest test = TestWithNames(TestRecord(known.list, index, known.tested, known.result),
                                      ToCp1251(QStringLiteral("Цех %1").arg(known.list)).leftJustified(16, ' '),
                                      ToCp1251(QString::fromUtf8(known.person)).leftJustified(16, ' '));
    test.instrument = known.instrument;
    test.recordIndex = index;
    test.readAt = ReadAt;
    test.resultsFile = QStringLiteral("/folder/orbisk_a.dat");
    return test;
}

std::vector<ArchivedTest> KnownArchive()
{
    std::vector<ArchivedTest> tests;
    for (int i = 0; i < int(std::size(KnownTests)); ++i)
        tests.push_back(Test(KnownTests[i], i));
    return tests;
}

QStringList Persons(const Archive &archive, const ArchiveFilter &filter, int column = ArchTested,
                    Qt::SortOrder order = Qt::AscendingOrder)
{
    QStringList persons;
    QSqlQuery query = archive.Select(filter, column, order, true);
    while (query.next())
        persons << query.value(ArchPersonName).toString();
    return persons;
}

class ArchiveFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        archive = Archive::Open(dir.file(ArchiveFileName), error);
        ASSERT_TRUE(archive) << error.toStdString();
    }

    ScopedWorkDir dir;
    QString error;
    std::unique_ptr<Archive> archive;
};

} // namespace

TEST_F(ArchiveFile, SearchesCombineEveryField)
{
    const std::vector<ArchivedTest> tests = KnownArchive();
    const auto added = archive->AddRead(tests, error);
    ASSERT_TRUE(added) << error.toStdString();
    EXPECT_EQ(added->added, 6);

    struct Case {
        ArchiveFilter filter;
        QStringList found;   // by test time
    };
    const Case cases[] = {
        {{}, {"Иванов И.И.", "ИВАНОВА А.П.", "Петров П.П.", "Smith J.", "Аноним", "Сидоров ёж"}},
        {{.name = "иванов"}, {"Иванов И.И.", "ИВАНОВА А.П."}},
        {{.name = "  ОВА "}, {"ИВАНОВА А.П."}},
        {{.name = "ЕЖ"}, {"Сидоров ёж"}},
        {{.name = "cидоp"}, {"Сидоров ёж"}},   // Latin c, p as the display shows them
        {{.name = "smi"}, {"Smith J."}},
        {{.name = "SМIТН"}, {"Smith J."}},   // Cyrillic М and Т
        {{.name = "%"}, {}},
        {{.list = 0}, {"Аноним"}},
        {{.list = 2, .instrument = 202}, {"Smith J."}},
        {{.instrument = 101, .from = QDate(2026, 1, 10), .to = QDate(2026, 1, 10)}, {"ИВАНОВА А.П.", "Петров П.П."}},
        {{.from = QDate(2026, 6, 2)}, {"Аноним", "Сидоров ёж"}},
        {{.to = QDate(2025, 12, 31)}, {"Иванов И.И."}},
        {{.resultFrom = 5, .resultTo = 12}, {"ИВАНОВА А.П.", "Петров П.П.", "Сидоров ёж"}},
        {{.name = "ов", .instrument = 101, .resultFrom = 1}, {"ИВАНОВА А.П.", "Петров П.П."}},
        {{.name = "ов", .from = QDate(2026, 2, 1), .resultTo = 63}, {"Сидоров ёж"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.found.join(',').toStdString());
        EXPECT_EQ(Persons(*archive, c.filter), c.found);
        EXPECT_EQ(archive->Count(c.filter), c.found.size());
    }

    // A test read again, by the same instrument at the same index, is there
    // already; the same bytes from another instrument are another test.
    ArchivedTest other = tests[0];
    other.instrument = 999;
    const std::vector<ArchivedTest> again = {tests[0], tests[5], other};
    const auto second = archive->AddRead(again, error);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->added, 1);
    EXPECT_EQ(second->already, 2);
    EXPECT_EQ(archive->Count(), 7);
}

TEST_F(ArchiveFile, EveryColumnSortsAndTheSearchesUseIndexes)
{
    ASSERT_TRUE(archive->AddRead(KnownArchive(), error));
    // Each column's values in its own order (the person by its search key).
    for (int column = 0; column < ArchColumnCount; ++column) {
        QStringList values;
        QSqlQuery query = archive->Select({}, column, Qt::DescendingOrder, true);
        while (query.next()) {
            const QString value = query.value(column).toString();
            values << (column == ArchPersonName ? SearchKey(value) : value.rightJustified(12, '0'));
        }
        EXPECT_TRUE(std::is_sorted(values.rbegin(), values.rend())) << column;
    }

    // The window's default order and each search narrow through an index,
    // never by reading the whole table.
    const ArchiveFilter searches[] = {
        {}, {.name = "ов"}, {.instrument = 101}, {.from = QDate(2026, 1, 1), .to = QDate(2026, 2, 1)},
        {.list = 1}, {.name = "ов", .list = 1, .instrument = 101, .from = QDate(2026, 1, 1), .resultTo = 5},
    };
    for (const ArchiveFilter &filter : searches) {
        QSqlQuery plan(archive->Database());
        QSqlQuery select = archive->Select(filter, ArchTested, Qt::DescendingOrder);
        ASSERT_TRUE(plan.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + select.lastQuery()));
        for (int i = 0; i < select.boundValues().size(); ++i)
            plan.bindValue(i, select.boundValues()[i]);
        ASSERT_TRUE(plan.exec()) << plan.lastError().text().toStdString();
        while (plan.next()) {
            const QString step = plan.value(3).toString();
            EXPECT_NE(step, QStringLiteral("SCAN t")) << select.lastQuery().toStdString();
        }
    }
}

// A step whose instrument did not give its number (the line lost at its
// end) stores the record with the unknown number; the record read again with
// the number, or the other way round, is the same test.
TEST_F(ArchiveFile, ARecordReadWithAndWithoutTheInstrumentsNumberIsOneTest)
{
    struct Case {
        int first, second;   // instrument numbers of the two reads
        int added;           // by the second read
    };
    const Case cases[] = {
        {UnknownInstrument, 101, 0},
        {101, UnknownInstrument, 0},
        {UnknownInstrument, UnknownInstrument, 0},
        {101, 202, 1},   // two instruments, one index, the same bytes: two tests
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << " then " << c.second);
        ArchivedTest test = ::Test(KnownTests[0], ++index);
        test.instrument = c.first;
        ASSERT_TRUE(archive->AddRead(std::span(&test, 1), error));
        test.instrument = c.second;
        const auto again = archive->AddRead(std::span(&test, 1), error);
        ASSERT_TRUE(again) << error.toStdString();
        EXPECT_EQ(again->added, c.added);
        EXPECT_EQ(again->already, 1 - c.added);
    }
}

TEST_F(ArchiveFile, AFileImportedTwiceAddsItsTestsOnce)
{
    // A results file of three tests and an end record, with its list file.
    QByteArray results(ResultsFileSize, '\0');
    const std::vector<ResultRecord> records = {TestRecord(2, 7, ReadAt, 4), TestRecord(0, 0, ReadAt, 1),
                                               ResultRecord{{12, 0, 0, 0, 0, 0}}, TestRecord(2, 7, ReadAt, 4),
                                               EndRecord(), TestRecord(1, 1, ReadAt)};
    results[0] = char(records.size());
    results.replace(60, int(records.size()) * 6, RecordBytes(records));
    QByteArray lists(ListFileSize, ' ');
    lists.replace(16, 6, ToCp1251(QStringLiteral("Смена2")));
    lists.replace(16 * (8 + 64 + 7), 8, ToCp1251(QStringLiteral("Кузнецов")));

    const auto first = archive->Import(results, lists, QStringLiteral("/old/orbisk_a.dat"), ReadAt, error);
    ASSERT_TRUE(first) << error.toStdString();
    EXPECT_EQ(first->added, 3);   // two tests of one person and minute are two slots
    EXPECT_EQ(first->already, 0);
    EXPECT_EQ(Persons(*archive, {.list = 2}), QStringList({"Кузнецов", "Кузнецов"}));
    EXPECT_EQ(Persons(*archive, {.list = 0}), QStringList{"Аноним"});

    const auto second = archive->Import(results, {}, QStringLiteral("/elsewhere/copy.dat"), ReadAt, error);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->added, 0);
    EXPECT_EQ(second->already, 3);

    // Another content at the same place is the file changed: only its new
    // test goes in. A file of another size is none.
    results[61] = char(8);
    const auto changed = archive->Import(results, {}, QStringLiteral("/old/orbisk_a.dat"), ReadAt, error);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->added, 1);
    EXPECT_EQ(changed->already, 2);
    EXPECT_FALSE(archive->Import(results.left(100), {}, {}, ReadAt, error));
    EXPECT_EQ(archive->Count(), 4);
    const std::vector<StatEntry> entries = ArchiveEntries(*archive, {.list = 2}, ArchTested, Qt::AscendingOrder);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].ListText, QStringLiteral("Смена2"));
    EXPECT_EQ(entries[0].DateKey, DateKeyOf(2026, 12, 8));
    EXPECT_EQ(entries[0].TimeKey, 10 * 64);
}

// A results file's tests that a step read into it are held (its folder
// moved since), and its tests taken are held when a step reads them: each
// copy of the same bytes (one person retested within a minute) once.
TEST_F(ArchiveFile, AFilesTestsReadIntoItByAStepAreHeldCopyForCopy)
{
    ArchivedTest read = ::Test(KnownTests[1], 0);
    read.resultsFile = QStringLiteral("/folder/orbisk_a.dat");
    ASSERT_TRUE(archive->AddRead(std::span(&read, 1), error));
    const std::vector<ResultRecord> records = {read.record, TestRecord(0, 0, ReadAt), read.record};
    QByteArray results(ResultsFileSize, '\0');
    results[0] = char(records.size());
    results.replace(60, int(records.size()) * 6, RecordBytes(records));

    const auto taken = archive->Import(results, {}, QStringLiteral("/moved/orbisk_a.dat"), ReadAt, error);
    ASSERT_TRUE(taken) << error.toStdString();
    EXPECT_EQ(taken->added, 2);
    EXPECT_EQ(taken->already, 1);
    EXPECT_EQ(archive->Count(), 3);

    // The second copy read later: into another file it is another test; into
    // this one it is the copy taken, which gains the instrument's number.
    for (const char *file : {"/folder/other.dat", "/folder/orbisk_a.dat"}) {
        read.resultsFile = QString::fromLatin1(file);
        ++read.recordIndex;
        ASSERT_TRUE(archive->AddRead(std::span(&read, 1), error));
    }
    EXPECT_EQ(archive->Count({.instrument = read.instrument}), 3);
    QStringList files;
    for (QSqlQuery query = archive->Select({}, ArchResultsFile, Qt::AscendingOrder, true); query.next();)
        files << query.value(ArchResultsFile).toString();
    EXPECT_EQ(files, QStringList({"/folder/orbisk_a.dat", "/folder/other.dat", "/moved/orbisk_a.dat",
                                  "/moved/orbisk_a.dat"}));
}

TEST(ArchiveOpen, AFileThatCannotBeUsedIsNamedAndLeftAsItWas)
{
    ScopedWorkDir dir;
    const QString path = dir.file(ArchiveFileName);
    QString error;
    {
        // An archive of a later version.
        auto archive = Archive::Open(path, error);
        ASSERT_TRUE(archive);
        QSqlQuery(archive->Database()).exec(QStringLiteral("PRAGMA user_version = 99"));
    }
    EXPECT_FALSE(Archive::Open(path, error));
    EXPECT_TRUE(error.contains(QStringLiteral("более новой версией")));

    struct Case {
        const char *what;
        QByteArray content;   // empty: a folder in the file's place
        const char *reason;
    };
    const Case cases[] = {
        {"damaged", QByteArray(8192, 'x'), "поврежден"},
        {"no file", {}, "нельзя открыть"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path);
        QDir().rmdir(path);
        ASSERT_TRUE(c.content.isEmpty() ? QDir().mkdir(path) : WriteWholeFile(path, c.content));
        error.clear();
        EXPECT_FALSE(Archive::Open(path, error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.reason))) << error.toStdString();
        if (!c.content.isEmpty()) {
            EXPECT_EQ(ReadWholeFile(path), c.content);
        }
    }
    QDir().rmdir(path);

    // Locked by another program for writing: refused after a short wait.
    auto archive = Archive::Open(path, error);
    ASSERT_TRUE(archive);
    archive.reset();
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(path);
        ASSERT_TRUE(other.open());
        ASSERT_TRUE(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        EXPECT_FALSE(Archive::Open(path, error));
        EXPECT_TRUE(error.contains(QStringLiteral("занят"))) << error.toStdString();
        QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    EXPECT_TRUE(Archive::Open(path, error));
}

// A file the program may read but not write. The superuser writes any file
// whatever its mode, so for it the file is made immutable.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(QString path) : m_path(std::move(path))
    {
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        m_immutable = ::geteuid() == 0 && QProcess::execute(QStringLiteral("chattr"), {"+i", m_path}) == 0;
        m_readOnly = ::geteuid() != 0 || m_immutable;
    }
    ~ReadOnlyFile()
    {
        if (m_immutable)
            QProcess::execute(QStringLiteral("chattr"), {"-i", m_path});
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    }
    bool readOnly() const { return m_readOnly; }

private:
    QString m_path;
    bool m_immutable = false;
    bool m_readOnly = false;
};

TEST(ArchiveOpen, AReadOnlyFileIsNamed)
{
    ScopedWorkDir dir;
    const QString path = dir.file(ArchiveFileName);
    QString error;
    ASSERT_TRUE(Archive::Open(path, error));
    const QByteArray before = ReadWholeFile(path);
    ReadOnlyFile readOnly(path);
    if (!readOnly.readOnly())
        GTEST_SKIP() << "no way to make a file read-only for the superuser here";
    EXPECT_FALSE(Archive::Open(path, error));
    EXPECT_TRUE(error.contains(QStringLiteral("только для чтения"))) << error.toStdString();
    EXPECT_EQ(ReadWholeFile(path), before);
}

TEST(ArchiveCells, ShowTheStoredValuesAsTheWindowsDo)
{
    EXPECT_EQ(ArchiveCellText(ArchTested, qint64(202601050907)), QStringLiteral("05.01.2026  09:07"));
    EXPECT_EQ(ArchiveCellText(ArchResult, 63), QStringLiteral("6.3"));
    EXPECT_EQ(ArchiveCellText(ArchInstrument, UnknownInstrument), QString());

    const struct {
        const char *typed;
        std::optional<int> tenths;
    } typed[] = {{"", {}}, {"0.5", 5}, {"1,5", 15}, {"2", 20}, {"6.3", 63}, {"6.4", {}}, {"-1", {}}, {"abc", {}}};
    for (const auto &t : typed)
        EXPECT_EQ(TypedTenths(QString::fromUtf8(t.typed)), t.tenths) << t.typed;
}
