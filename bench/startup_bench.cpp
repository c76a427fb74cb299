// The program's start beside that of an empty main window of the toolkit:
// the time from the start of the process to the main window mapped and first
// exposed, the CPU time spent by then and the resident memory then. Every run
// is a fresh process (this program again, with the case as its argument) on
// the offscreen platform; each figure is the median of the runs, with the
// smallest and the largest beside it. A third case, the empty window with one
// line of text, shows what the toolkit's text system (the font configuration,
// the fonts, the shaping) costs any window that shows a word.

#include "shell/OrbiskSA.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int DefaultRuns = 7;
const char *const EmptyCase = "--empty";
const char *const TextCase = "--text";
const char *const ProgramCase = "--program";

qint64 MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double ResidentMiB()
{
    long pages = 0;
    long resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * double(sysconf(_SC_PAGESIZE)) / (1024 * 1024);
}

struct Sample {
    double wallMs = 0;
    double cpuMs = 0;
    double residentMiB = 0;
};

// Waits in the event loop until `window` is mapped and its first expose has
// been handled (painted), then prints the sample of this process.
class ExposeWatch : public QObject {
public:
    ExposeWatch(QWidget *window, qint64 startNs) : m_window(window), m_startNs(startNs) {}

    int Run()
    {
        if (m_window->windowHandle() && m_window->windowHandle()->isExposed())
            ReportSoon();
        else
            qApp->installEventFilter(this);
        return QApplication::exec();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && watched == m_window->windowHandle()
            && m_window->windowHandle()->isExposed()) {
            qApp->removeEventFilter(this);
            ReportSoon();
        }
        return false;
    }

private:
    void ReportSoon()
    {
        QMetaObject::invokeMethod(this, [this] {
            const double wallMs = (MonotonicNs() - m_startNs) / 1e6;
            std::printf("%.3f %.3f %.3f\n", wallMs, CpuMs(), ResidentMiB());
            std::fflush(stdout);
            QApplication::exit(0);
        }, Qt::QueuedConnection);
    }

    QWidget *m_window;
    qint64 m_startNs;
};

int RunEmpty(int argc, char **argv, qint64 startNs)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    return ExposeWatch(&window, startNs).Run();
}

int RunText(int argc, char **argv, qint64 startNs)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Орбиск 7м")));
    window.show();
    return ExposeWatch(&window, startNs).Run();
}

// The program's own start, in `folder`, as main() runs it.
int RunProgram(char *program, const QString &folder, qint64 startNs)
{
    QCoreApplication::setApplicationName("OrbA");
    QByteArray folderArg = folder.toLocal8Bit();
    char folderOption[] = "--folder";
    char *args[] = {program, folderOption, folderArg.data(), nullptr};
    int argc = 3;
    const StartOptions options = ReadCommandLine(argc, args);
    QApplication app(argc, args);
    TOrbiskSAF *main = StartProgram(options);
    if (!main)
        return 1;
    const int code = ExposeWatch(main, startNs).Run();
    DestroyWindows();
    return code;
}

std::optional<Sample> RunChild(const QStringList &arguments)
{
    QProcess child;
    QStringList withStart = arguments;
    withStart << QString::number(MonotonicNs());
    child.start(QCoreApplication::applicationFilePath(), withStart);
    const bool finished = child.waitForFinished(120000) && child.exitStatus() == QProcess::NormalExit
                          && child.exitCode() == 0;
    const QList<QByteArray> figures = child.readAllStandardOutput().simplified().split(' ');
    if (!finished || figures.size() != 3) {
        // The toolkit's chatter is shown only when it may say why.
        std::fputs(child.readAllStandardError().constData(), stderr);
        return std::nullopt;
    }
    Sample sample;
    sample.wallMs = figures[0].toDouble();
    sample.cpuMs = figures[1].toDouble();
    sample.residentMiB = figures[2].toDouble();
    return sample;
}

struct Figure {
    double median = 0;
    double least = 0;
    double most = 0;
};

Figure Summary(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

struct CaseFigures {
    Figure wall;
    Figure cpu;
    Figure resident;
};

CaseFigures Summaries(const std::vector<Sample> &samples)
{
    std::vector<double> wall, cpu, resident;
    for (const Sample &s : samples) {
        wall.push_back(s.wallMs);
        cpu.push_back(s.cpuMs);
        resident.push_back(s.residentMiB);
    }
    return {Summary(wall), Summary(cpu), Summary(resident)};
}

void PrintRow(const char *name, const CaseFigures &f)
{
    const auto cell = [](const Figure &g) {
        return QStringLiteral("%1 (%2..%3)").arg(g.median, 0, 'f', 1).arg(g.least, 0, 'f', 1).arg(g.most, 0, 'f', 1);
    };
    std::printf("%-20s %-26s %-26s %s\n", name, qPrintable(cell(f.wall)), qPrintable(cell(f.cpu)),
                qPrintable(cell(f.resident)));
}

int Compare(int runs)
{
    QTemporaryDir folder;
    std::vector<Sample> empty, text, program;
    // The two cases take turns, so that a busy moment of the machine falls on both.
    for (int run = 0; run < runs; ++run) {
        const auto a = RunChild({EmptyCase});
        const auto t = RunChild({TextCase});
        const auto b = RunChild({ProgramCase, folder.path()});
        if (!a || !t || !b) {
            std::fprintf(stderr, "startup_bench: run %d failed\n", run + 1);
            return 1;
        }
        empty.push_back(*a);
        text.push_back(*t);
        program.push_back(*b);
    }
    const CaseFigures e = Summaries(empty);
    const CaseFigures t = Summaries(text);
    const CaseFigures p = Summaries(program);
    std::printf("Start to the mapped main window, %d fresh processes each, offscreen;\n"
                "median (least..most)\n\n", runs);
    std::printf("%-20s %-26s %-26s %s\n", "", "wall ms", "CPU ms", "resident MiB");
    PrintRow("empty main window", e);
    PrintRow("... with one label", t);
    PrintRow("program", p);
    std::printf("%-20s %-26.2f %-26.2f %.2f\n", "program / empty", p.wall.median / e.wall.median,
                p.cpu.median / e.cpu.median, p.resident.median / e.resident.median);
    std::printf("%-20s %-26.2f %-26.2f %.2f\n", "program / label", p.wall.median / t.wall.median,
                p.cpu.median / t.cpu.median, p.resident.median / t.resident.median);
    std::printf("\n(aim: within 1.3 times the empty window in CPU time and resident memory)\n");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && qstrcmp(argv[1], EmptyCase) == 0)
        return RunEmpty(1, argv, QByteArray(argv[2]).toLongLong());
    if (argc == 3 && qstrcmp(argv[1], TextCase) == 0)
        return RunText(1, argv, QByteArray(argv[2]).toLongLong());
    if (argc == 4 && qstrcmp(argv[1], ProgramCase) == 0)
        return RunProgram(argv[0], QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toLongLong());

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : DefaultRuns;
    return Compare(runs);
}
