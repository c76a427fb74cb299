// The virtual instrument program on its pseudo-terminal, spoken to the way
// the program's serial port does: open the name, raw mode, write, poll.

#include "VirtualInstrument.h"
#include "WorkDir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray SensorTableRead = QByteArray::fromHex("3A0601 00002E");
const QByteArray CorrectionRead = QByteArray::fromHex("3A0603 180002");
const QByteArray ProbeRead = QByteArray::fromHex("3A0601 150002");  // 8-byte reply

// One opening of the instrument's port.
class Line {
public:
    explicit Line(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios settings{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~Line()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool isOpen() const { return m_fd >= 0; }

    void send(const QByteArray &bytes)
    {
        ASSERT_EQ(::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    }

    // Bytes that arrive until `count` have come or `msecs` have passed.
    QByteArray receive(int count, int msecs = 3000)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < count && timer.elapsed() < msecs) {
            pollfd readable{m_fd, POLLIN, 0};
            if (::poll(&readable, 1, static_cast<int>(msecs - timer.elapsed())) <= 0 || !(readable.revents & POLLIN))
                break;
            char buffer[512];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<qsizetype>(n));
        }
        return got;
    }

    QByteArray ask(const QByteArray &request, int count)
    {
        send(request);
        return receive(count);
    }

    // Whether the other end went away within `msecs`.
    bool hungUp(int msecs)
    {
        pollfd line{m_fd, POLLIN, 0};
        if (::poll(&line, 1, msecs) <= 0)
            return false;
        char byte;
        return (line.revents & POLLHUP) || ::read(m_fd, &byte, 1) <= 0;
    }

private:
    int m_fd = -1;
};

