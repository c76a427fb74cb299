#include "serial/CommLine.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <utility>

namespace {

constexpr std::pair<uint32_t, speed_t> StandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// Only the standard rates have a POSIX speed constant; any other rate leaves
// the port's speed as it was, as a driver refusing the rate would.
void SetSpeed(termios &t, uint32_t baudRate)
{
    for (const auto &[rate, speed] : StandardRates) {
        if (rate == baudRate) {
            cfsetispeed(&t, speed);
            cfsetospeed(&t, speed);
            return;
        }
    }
}

tcflag_t CharacterSize(TByteSize size)
{
    switch (size) {
    case TByteSize::_5: return CS5;
    case TByteSize::_6: return CS6;
    case TByteSize::_7: return CS7;
    case TByteSize::_8: break;
    }
    return CS8;
}

// Mark and space parity need CMSPAR (Linux): the parity bit is then always 1
// (with PARODD) or always 0.
tcflag_t ParityFlags(TParity parity)
{
    switch (parity) {
    case TParity::None: break;
    case TParity::Odd: return PARENB | PARODD;
    case TParity::Even: return PARENB;
    case TParity::Mark: return PARENB | PARODD | CMSPAR;
    case TParity::Space: return PARENB | CMSPAR;
    }
    return 0;
}

} // namespace

void TSharedTimeouts::Store(const TCommTimeouts &t)
{
    m_interval = t.ReadIntervalTimeout;
    m_totalMultiplier = t.ReadTotalTimeoutMultiplier;
    m_totalConstant = t.ReadTotalTimeoutConstant;
}

TCommTimeouts TSharedTimeouts::Load() const
{
    TCommTimeouts t;
    t.ReadIntervalTimeout = m_interval;
    t.ReadTotalTimeoutMultiplier = m_totalMultiplier;
    t.ReadTotalTimeoutConstant = m_totalConstant;
    return t;
}

int ReadWaitMs(const TCommTimeouts &t, std::size_t received, int64_t elapsedMs)
{
    int64_t wait = -1;
    if (received > 0 && t.ReadIntervalTimeout == ReadIntervalImmediate)
        wait = 0;
    else if (received > 0 && t.ReadIntervalTimeout != 0)
        wait = t.ReadIntervalTimeout;

    // The total time-out counts from the start of the read, for a full block.
    if (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0) {
        const int64_t total = int64_t(t.ReadTotalTimeoutMultiplier) * int64_t(ReadBlockSize)
                              + t.ReadTotalTimeoutConstant;
        const int64_t left = std::max<int64_t>(0, total - elapsedMs);
        wait = wait < 0 ? left : std::min(wait, left);
    }
    return int(std::min<int64_t>(wait, INT32_MAX));
}

termios MakeTermios(termios t, const TLineSettings &s)
{
    // Binary mode: no line editing, translation, echo or signal characters;
    // the modem status lines never hang the port up (CLOCAL).
    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | ISTRIP | INLCR | IGNCR | ICRNL | IXANY
                           | IGNPAR | PARMRK | INPCK | IXON | IXOFF);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL;
    // One byte satisfies a read; the receive worker does the timing itself.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    SetSpeed(t, s.BaudRate);
    t.c_cflag |= CharacterSize(s.ByteSize) | ParityFlags(s.Parity);
    // POSIX knows one or two stop bits; a UART asked for two with five data
    // bits sends one and a half, which is what _1_5 means there.
    if (s.StopBits != TStopBits::_1)
        t.c_cflag |= CSTOPB;

    // With parity checking the kernel reads a byte with a parity or framing
    // error as 0. It cannot put another replacement character in its place,
    // nor pass the damaged byte through, so ReplaceWhenParityError and
    // ReplacedChar have no POSIX equivalent.
    if (s.ParityCheck)
        t.c_iflag |= INPCK;

    // POSIX has one hardware handshake, CTS for output and RTS for input
    // together. DSR output flow, DTR handshake, DsrSensitivity,
    // TxContinueOnXoff and the XON/XOFF limits have no equivalent; the kernel
    // uses its own buffer thresholds. IgnoreNullChar has none either: zero
    // bytes are delivered like any other.
    if (s.Outx_CtsFlow || s.RtsControl == TRtsControl::RtsHandshake)
        t.c_cflag |= CRTSCTS;
    if (s.Outx_XonXoffFlow)
        t.c_iflag |= IXON;
    if (s.Inx_XonXoffFlow)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = cc_t(s.XonChar);
    t.c_cc[VSTOP] = cc_t(s.XoffChar);
    return t;
}

TModemLines ModemLines(const TLineSettings &s)
{
    TModemLines lines;
    // DTR handshake has no POSIX equivalent: the line is raised and stays so.
    (s.DtrControl == TDtrControl::DtrDisable ? lines.drop : lines.raise) |= TIOCM_DTR;
    switch (s.RtsControl) {
    case TRtsControl::RtsEnable: lines.raise |= TIOCM_RTS; break;
    case TRtsControl::RtsHandshake: break;   // driven by the kernel (CRTSCTS)
    // Raising RTS only while sending has no POSIX equivalent; it stays low.
    case TRtsControl::RtsTransmissionAvailable:
    case TRtsControl::RtsDisable: lines.drop |= TIOCM_RTS; break;
    }
    return lines;
}

void ApplyLineSettings(int fd, const TLineSettings &s)
{
    termios current{};
    if (tcgetattr(fd, &current) == 0) {
        const termios wanted = MakeTermios(current, s);
        tcsetattr(fd, TCSANOW, &wanted);
    }
    // A pseudo-terminal has no modem lines and refuses these; that is fine.
    const TModemLines lines = ModemLines(s);
    if (lines.raise)
        ioctl(fd, TIOCMBIS, &lines.raise);
    if (lines.drop)
        ioctl(fd, TIOCMBIC, &lines.drop);
}

uint32_t LineErrorsBetween(const TLineErrorCounts &before, const TLineErrorCounts &after)
{
    uint32_t bits = 0;
    if (after.bufferOverrun != before.bufferOverrun) bits |= LineErrorBufferOverflow;
    if (after.overrun != before.overrun) bits |= LineErrorOverrun;
    if (after.parity != before.parity) bits |= LineErrorParity;
    if (after.frame != before.frame) bits |= LineErrorFrame;
    if (after.brk != before.brk) bits |= LineErrorBreak;
    return bits;
}
