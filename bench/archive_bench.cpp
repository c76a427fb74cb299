// Fills an archive with 1,000,000 tests (6000 persons in 8 lists, 10
// instruments, 15 years) and times what the operator waits for: the archive
// window opening to its first rows, a name search, a period search and a
// combined one as the window makes them (the count and the first rows), and
// the insert of a step of 1500 tests, a start's take of a full results file
// that the archive holds. Prints the file's size. Each figure is
// the median of several runs.
//
//   archive_bench [TESTS]    another number of tests

#include "Median.h"
#include "TestRecords.h"
#include "WorkDir.h"

#include "store/Archive.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/Arch.h"
#include "views/ArchiveModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Runs = 7;
constexpr int Instruments = 10;
constexpr int Persons = 6000;
constexpr int Years = 15;
constexpr int StepTests = 1500;
constexpr int Batch = 50000;

const char *const Surnames[] = {"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Попов", "Васильев",
                                "Соколов", "Михайлов", "Новиков", "Федоров", "Морозов", "Волков", "Алексеев",
                                "Лебедев", "Семенов", "Егоров", "Павлов", "Козлов", "Степанов"};

void Print(const char *name, double ms, double aim)
{
    std::printf("%-52s %9.1f ms   (aim: under %.0f ms)\n", name, ms, aim);
}

QString PersonName(int person)
{
    return QStringLiteral("%1 %2.%3.")
        .arg(QString::fromUtf8(Surnames[person % std::size(Surnames)]))
        .arg(QChar(u'А' + person / 20 % 30))
        .arg(QChar(u'А' + person / 600 % 30));
}

// Test `n` of `total`: spread evenly over the years up to `now`, over the
// persons and over the instruments.
ArchivedTest Test(int n, int total, const QDateTime &now)
{
    const qint64 span = qint64(Years) * 365 * 24 * 3600;
    const QDateTime when = now.addSecs(-span + span * n / total);
    const int person = int((n * 7919LL) % Persons);
    const int list = 1 + person % ListCount;
    ArchivedTest test = TestWithNames(TestRecord(list, person % PersonsPerList, when, n % 40), {}, {});
    test.listName = QStringLiteral("Цех %1").arg(list);
    test.personName = PersonName(person);
    test.instrument = 1000 + n % Instruments;
    test.recordIndex = n / Instruments % InstrumentRecords;
    test.readAt = when.addDays(1);
    test.resultsFile = QStringLiteral("/home/operator/OrbA/orbisk_a.dat");
    return test;
}

void Fill(Archive &archive, int total, const QDateTime &now)
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    for (int first = 0; first < total; first += Batch) {
        std::vector<ArchivedTest> tests;
        for (int n = first; n < std::min(first + Batch, total); ++n)
            tests.push_back(Test(n, total, now));
        if (!archive.AddRead(tests, error)) {
            std::fprintf(stderr, "archive_bench: %s\n", qPrintable(error));
            std::exit(1);
        }
    }
    std::printf("filled with %d tests in %.1f s\n", archive.Count(), double(timer.elapsed()) / 1000);
}

