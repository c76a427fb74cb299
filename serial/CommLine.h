#pragma once
// Line settings and time-outs of a serial port, and how they map onto a POSIX
// terminal. Plain values and functions: the component keeps one copy, the
// workers get snapshots.

#include "serial/CommEr.h"

#include <atomic>
#include <cstdint>
#include <termios.h>

struct TLineSettings {
    uint32_t BaudRate = 9600;
    bool ParityCheck = false;
    bool Outx_CtsFlow = false;
    bool Outx_DsrFlow = false;
    TDtrControl DtrControl = TDtrControl::DtrDisable;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = false;
    bool Outx_XonXoffFlow = false;
    bool Inx_XonXoffFlow = false;
    bool ReplaceWhenParityError = false;
    bool IgnoreNullChar = false;
    TRtsControl RtsControl = TRtsControl::RtsDisable;
    uint16_t XonLimit = 500;
    uint16_t XoffLimit = 500;
    TByteSize ByteSize = TByteSize::_8;
    TParity Parity = TParity::None;
    TStopBits StopBits = TStopBits::_1;
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ReplacedChar = 0x00;
};

// Milliseconds, with the meaning they have for the instrument's program: a
// read waits without limit for its first byte and ends when ReadIntervalTimeout
// passes without another; 0 means "not used".
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 100;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// An interval of this value ends a read as soon as some bytes are there.
constexpr uint32_t ReadIntervalImmediate = 0xFFFFFFFFu;
constexpr std::size_t ReadBlockSize = 2048;

// The read time-outs as the receive worker sees them; the owner may change
// them while the port is open. The write time-outs stay with the owner: a
// write that timed out would only be continued with its remaining bytes, so
// they change nothing the program could see.
class TSharedTimeouts {
public:
    void Store(const TCommTimeouts &t);
    TCommTimeouts Load() const;

private:
    std::atomic<uint32_t> m_interval{0}, m_totalMultiplier{0}, m_totalConstant{0};
};

// How long the receive worker may wait for more bytes of the current read,
// having received `received` bytes in `elapsedMs`; -1 waits without limit.
int ReadWaitMs(const TCommTimeouts &t, std::size_t received, int64_t elapsedMs);

// The terminal settings for `s`, starting from `current` so that whatever
// the settings do not name keeps the value the port had.
termios MakeTermios(termios current, const TLineSettings &s);

// Modem control lines to raise and to drop (TIOCM_ bits).
struct TModemLines {
    int raise = 0;
    int drop = 0;
};
TModemLines ModemLines(const TLineSettings &s);

// Writes the settings to an open terminal. A port that refuses a setting
// keeps its previous one; nothing is reported.
void ApplyLineSettings(int fd, const TLineSettings &s);

// Line error bits handed to OnReceiveError, one for each kind of error the
// kernel counts.
enum LineErrorBits : uint32_t {
    LineErrorBufferOverflow = 0x0001,
    LineErrorOverrun = 0x0002,
    LineErrorParity = 0x0004,
    LineErrorFrame = 0x0008,
    LineErrorBreak = 0x0010,
};

// Running totals of a port's line errors as the kernel counts them.
struct TLineErrorCounts {
    int frame = 0, overrun = 0, parity = 0, brk = 0, bufferOverrun = 0;
};
uint32_t LineErrorsBetween(const TLineErrorCounts &before, const TLineErrorCounts &after);
