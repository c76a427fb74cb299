#pragma once
// A test's line to the instrument: a fresh working directory, the virtual
// instrument on its COM1, an exchange window talking to it and the message
// boxes recorded. The exchange window gets a short inter-byte time-out, so
// that long transfers run fast; the request flags start as at program start,
// and the exchange is the normal one unless the setup asks for the fast one.

#include "VirtualInstrument.h"
#include "WorkDir.h"

#include "exchange/Obmen.h"

#include <QByteArray>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

struct RigSetup {
    QStringList flags = {};         // fault flags of the instrument
    bool paced = false;             // replies at the pace of 19200 baud
    QByteArray memory = {};         // 64 KiB image to start from; empty: the default content
    uint32_t readIntervalMs = 5;    // the exchange window's inter-byte time-out
    QString port = QStringLiteral("COM1");
    bool fast = false;              // the fast exchange, turned off again when the rig goes
    bool keepRegisters = false;     // the instrument's registers saved in instrument.reg at its end
};

class ExchangeRig {
public:
    explicit ExchangeRig(const RigSetup &setup = {});
    ~ExchangeRig();

    bool ready() const { return instrument && instrument->isReady(); }
    std::vector<QByteArray> frames() const { return instrument->receivedFrames(); }
    // Bytes the instrument passed over looking for a request: any is a fault
    // of the frames sent.
    QStringList skipped() const { return instrument->logLines().filter(QStringLiteral(" SKIP ")); }

    ScopedWorkDir dir;
    MessageRecorder messages;
    std::unique_ptr<VirtualInstrument> instrument;
    std::unique_ptr<TObmenF> window;
    const bool fast;
};

// Runs `action` once the exchange window is on screen and `frames` requests
// have reached the instrument (checked every 20 ms while the event loop runs).
void WhenReceived(const ExchangeRig &rig, int frames, std::function<void()> action);

// Processes events for `msecs`.
void RunEventsFor(int msecs);

// A 64 KiB instrument memory with the given bytes at `address`, zero elsewhere.
QByteArray MemoryWith(int address, const QByteArray &bytes);

// A 64 KiB instrument memory whose every byte differs from its neighbours.
QByteArray PatternMemory();

// Frames from hex text, spaces allowed: Hex("3A 06 01 00 00 2E").
QByteArray Hex(const char *text);

// The frames a memory write of `data` at `address` must produce: 8 bytes at
// every fourth address, the last frame carrying what is left.
QByteArray WriteFrame(int address, const QByteArray &data);
std::vector<QByteArray> WriteFrames(int address, const QByteArray &data);

// TransferBuffer as bytes, and filled from its start.
QByteArray Buffer(int from, int count);
void FillBuffer(const QByteArray &bytes);

// A register write (command 7) with its checksum worked out as the sum of
// bytes 1..7.
QByteArray RegisterFrame(int address, int data1, int data2);