// The window's search as the operator starts it, up to its first rows shown.
double Search(TArchF &window, const std::function<void()> &fields)
{
    return MedianMs(Runs, [&] {
        fields();
        window.key_PoiskClick();
        window.GridArch->model()->index(0, 0).data();
        QApplication::processEvents();
    });
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int total = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000000;
    ScopedWorkDir dir;
    MessageRecorder messages;
    const QDateTime now(QDate(2026, 12, 8), QTime(10, 0));
    FixedToday today(now);
    Report(LoadLists());

    if (OpenProgramArchive())
        return 1;
    Fill(*ProgramArchive(), total, now);
    // As the program finds it at its next start.
    QElapsedTimer reopen;
    reopen.start();
    if (OpenProgramArchive())
        return 1;
    std::printf("archive opened in %.1f ms\n", double(reopen.nsecsElapsed()) / 1e6);

    TArchF window;
    Print("archive window opened, first rows shown", MedianMs(Runs, [&window] {
              window.show();
              window.FormActivate();
              window.GridArch->model()->index(0, 0).data();
              QApplication::processEvents();
              window.hide();
          }), 200);
    window.show();

    int found = 0;
    const auto count = [&found, &window] { found = window.Model().rowCount(); };
    Print("name search (\"сидоров а.б\")", Search(window, [&window] {
              window.edit_Name->setText(QStringLiteral("сидоров а.б"));
          }), 100);
    count();
    std::printf("  first rows fetched: %d\n", found);
    Print("period search (March 2019)", Search(window, [&window] {
              window.edit_Name->clear();
              window.check_Period->setChecked(true);
              window.date_From->setDate(QDate(2019, 3, 1));
              window.date_To->setDate(QDate(2019, 3, 31));
          }), 100);
    Print("combined search (name, instrument, period, result)", Search(window, [&window] {
              window.edit_Name->setText(QStringLiteral("петров"));
              window.edit_Instrument->setText(QStringLiteral("1003"));
              window.date_From->setDate(QDate(2016, 1, 1));
              window.date_To->setDate(QDate(2020, 12, 31));
              window.edit_ResultFrom->setText(QStringLiteral("0.5"));
          }), 100);

    // One instrument's whole memory of tests, the last of them today, of the
    // persons that its lists hold.
    std::vector<std::vector<ArchivedTest>> steps(Runs);
    for (int run = 0; run < Runs; ++run) {
        for (int n = 0; n < StepTests; ++n) {
            ArchivedTest test = Test(n * 7 % (ListCount * PersonsPerList), StepTests, now);
            test.record = TestRecord(test.record.ListNo(), test.record.PersonNo(),
                                     now.addSecs(-600LL * (StepTests - n)), n % 40);
            test.instrument = 2000 + run;
            test.recordIndex = n;
            steps[size_t(run)].push_back(test);
        }
    }
    int step = 0;
    Print("a step's insert of 1500 tests", MedianMs(Runs, [&steps, &step] {
              QString error;
              if (!ProgramArchive()->AddRead(steps[size_t(step++)], error))
                  std::fprintf(stderr, "archive_bench: %s\n", qPrintable(error));
          }), 100);

    // The program's start takes what the archive lacks of the results file
    // beside it: a full file, the last of its tests today, all held already.
    QByteArray results(ResultsFileSize, '\0');
    results[0] = char(ResultSlots & 0xFF);
    results[1] = char(ResultSlots >> 8);
    for (int slot = 0; slot < ResultSlots; ++slot) {
        const ResultRecord record = TestRecord(1 + slot % ListCount, slot % PersonsPerList,
                                               now.addSecs(-300LL * (ResultSlots - slot)), slot % 40);
        results.replace(60 + 6 * slot, 6, RecordBytes(record));
    }
    const QString resultsFile = QStringLiteral("/home/operator/OrbA/orbisk_a.dat");
    QString error;
    if (!ProgramArchive()->Import(results, {}, resultsFile, now, error))
        std::fprintf(stderr, "archive_bench: %s\n", qPrintable(error));
    Print("a start's take of a full results file it holds", MedianMs(Runs, [&] {
              results[2] = char(results[2] + 1);   // another content each time
              if (!ProgramArchive()->Import(results, {}, resultsFile, now, error))
                  std::fprintf(stderr, "archive_bench: %s\n", qPrintable(error));
          }), 200);

    const qint64 bytes = QFileInfo(dir.file(ArchiveFileName)).size()
                         + QFileInfo(dir.file(QStringLiteral("orba-archive.sqlite-wal"))).size();
    std::printf("archive file: %.1f MB (%.0f bytes a test)\n", double(bytes) / 1e6, double(bytes) / total);
    window.hide();
    CloseProgramArchive();
    return 0;
}
