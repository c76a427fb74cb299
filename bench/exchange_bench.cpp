// Times the long transfers against the virtual instrument paced at 19200
// baud, with the program's own 100 ms inter-byte time-out, and prints each
// beside its bound: the bytes on the wire at 10 bits each, plus the 100 ms
// that the time-out adds behind every reply.

#include "ExchangeRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <functional>

namespace {

constexpr double BitsPerByte = 10.0;
constexpr double Baud = 19200.0;
constexpr double ReplyTimeoutS = 0.1;

struct WireCount {
    qint64 bytes = 0;
    qint64 replies = 0;
};

WireCount CountWire(const ExchangeRig &rig)
{
    WireCount count;
    for (const QByteArray &frame : rig.instrument->receivedFrames())
        count.bytes += frame.size();
    for (const QByteArray &reply : rig.instrument->replies()) {
        count.bytes += reply.size();
        ++count.replies;
    }
    return count;
}

void Measure(const char *name, const std::function<bool()> &transfer)
{
    ExchangeRig rig({.paced = true, .readIntervalMs = TObmenF::DefaultReadIntervalMs});
    if (!rig.ready()) {
        std::printf("%-24s the virtual instrument did not start\n", name);
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const bool ok = transfer();
    const double seconds = timer.elapsed() / 1000.0;

    const WireCount wire = CountWire(rig);
    const double bound = wire.bytes * BitsPerByte / Baud + wire.replies * ReplyTimeoutS;
    std::printf("%-24s %8.2f s   bound %8.2f s (%6lld bytes, %4lld replies)   ratio %.2f%s\n", name, seconds,
                bound, static_cast<long long>(wire.bytes), static_cast<long long>(wire.replies), seconds / bound,
                ok ? "" : "   FAILED");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    Measure("sensor table read", [] { return ReadSensorTable(); });
    Measure("list write (1024 bytes)", [] {
        std::fill_n(TransferBuffer.begin(), ListBytes, 0x20);
        return WriteList(1);
    });
    Measure("result memory erase", [] { return EraseResultMemory(); });
    return 0;
}
