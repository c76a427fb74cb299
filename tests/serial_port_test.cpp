// Opening and closing serial ports, their failures, and the line settings.

#include "Pty.h"
#include "WorkDir.h"
#include "serial/CommEr.h"
#include "serial/CommLine.h"
#include "serial/CommPort.h"

#include <QFile>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The error OpenComm raised; an empty message when it raised none.
ECommsError OpeningError(TCommEr &port)
{
    try {
        port.OpenComm();
    } catch (const ECommsError &e) {
        return e;
    }
    return ECommsError({});
}

speed_t OutputSpeed(termios t)
{
    return cfgetospeed(&t);
}

class SerialPortTest : public ::testing::Test {
protected:
    SerialPortTest() { port.SetCommName("COM1"); }

    // Sends one byte each way between the port and the device.
    bool Roundtrip(TCommEr &p)
    {
        QByteArray received;
        p.OnReceiveData = [&](TCommEr *, const uint8_t *data, uint16_t n) {
            received.append(reinterpret_cast<const char *>(data), n);
        };
        const char ping = 'P';
        const bool sent = p.SendData(&ping, 1) && device.read(1) == "P";
        const bool answered = device.write("A") && QTest::qWaitFor([&] { return received == "A"; }, 10000);
        p.OnReceiveData = nullptr;
        return sent && answered;
    }

    ScopedWorkDir dir;
    PseudoTerminal device{"COM1"};
    TCommEr port;
};

} // namespace

TEST(SerialPortNames, ComNamesAreLinksInTheWorkingDirectoryOrSystemPorts)
{
    ScopedWorkDir dir;
    EXPECT_EQ(TCommEr::DevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(TCommEr::DevicePath("com12"), "/dev/ttyS11");
    ASSERT_TRUE(QFile::link("/dev/ttyUSB0", "COM1"));   // also when the adapter is unplugged
    EXPECT_EQ(TCommEr::DevicePath("COM1"), dir.file("COM1"));
    EXPECT_EQ(TCommEr::DevicePath("COM2"), "/dev/ttyS1");
    EXPECT_EQ(TCommEr::DevicePath("/dev/ttyUSB3"), "/dev/ttyUSB3");
    EXPECT_EQ(TCommEr::DevicePath("COM0"), "COM0");
}

TEST_F(SerialPortTest, OpensClosesAndReopens)
{
    ASSERT_TRUE(device.isOpen());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.SendIdle());

    port.OpenComm();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(Roundtrip(port));
    port.CloseComm();
    EXPECT_FALSE(port.IsOpen());
    port.CloseComm();   // harmless when closed

    port.OpenComm();
    EXPECT_TRUE(Roundtrip(port));
    port.CloseComm();
}

TEST_F(SerialPortTest, OpeningAnOpenPortFailsAndLeavesItWorking)
{
    port.OpenComm();
    EXPECT_EQ(OpeningError(port).Message(), "This serial port already opened");
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(Roundtrip(port));
}

TEST_F(SerialPortTest, PlainFileIsNotACommHandleAndNothingStaysOpen)
{
    ASSERT_TRUE(WriteWholeFile("COM4", "not a port"));
    port.SetCommName("COM4");
    const int descriptors = OpenDescriptorCount();

    const ECommsError error = OpeningError(port);
    EXPECT_EQ(error.Message(), "File handle is not a comm handle ");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_EQ(ReadWholeFile("COM4"), "not a port");
}

TEST_F(SerialPortTest, MissingPortTellsItWasNotFound)
{
    ASSERT_TRUE(QFile::link("/dev/ttyUSB-unplugged", "COM3"));
    port.SetCommName("COM3");
    const ECommsError error = OpeningError(port);
    EXPECT_EQ(error.Message(), "Error opening serial port");
    EXPECT_TRUE(error.Reason().startsWith("Not found")) << error.Reason().toStdString();
    EXPECT_TRUE(error.Reason().contains("/dev/ttyUSB-unplugged"));
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPortReasons, TellTheOperatorWhatToDo)
{
    EXPECT_TRUE(OpenFailureReason(EACCES, "/dev/ttyUSB0").contains("dialout group"));
    EXPECT_TRUE(OpenFailureReason(EBUSY, "/dev/ttyUSB0").contains("another program"));
    EXPECT_TRUE(OpenFailureReason(ENODEV, "/dev/ttyUSB0").startsWith("Not found"));
    EXPECT_TRUE(OpenFailureReason(EIO, "/dev/ttyUSB0").startsWith("/dev/ttyUSB0: "));
}

TEST_F(SerialPortTest, SecondOpenerIsRefusedUntilThePortIsClosed)
{
    port.OpenComm();
    TCommEr second;
    second.SetCommName("COM1");
    const ECommsError error = OpeningError(second);
    EXPECT_EQ(error.Message(), "Error opening serial port");
    EXPECT_TRUE(error.Reason().startsWith("Port busy")) << error.Reason().toStdString();
    EXPECT_FALSE(second.IsOpen());

    // Another program: refused at opening (TIOCEXCL) or, being root, at locking.
    const int other = ::open(device.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (other >= 0) {
        EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
        ::close(other);
    }

    EXPECT_TRUE(Roundtrip(port));
    port.CloseComm();
    second.OpenComm();
    EXPECT_TRUE(Roundtrip(second));
    second.CloseComm();
}

// The busy box names who holds the port; the program that failed to open it
// holds nothing and must not be named among them.
TEST_F(SerialPortTest, BusyPortNamesTheOtherHolderOnly)
{
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const QByteArray path = device.slavePath().toLocal8Bit();
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        ::close(release[1]);   // so that the parent's close ends the wait below
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char held = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
        [[maybe_unused]] ssize_t io = ::write(ready[1], &held, 1);
        char wait;
        io = ::read(release[0], &wait, 1);
        ::_exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');

    const ECommsError error = OpeningError(port);
    EXPECT_TRUE(error.Reason().contains(QStringLiteral("(pid %1)").arg(holder))) << error.Reason().toStdString();
    EXPECT_FALSE(error.Reason().contains("this program")) << error.Reason().toStdString();

    ::close(release[1]);
    ::waitpid(holder, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0]})
        ::close(fd);
    port.OpenComm();
    EXPECT_TRUE(Roundtrip(port));
}

