// The breath-volume window's cost while it polls the virtual instrument,
// paced at 19200 baud, with the program's 100 ms inter-byte time-out.
//
// First the window polls for the given time (30 s unless told) while the
// instrument plays its breaths; then a bare serial component sends the same
// requests for as long, which is what the line alone costs. Each prints the
// process's CPU time beside the wall time; the window also prints the
// longest time its thread spent on one reply (with the sample it shows and
// draws) and on one repaint.
//
//   build/bench/volume_bench [seconds]
//
// The window is shown on the offscreen platform unless QT_QPA_PLATFORM says
// otherwise.

#include "VirtualInstrument.h"
#include "WorkDir.h"

#include "exchange/ExchVars.h"
#include "serial/CommEr.h"
#include "serial/CommThreads.h"
#include "store/OrbADat.h"
#include "volume/DebVol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Times every event the window thread handles, outermost calls only.
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!timing || depth > 0) {
            ++depth;
            const bool handled = QApplication::notify(receiver, event);
            --depth;
            return handled;
        }
        const QEvent::Type type = event->type();
        ++depth;
        const Clock::time_point start = Clock::now();
        const bool handled = QApplication::notify(receiver, event);
        const Clock::duration took = Clock::now() - start;
        --depth;
        if (type == TCommNotice::EventType())
            longestReply = std::max(longestReply, took);
        else if (type == QEvent::UpdateRequest || type == QEvent::Paint)
            longestPaint = std::max(longestPaint, took);
        else
            longestOther = std::max(longestOther, took);
        return handled;
    }

    bool timing = false;
    int depth = 0;
    Clock::duration longestReply{};
    Clock::duration longestPaint{};
    Clock::duration longestOther{};
};

void RunFor(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Cost {
    double wall = 0;
    double cpu = 0;
    std::size_t requests = 0;
};

void Print(const char *name, const Cost &cost)
{
    std::printf("%-34s wall %6.2f s   CPU %6.3f s = %5.2f %% of one core   %5zu requests (%.1f samples/s)\n", name,
                cost.wall, cost.cpu, 100 * cost.cpu / cost.wall, cost.requests, cost.requests / 2.0 / cost.wall);
    std::fflush(stdout);
}

Cost PollWithWindow(TimingApplication &app, int seconds)
{
    ScopedWorkDir dir;
    VirtualInstrument instrument(dir.path(), {.paced = true});
    if (!instrument.isReady())
        return {};
    PortName = QStringLiteral("COM1");

    TDebVolF window;
    DebVolF = &window;
    window.show();
    RunFor(1);   // the window settles on the screen

    app.timing = true;
    QElapsedTimer wall;
    wall.start();
    const double cpu = CpuSeconds();
    window.StartPolling(VolumeCoef);
    RunFor(seconds);
    Cost cost{wall.elapsed() / 1000.0, CpuSeconds() - cpu, 0};
    app.timing = false;

    window.close();
    DebVolF = nullptr;
    cost.requests = instrument.receivedFrames().size();
    if (!window.Recorder.BreathActive && window.Recorder.LastSlot == 0)
        std::printf("(no breath was recorded)\n");
    return cost;
}

// The same requests, one at a time, through a bare serial component.
Cost PollWithPortOnly(int seconds)
{
    ScopedWorkDir dir;
    VirtualInstrument instrument(dir.path(), {.paced = true});
    if (!instrument.isReady())
        return {};

    const QByteArray volumeRequest = QByteArray::fromHex("3a0603c00004");
    const QByteArray flowRequest = QByteArray::fromHex("3a06030b000a");
    TCommEr port;
    port.SetCommName(QStringLiteral("COM1"));
    port.SetBaudRate(19200);
    port.SetReadIntervalTimeout(TDebVolF::DefaultReadIntervalMs);
    bool volumeNext = true;
    int received = 0;
    auto send = [&] {
        const QByteArray &request = volumeNext ? volumeRequest : flowRequest;
        received = 0;
        port.SendData(request.constData(), uint16_t(request.size()));
    };
    port.OnReceiveData = [&](TCommEr *, const uint8_t *, uint16_t length) {
        received += length;
        if (received >= (volumeNext ? 10 : 16)) {
            volumeNext = !volumeNext;
            send();
        }
    };

    QElapsedTimer wall;
    wall.start();
    const double cpu = CpuSeconds();
    port.OpenComm();
    send();
    RunFor(seconds);
    port.CloseComm();
    Cost cost{wall.elapsed() / 1000.0, CpuSeconds() - cpu, 0};
    cost.requests = instrument.receivedFrames().size();
    return cost;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;

    const Cost window = PollWithWindow(app, seconds);
    Print("breath-volume window polling", window);
    std::printf("%-34s reply with its sample %.2f ms, repaint %.2f ms, any other event %.2f ms\n",
                "  longest on the window thread:", Ms(app.longestReply), Ms(app.longestPaint), Ms(app.longestOther));
    const Cost wire = PollWithPortOnly(seconds);
    Print("serial component alone", wire);
    if (window.wall > 0 && wire.wall > 0)
        std::printf("%-34s %.2f %% of one core\n", "the window beyond the line:",
                    100 * (window.cpu / window.wall - wire.cpu / wire.wall));
    return 0;
}