// Opens `path` in a child process that runs as a normal user (nobody, when
// the tests run as root) and returns 0 or the error of the opening.
int OpenAsNormalUser(const QByteArray &path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(250);
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::_exit(fd >= 0 ? 0 : errno);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A program that opens the port for itself alone, as the serial component
// does, and then dies without closing it.
class CrashingHolder {
public:
    explicit CrashingHolder(const QByteArray &path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char held = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 ? 'y' : 'n';
            if (::write(ready[1], &held, 1) != 1)
                ::_exit(1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char held = 'n';
        m_holding = m_pid > 0 && ::read(ready[0], &held, 1) == 1 && held == 'y';
        ::close(ready[0]);
    }
    ~CrashingHolder() { crash(); }

    bool holding() const { return m_holding; }

    void crash()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    bool m_holding = false;
};

class VinstLine : public ::testing::Test {
protected:
    void start(const QStringList &flags = {}, bool paced = false)
    {
        instrument = std::make_unique<VirtualInstrument>(dir.path(),
                                                         VirtualInstrument::Setup{.flags = flags, .paced = paced});
        ASSERT_TRUE(instrument->isReady());
        line = std::make_unique<Line>(instrument->portPath());
        ASSERT_TRUE(line->isOpen());
    }

    // What the instrument did with each request so far: R replied, - not.
    QString decisions() const
    {
        QString made;
        for (const QString &logLine : instrument->logLines()) {
            if (logLine.contains(" TX "))
                made += 'R';
            else if (logLine.contains(" no reply "))
                made += '-';
        }
        return made;
    }

    bool waitForDecisions(int count) const
    {
        QElapsedTimer timer;
        timer.start();
        while (decisions().size() < count && timer.elapsed() < 10000)
            QThread::msleep(10);
        return decisions().size() >= count;
    }

    ScopedWorkDir dir;
    std::unique_ptr<VirtualInstrument> instrument;
    std::unique_ptr<Line> line;
};

}  // namespace

TEST_F(VinstLine, AnswersAndLogsEveryFrame)
{
    start();
    const QByteArray table = line->ask(SensorTableRead, 52);
    ASSERT_EQ(table.size(), 52);
    EXPECT_EQ(table.left(6), QByteArray::fromHex("3A3401 00002E"));
    const QByteArray correction = line->ask(CorrectionRead, 7);
    ASSERT_EQ(correction.size(), 7);
    EXPECT_EQ(correction.left(4), QByteArray::fromHex("3A0703 18"));
    EXPECT_TRUE(line->receive(1, 100).isEmpty());

    EXPECT_EQ(instrument->receivedFrames(), (std::vector<QByteArray>{SensorTableRead, CorrectionRead}));
    EXPECT_EQ(instrument->replies(), (std::vector<QByteArray>{table, correction}));
    const QRegularExpression format(R"(^\d\d:\d\d:\d\d\.\d{3} (RX|TX|SKIP|NOTE) .+$)");
    for (const QString &logLine : instrument->logLines())
        EXPECT_TRUE(format.match(logLine).hasMatch()) << logLine.toStdString();
    EXPECT_EQ(instrument->logLines().filter(" RX 3A 06 01 00 00 2E").size(), 1);

    EXPECT_EQ(instrument->stop(), 0);
    EXPECT_FALSE(QFileInfo(instrument->portPath()).isSymLink());
}

TEST_F(VinstLine, SurvivesThePortBeingClosedAndReopened)
{
    start();
    line.reset();
    for (int i = 0; i < 30; ++i) {
        Line again(instrument->portPath());
        ASSERT_TRUE(again.isOpen());
        ASSERT_EQ(again.ask(ProbeRead, 8).size(), 8) << "opening " << i;
    }
}

TEST_F(VinstLine, APortLeftByACrashedProgramCanBeOpenedAgain)
{
    start();
    line.reset();
    const QByteArray terminal = QFile::encodeName(QFileInfo(instrument->portPath()).symLinkTarget());
    ASSERT_FALSE(terminal.isEmpty());
    ASSERT_EQ(::chmod(terminal.constData(), 0666), 0);   // let a normal user reach it at all
    ASSERT_EQ(OpenAsNormalUser(terminal), 0);

    CrashingHolder program(terminal);
    ASSERT_TRUE(program.holding());
    EXPECT_EQ(OpenAsNormalUser(terminal), EBUSY);
    program.crash();

    // The instrument notices the port was left; a restarted program gets in.
    QElapsedTimer timer;
    timer.start();
    int result = -1;
    while ((result = OpenAsNormalUser(terminal)) != 0 && timer.elapsed() < 10000)
        QThread::msleep(20);
    EXPECT_EQ(result, 0);
    Line again(instrument->portPath());
    ASSERT_TRUE(again.isOpen());
    EXPECT_EQ(again.ask(ProbeRead, 8).size(), 8);
}

TEST_F(VinstLine, SilentAnswersNothing)
{
    start({"--silent"});
    line->send(ProbeRead);
    EXPECT_TRUE(instrument->waitForReceived(1));
    EXPECT_TRUE(line->receive(1, 300).isEmpty());
}

TEST_F(VinstLine, AnswerFromAndDropEveryLeaveRequestsUnanswered)
{
    start({"--answer-from", "3", "--drop-every", "4"});
    for (int i = 1; i <= 5; ++i) {
        line->send(ProbeRead);
        ASSERT_TRUE(waitForDecisions(i));
        if (decisions().endsWith('R')) {
            EXPECT_EQ(line->receive(8).size(), 8) << "request " << i;
        }
    }
    EXPECT_EQ(decisions(), "--R-R");
    EXPECT_TRUE(line->receive(1, 100).isEmpty());
}

TEST_F(VinstLine, WrongEchoSpoilsTheFirstReplies)
{
    start({"--wrong-echo", "2"});
    EXPECT_NE(line->ask(ProbeRead, 8).mid(3, 2), ProbeRead.mid(3, 2));
    EXPECT_NE(line->ask(ProbeRead, 8).mid(3, 2), ProbeRead.mid(3, 2));
    EXPECT_EQ(line->ask(ProbeRead, 8).mid(3, 2), ProbeRead.mid(3, 2));
}

TEST_F(VinstLine, NoiseComesBeforeTheReply)
{
    start({"--noise", "5"});
    const QByteArray got = line->ask(ProbeRead, 13);
    ASSERT_EQ(got.size(), 13);
    EXPECT_FALSE(got.left(5).contains(':'));
    EXPECT_EQ(got.mid(5, 5), QByteArray::fromHex("3A0801 1500"));
}

TEST_F(VinstLine, TruncateCutsTheReplyShort)
{
    start({"--truncate", "3"});
    line->send(ProbeRead);
    EXPECT_EQ(line->receive(5).size(), 5);
    EXPECT_TRUE(line->receive(1, 300).isEmpty());
}

TEST_F(VinstLine, SplitGapSendsTheReplyInTwoPieces)
{
    // The first half is read long before the second is sent.
    start({"--split-gap", "1000"});
    line->send(SensorTableRead);
    EXPECT_EQ(line->receive(26).size(), 26);
    EXPECT_EQ(line->receive(26).size(), 26);
}

TEST_F(VinstLine, UnplugRemovesTheLinkAndHangsUp)
{
    start({"--unplug-after", "2"});
    EXPECT_EQ(line->ask(ProbeRead, 8).size(), 8);
    EXPECT_EQ(line->ask(ProbeRead, 8).size(), 8);
    EXPECT_TRUE(line->hungUp(3000));
    EXPECT_FALSE(QFileInfo(instrument->portPath()).isSymLink());
    EXPECT_EQ(instrument->stop(), 0);
}

TEST_F(VinstLine, PacedRepliesTakeTheTimeOfTheLine)
{
    start({}, true);
    QElapsedTimer timer;
    timer.start();
    // 252 bytes at 19200 baud take 131 ms.
    EXPECT_EQ(line->ask(QByteArray::fromHex("3A0601 F624F6"), 252).size(), 252);
    EXPECT_GE(timer.elapsed(), 110);
}

TEST(VinstProgram, KeepsItsMemoryInTheImageFile)
{
    ScopedWorkDir dir;
    const QString image = dir.file("instrument.mem");
    const QByteArray write = QByteArray::fromHex("3A0A05 003004 DEADBEEF");
    {
        VirtualInstrument instrument(dir.path(), {.memoryFile = image});
        ASSERT_TRUE(instrument.isReady());
        Line line(instrument.portPath());
        EXPECT_EQ(line.ask(write, 10), write);
        EXPECT_EQ(instrument.stop(), 0);
    }
    const QByteArray saved = ReadWholeFile(image);
    ASSERT_EQ(saved.size(), 65536);
    EXPECT_EQ(saved.mid(0x3000, 4), QByteArray::fromHex("DEADBEEF"));

    VirtualInstrument again(dir.path(), {.memoryFile = image});
    ASSERT_TRUE(again.isReady());
    Line line(again.portPath());
    EXPECT_EQ(line.ask(QByteArray::fromHex("3A0601 003004"), 10).right(4), QByteArray::fromHex("DEADBEEF"));
}

// A register write (command 7) with its checksum, the sum of bytes 1..7.
QByteArray RegisterWrite(int address, int first, int second)
{
    QByteArray frame = QByteArray::fromHex("3A0907") + char(address) + '\0' + '\2' + char(first) + char(second);
    int sum = 0;
    for (int k = 1; k < frame.size(); ++k)
        sum += uint8_t(frame[k]);
    return frame + char(sum);
}

TEST(VinstProgram, KeepsItsRegistersInTheRegisterFile)
{
    ScopedWorkDir dir;
    const VirtualInstrument::Setup setup{.registersFile = dir.file("instrument.reg")};
    {
        VirtualInstrument instrument(dir.path(), setup);
        ASSERT_TRUE(instrument.isReady());
        Line line(instrument.portPath());
        for (const QByteArray &write : {RegisterWrite(24, 0x34, 0x34), RegisterWrite(25, 0x00, 0x00),
                                        RegisterWrite(27, 0x12, 0x00), RegisterWrite(29, 0x05, 0x03),
                                        RegisterWrite(31, 0x09, 0x00)})
            EXPECT_EQ(line.ask(write, 8).mid(2), write.mid(2, 6));
        EXPECT_EQ(instrument.stop(), 0);
    }
    ASSERT_EQ(ReadWholeFile(setup.registersFile).size(), 256);

    // The clock runs on from noon, 5 March 2009.
    VirtualInstrument again(dir.path(), setup);
    ASSERT_TRUE(again.isReady());
    Line line(again.portPath());
    EXPECT_EQ(line.ask(CorrectionRead, 7).right(1), QByteArray("\x34"));
    const QByteArray clock = line.ask(QByteArray::fromHex("3A0603 19000A"), 16);
    ASSERT_EQ(clock.size(), 16);
    EXPECT_EQ(clock.mid(6 + 2, 5), QByteArray::fromHex("1200050309"));
}

TEST(VinstProgram, RefusesFilesItDoesNotOwn)
{
    ScopedWorkDir dir;
    // A broken image is neither used nor overwritten.
    ASSERT_TRUE(WriteWholeFile(dir.file("short.mem"), "short"));
    VirtualInstrument badImage(dir.path(), {.port = "COM2", .memoryFile = dir.file("short.mem")});
    EXPECT_FALSE(badImage.isReady());
    EXPECT_EQ(badImage.stop(), 1);
    EXPECT_EQ(ReadWholeFile(dir.file("short.mem")), "short");

    // A regular file under the port's name stays; a stale link is replaced.
    ASSERT_TRUE(WriteWholeFile(dir.file("COM3"), "mine"));
    VirtualInstrument onFile(dir.path(), {.port = "COM3"});
    EXPECT_FALSE(onFile.isReady());
    EXPECT_EQ(onFile.stop(), 1);
    EXPECT_EQ(ReadWholeFile(dir.file("COM3")), "mine");

    ASSERT_TRUE(QFile::link("/nonexistent/tty", dir.file("COM4")));
    VirtualInstrument onLink(dir.path(), {.port = "COM4"});
    ASSERT_TRUE(onLink.isReady());
    EXPECT_TRUE(QFileInfo(dir.file("COM4")).symLinkTarget().startsWith("/dev/"));
}

TEST(VinstProgram, RefusesADumpThatIsNotAWholeMemory)
{
    ScopedWorkDir dir;
    ASSERT_TRUE(WriteWholeFile(dir.file("short.bin"), QByteArray(65535, '\x11')));
    ASSERT_TRUE(WriteWholeFile(dir.file("long.bin"), QByteArray(65537, '\x11')));
    struct Case {
        const char *file;
        const char *says;
    };
    for (const Case &c : {Case{"short.bin", "it holds 65535 bytes"}, Case{"long.bin", "more than 65536 bytes"},
                          Case{"missing.bin", "cannot open"}}) {
        QProcess vinst;
        vinst.start(QStringLiteral(VINST_PROGRAM),
                    {"--dir", dir.path(), "--port", "COM1", "--from", dir.file(c.file)});
        ASSERT_TRUE(vinst.waitForFinished(30000)) << c.file;
        EXPECT_EQ(vinst.exitCode(), 2) << c.file;
        EXPECT_TRUE(vinst.readAllStandardError().contains(c.says)) << c.file;
        EXPECT_FALSE(QFileInfo(dir.file("COM1")).isSymLink()) << c.file;
    }
    EXPECT_EQ(ReadWholeFile(dir.file("short.bin")).size(), 65535);

    QProcess help;
    help.start(QStringLiteral(VINST_PROGRAM), {"--help"});
    ASSERT_TRUE(help.waitForFinished(30000));
    EXPECT_TRUE(help.readAllStandardOutput().contains("--from DUMP"));
}
