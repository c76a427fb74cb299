// Times the long transfers against the virtual instrument paced at 19200
// baud, in the normal exchange (the program's 100 ms inter-byte time-out
// behind every reply) and in the fast one (a reply taken as its last byte
// comes in, the next request 10 ms later), and prints the two side by side,
// each beside its bound: the bytes on the wire at 10 bits each, plus the
// time-out or the guard behind every reply.

#include "ExchangeRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Pace.h"
#include "exchange/Transfers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <functional>

namespace {

constexpr double BitsPerByte = 10.0;
constexpr double Baud = 19200.0;
constexpr int ResultPageRecords = 41;
constexpr int InstrumentRecordSlots = 1500;

struct Timing {
    double seconds = 0;
    double bound = 0;
    bool ok = false;
};

Timing Measure(const std::function<bool()> &transfer, bool fast)
{
    ExchangeRig rig({.paced = true, .readIntervalMs = TObmenF::DefaultReadIntervalMs, .fast = fast});
    if (!rig.ready())
        return {};
    QElapsedTimer timer;
    timer.start();
    Timing timing;
    timing.ok = transfer();
    timing.seconds = timer.elapsed() / 1000.0;

    qint64 bytes = 0;
    for (const QByteArray &frame : rig.instrument->receivedFrames())
        bytes += frame.size();
    const std::vector<QByteArray> replies = rig.instrument->replies();
    for (const QByteArray &reply : replies)
        bytes += reply.size();
    const double behindReply = fast ? FastExchangeGuardMs / 1000.0 : TObmenF::DefaultReadIntervalMs / 1000.0;
    timing.bound = bytes * BitsPerByte / Baud + double(replies.size()) * behindReply;
    return timing;
}

QString Cell(const Timing &t)
{
    return QStringLiteral("%1 s (bound %2 s)%3")
        .arg(t.seconds, 7, 'f', 2)
        .arg(t.bound, 7, 'f', 2)
        .arg(t.ok ? "" : " FAILED");
}

void Compare(const char *name, const std::function<bool()> &transfer)
{
    const Timing normal = Measure(transfer, false);
    const Timing fast = Measure(transfer, true);
    std::printf("%-26s %-32s %-32s %5.1fx\n", name, qPrintable(Cell(normal)), qPrintable(Cell(fast)),
                fast.seconds > 0 ? normal.seconds / fast.seconds : 0.0);
    std::fflush(stdout);
}

bool ReadAllResultPages()
{
    for (int record = 0; record < InstrumentRecordSlots; record += ResultPageRecords) {
        if (!ReadResultPage(record))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    std::printf("%-26s %-32s %-32s %s\n", "transfer", "normal exchange", "fast exchange", "gain");
    Compare("sensor table read", [] { return ReadSensorTable(); });
    Compare("results read (37 pages)", ReadAllResultPages);
    Compare("list write (1024 bytes)", [] {
        std::fill_n(TransferBuffer.begin(), ListBytes, 0x20);
        return WriteList(1);
    });
    Compare("result memory erase", [] { return EraseResultMemory(); });
    return 0;
}