TEST_F(SerialPortTest, SendDataRefusesNothingToSendAndAClosedPort)
{
    const char byte = 'x';
    EXPECT_FALSE(port.SendData(&byte, 1));
    port.OpenComm();
    EXPECT_FALSE(port.SendData(&byte, 0));
    EXPECT_FALSE(port.SendData(nullptr, 1));
    EXPECT_FALSE(device.hasInput(300));
    EXPECT_TRUE(port.SendIdle());
}

TEST_F(SerialPortTest, LineSettingsApplyAtOnceExceptParityAndAreRestoredOnClosing)
{
    const termios found = device.settings();
    port.SetBaudRate(19200);
    port.OpenComm();
    EXPECT_EQ(OutputSpeed(device.settings()), speed_t(B19200));

    port.SetBaudRate(9600);
    EXPECT_EQ(OutputSpeed(device.settings()), speed_t(B9600));
    // A pseudo-terminal keeps PARODD but always clears PARENB.
    port.SetParity(TParity::Odd);
    EXPECT_EQ(device.settings().c_cflag & PARODD, 0u);

    port.CloseComm();
    EXPECT_EQ(device.settings().c_cflag, found.c_cflag);
    EXPECT_EQ(device.settings().c_lflag, found.c_lflag);
    port.OpenComm();
    EXPECT_NE(device.settings().c_cflag & PARODD, 0u);
}

TEST_F(SerialPortTest, OpeningTakesBytesAsTheyAre)
{
    // A terminal left cooked by another program turns CR into LF and drops
    // the top bit.
    termios cooked = device.settings();
    cooked.c_iflag |= ICRNL | INLCR | IGNCR | ISTRIP;
    ASSERT_EQ(tcsetattr(device.master(), TCSANOW, &cooked), 0);
    port.OpenComm();
    EXPECT_EQ(device.settings().c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);

    QByteArray received;
    port.OnReceiveData = [&](TCommEr *, const uint8_t *data, uint16_t n) {
        received.append(reinterpret_cast<const char *>(data), n);
    };
    const QByteArray reply = QByteArray::fromHex("0D0A0DB5FF");
    ASSERT_TRUE(device.write(reply));
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.size() >= reply.size(); }, 10000));
    EXPECT_EQ(received, reply);
    port.OnReceiveData = nullptr;
}

TEST(SerialLineSettings, MapOntoTheTerminal)
{
    termios cooked{};
    cooked.c_lflag = ICANON | ECHO | ISIG;
    cooked.c_iflag = ICRNL | INLCR | IGNCR | ISTRIP;
    cooked.c_oflag = OPOST;
    cfsetospeed(&cooked, B1200);

    TLineSettings s;
    s.BaudRate = 12345;   // no such speed: the port keeps its own
    s.ByteSize = TByteSize::_7;
    s.Parity = TParity::Mark;
    s.StopBits = TStopBits::_2;
    s.Outx_CtsFlow = true;
    s.Outx_XonXoffFlow = true;
    s.XonChar = 'Q';
    termios t = MakeTermios(cooked, s);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(OutputSpeed(t), speed_t(B1200));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS7));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | PARODD | CMSPAR));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(t.c_iflag & IXON, 0u);
    EXPECT_EQ(t.c_iflag & IXOFF, 0u);
    EXPECT_EQ(t.c_cc[VSTART], cc_t('Q'));

    t = MakeTermios(t, TLineSettings{});   // 9600 8N1, no handshake
    EXPECT_EQ(OutputSpeed(t), speed_t(B9600));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), 0u);
}

TEST(SerialReadTiming, FirstByteWaitsWithoutLimitThenTheIntervalEndsTheRead)
{
    TCommTimeouts t;   // interval 100, no total
    EXPECT_EQ(ReadWaitMs(t, 0, 5000), -1);
    EXPECT_EQ(ReadWaitMs(t, 3, 5000), 100);

    t.ReadIntervalTimeout = ReadIntervalImmediate;
    EXPECT_EQ(ReadWaitMs(t, 0, 0), -1);
    EXPECT_EQ(ReadWaitMs(t, 1, 0), 0);

    t.ReadIntervalTimeout = 0;   // not used: only the total ends the read
    t.ReadTotalTimeoutConstant = 500;
    EXPECT_EQ(ReadWaitMs(t, 0, 200), 300);
    EXPECT_EQ(ReadWaitMs(t, 9, 800), 0);
    t.ReadIntervalTimeout = 100;
    EXPECT_EQ(ReadWaitMs(t, 9, 450), 50);
}

TEST_F(SerialPortTest, ThousandOpeningsLeaveNoDescriptorOrThreadBehind)
{
    port.OpenComm();
    port.CloseComm();
    const int descriptors = OpenDescriptorCount();
    const int threads = ThreadCount();

    for (int i = 0; i < 1000; ++i) {
        port.OpenComm();
        port.CloseComm();
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    // The first count may still include a worker on its way out.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ThreadCount() <= threads; }, 10000)) << ThreadCount();
    port.OpenComm();
    EXPECT_TRUE(Roundtrip(port));
}
