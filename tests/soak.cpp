// The long run: link tests and transfers against the virtual instrument for
// a given time, the instrument restarted with a random kind of trouble
// before every round. Prints the open descriptors, threads and resident
// memory after the first round and at the end, and fails when they grew or
// when a transfer failed in a round without trouble.
//
//   soak [seconds] [seed]

#include "ExchangeRig.h"
#include "Pty.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Growth of the resident memory allowed for the allocator's own caches.
constexpr long RssSlackKb = 4096;

struct Figures {
    int descriptors = 0;
    int threads = 0;
    long rssKb = 0;
    QStringList what;   // the descriptors' targets and the threads' names
};

QStringList Held()
{
    QStringList held;
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        held << QStringLiteral("fd ") + fd.symLinkTarget();
    for (const QFileInfo &task : QDir(QStringLiteral("/proc/self/task")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(task.filePath() + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly))
            held << QStringLiteral("thread ") + QString::fromUtf8(comm.readAll().trimmed());
    }
    held.sort();
    return held;
}

long ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The toolkit scales images on threads of its global pool, which linger until
// they have been idle for half a minute; they are let go first, so that only
// what the program holds is counted.
Figures Measure()
{
    QCoreApplication::processEvents();
    QThreadPool::globalInstance()->waitForDone();
    return {OpenDescriptorCount(), ThreadCount(), ResidentKb(), Held()};
}

void Print(const char *when, const Figures &f)
{
    std::printf("%-6s descriptors %3d  threads %2d  resident %6ld KiB\n", when, f.descriptors, f.threads, f.rssKb);
    std::fflush(stdout);
}

const std::vector<QStringList> Troubles = {
    {},
    {},
    {"--silent"},
    {"--wrong-echo", "3"},
    {"--noise", "5"},
    {"--truncate", "1"},
    {"--split-gap", "300"},
    {"--drop-every", "3"},
    {"--unplug-after", "4"},
    {"--answer-from", "3"},
};

class Soak {
public:
    explicit Soak(unsigned seed) : m_random(seed) {}

    // One round: a fresh instrument with a random trouble, sometimes the port
    // held by another program, then a link test and a handful of transfers.
    // A sound round has a trouble-free instrument.
    void Round(bool sound = false)
    {
        std::uniform_int_distribution<std::size_t> pick(0, Troubles.size());
        const std::size_t trouble = sound ? 0 : pick(m_random);
        const bool holdPort = trouble == Troubles.size();
        m_sound = !holdPort && Troubles[trouble].isEmpty();
        m_rig.instrument.reset();
        m_rig.instrument = std::make_unique<VirtualInstrument>(
            m_rig.dir.path(), VirtualInstrument::Setup{.flags = holdPort ? QStringList{} : Troubles[trouble]});
        int hold = -1;
        if (holdPort) {
            hold = ::open(m_rig.instrument->portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (hold >= 0)
                ::flock(hold, LOCK_EX | LOCK_NB);
        }

        Count(LinkTest());
        Count(ReadSensorTable());
        Count(ReadListNames());
        Count(ReadResultPage(0));
        Count(ReadClock());
        Count(ReadLiveValues());
        FillBuffer(QByteArray(ListPartBytes, '\x20'));
        Count(WriteMemory(1024 * 8 + 896, ListPartBytes));
        ++m_rounds;

        if (hold >= 0)
            ::close(hold);
    }

    void Report() const
    {
        std::printf("rounds %d, transfers %d done, %d failed, %d boxes; without trouble %d done, %d failed\n",
                    m_rounds, m_done, m_failed, m_boxes, m_soundDone, m_soundFailed);
        std::fflush(stdout);
    }

    // A soak whose transfers all fail leaks nothing and proves nothing: on a
    // sound line every one must succeed, and there must have been some.
    bool SoundRoundsWorked() const { return m_soundDone > 0 && m_soundFailed == 0; }

    // The recorder's list would grow with the run; only the count is kept.
    void ForgetBoxes()
    {
        m_boxes += int(m_rig.messages.messages().size());
        m_rig.messages.clear();
    }

private:
    // The endless probe, stopped after a while as the operator would.
    bool LinkTest()
    {
        QTimer stop;
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, [this] { m_rig.window->Key_Stop->click(); });
        stop.start(700);
        return ProbeLink(LinkProbeOwner::Panel);
    }

    void Count(bool done)
    {
        ++(done ? m_done : m_failed);
        if (m_sound)
            ++(done ? m_soundDone : m_soundFailed);
    }

    std::mt19937 m_random;
    ExchangeRig m_rig;
    int m_rounds = 0;
    int m_done = 0;
    int m_failed = 0;
    int m_boxes = 0;
    bool m_sound = false;
    int m_soundDone = 0;
    int m_soundFailed = 0;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const unsigned seed = argc > 2 ? unsigned(std::atoi(argv[2])) : std::random_device{}();
    std::printf("soak: %d s, seed %u\n", seconds, seed);

    Soak soak(seed);
    soak.Round(true);   // everything made once and for all is made now
    soak.ForgetBoxes();
    const Figures start = Measure();
    Print("start", start);

    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000LL * seconds) {
        soak.Round();
        soak.ForgetBoxes();
    }
    const Figures end = Measure();
    Print("end", end);
    soak.Report();

    const bool flat = end.descriptors == start.descriptors && end.threads == start.threads &&
                      end.rssKb - start.rssKb <= RssSlackKb;
    if (!flat) {
        QStringList added = end.what;
        for (const QString &item : start.what)
            added.removeOne(item);
        std::printf("held at the end, not at the start: %s\n", qPrintable(added.join(QStringLiteral(", "))));
    }
    std::printf("%s\n", flat ? "flat" : "GREW");
    const bool worked = soak.SoundRoundsWorked();
    if (!worked)
        std::printf("FAILED: transfers without trouble did not all succeed\n");
    return flat && worked ? 0 : 1;
}
