// The wire trace: its bound, its decoded lines, the copy it appends to a
// file, the saved file, and what the exchange window puts into it.

#include "ExchangeRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "exchange/WireTrace.h"
#include "store/OrbADat.h"

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

constexpr int StampLength = 24;   // "2026-12-08 14:03:11.482 "

QString Decoded(const char *frame)
{
    const QByteArray bytes = Hex(frame);
    return DescribeRequest(reinterpret_cast<const uint8_t *>(bytes.constData()), int(bytes.size()));
}

QString Judged(const char *request, const char *reply)
{
    const QByteArray asked = Hex(request);
    const QByteArray answer = Hex(reply);
    return JudgeReply(reinterpret_cast<const uint8_t *>(asked.constData()), int(asked.size()),
                      reinterpret_cast<const uint8_t *>(answer.constData()), int(answer.size()));
}

void Send(WireTrace &trace, const char *frame, int resends = 0)
{
    const QByteArray bytes = Hex(frame);
    trace.Sent(reinterpret_cast<const uint8_t *>(bytes.constData()), int(bytes.size()), resends);
}

// The program's trace from line `from` on, without the times.
QStringList TraceFrom(qsizetype from)
{
    QStringList lines = ExchangeTrace().Lines().mid(from);
    for (QString &line : lines)
        line.remove(0, StampLength);
    return lines;
}

QByteArray Saved(const WireTrace &trace)
{
    return trace.Lines().join('\n').toUtf8() + '\n';
}

TEST(WireTrace, KeepsTheLastLinesWithTheirTimesAndSaysHowManyAreGone)
{
    WireTrace trace(3);
    for (int i = 0; i < 5; ++i)
        trace.Note(QString::number(i));
    const QStringList lines = trace.Lines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(trace.Dropped(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("(2 earlier lines are no longer kept)"));
    static const QRegularExpression stamped(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} -- 2$"));
    EXPECT_TRUE(stamped.match(lines[1]).hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(" -- 4")));
}

TEST(WireTrace, DecodesRequestsAndJudgesTheirEchoes)
{
    const std::pair<const char *, const char *> requests[] = {
        {"3A 06 01 00 00 2E", "read memory at 0x0000, 46 bytes"},
        {"3A 06 02 00 03 F0", "read memory (command 2) at 0x0300, 240 bytes"},
        {"3A 06 03 19 00 0A", "read registers at 0x19, 10 bytes"},
        {"3A 0E 05 F8 0F 08 01 02 03 04 05 06 07 08", "write memory at 0x0FF8, 8 bytes"},
        {"3A 09 07 20 00 02 00 00 32", "write registers at 0x20: 00 00"},
        {"3A 06 09 00 00 00", "command 9"},
        {"00 06 01 00 00 2E", "not a request frame"},
        {"3A 06 01 00 00", "not a request frame"},
    };
    for (const auto &[frame, meaning] : requests)
        EXPECT_EQ(Decoded(frame), QString::fromUtf8(meaning)) << frame;

    struct Echo { const char *request; const char *reply; const char *verdict; };
    const Echo echoes[] = {
        {"3A 06 01 F6 24 F6", "3A FC 01 F6 24 F6", "echo 0x24F6 right"},
        {"3A 06 01 F6 24 F6", "3A FC 01 F6 25 F6", "echo 0x25F6 wrong, asked 0x24F6"},
        {"3A 0E 05 00 0C 08", "3A 0E 05 04 0C 08", "echo 0x0C04 wrong, asked 0x0C00"},
        {"3A 06 03 18 00 02", "3A 07 03 18 55 02 05", "echo 0x18 right"},   // registers: the low byte only
        {"3A 09 07 19 00 02 00 00 2B", "3A 08 07 1B 00 02 00 00", "echo 0x1B wrong, asked 0x19"},
        {"3A 06 01 00 00 2E", "3A 34 01 00", "too short for an echo"},
        {"3A 06", "3A 34 01 00 00", ""},
    };
    for (const Echo &e : echoes)
        EXPECT_EQ(Judged(e.request, e.reply), QString::fromUtf8(e.verdict)) << e.request << " / " << e.reply;
}

TEST(WireTrace, CopiesEveryLineToItsFileAsItHappens)
{
    ScopedWorkDir dir;
    const QString path = dir.file(QStringLiteral("trace.txt"));
    ASSERT_TRUE(WriteWholeFile(path, "an earlier run\n"));
    WireTrace trace;
    QString error;
    ASSERT_TRUE(trace.MirrorTo(path, error)) << error.toStdString();
    trace.Note(QStringLiteral("COM1  - открыт"));
    Send(trace, "3A 06 01 00 00 2E", 2);
    const QByteArray reply = Hex("3A 34 01 00 00");
    trace.Reply(reinterpret_cast<const uint8_t *>(reply.constData()), int(reply.size()));
    EXPECT_EQ(ReadWholeFile(path), "an earlier run\n" + Saved(trace));
    EXPECT_TRUE(trace.Lines()[2].endsWith(QStringLiteral(" TX 3A 06 01 00 00 2E  read memory at 0x0000, 46 bytes, "
                                                         "sent again (sending 3)")));
    EXPECT_TRUE(trace.Lines()[3].endsWith(QStringLiteral(" RX 3A 34 01 00 00  reply, 5 bytes, echo 0x0000 right")));

    EXPECT_FALSE(trace.MirrorTo(dir.file(QStringLiteral("missing/trace.txt")), error));
    EXPECT_FALSE(error.isEmpty());

    // A file that takes no line is refused at once.
    WireTrace full;
    EXPECT_FALSE(full.MirrorTo(QStringLiteral("/dev/full"), error));
    EXPECT_FALSE(error.isEmpty());
}

// A file that stops taking lines (the disk is full) ends the copy: the trace
// says so, and a box says it once; every line stays in memory. Nor may a
// save replace the file the lines are appended to.
TEST(WireTrace, AFileThatStopsTakingLinesIsToldOnceAndNeverReplaced)
{
    MessageRecorder messages;
    ScopedWorkDir dir;
    const QString path = dir.file(QStringLiteral("trace.txt"));
    WireTrace trace;
    QString error;
    ASSERT_TRUE(trace.MirrorTo(path, error)) << error.toStdString();
    trace.Note(QStringLiteral("kept"));

    const QByteArray before = ReadWholeFile(path);
    for (const QString &name : {path, dir.file(QStringLiteral("./trace.txt"))}) {
        EXPECT_FALSE(SaveTrace(trace, name, error));
        EXPECT_TRUE(error.contains(QStringLiteral("дописывает"))) << error.toStdString();
    }
    EXPECT_EQ(ReadWholeFile(path), before);
    EXPECT_TRUE(SaveTrace(trace, dir.file(QStringLiteral("copy.txt")), error)) << error.toStdString();

    // The file may grow no further than it is now.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    rlimit small = limit;
    small.rlim_cur = static_cast<rlim_t>(before.size());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    trace.Note(QStringLiteral("lost from the file"));
    trace.Note(QStringLiteral("after"));
    ::setrlimit(RLIMIT_FSIZE, &limit);
    QCoreApplication::processEvents();

    const QStringList lines = trace.Lines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("-- lost from the file")));
    EXPECT_TRUE(lines[3].contains(QStringLiteral("cannot be written"))) << lines[3].toStdString();
    EXPECT_TRUE(lines[4].endsWith(QStringLiteral("-- after")));
    EXPECT_EQ(ReadWholeFile(path), before);
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts()[0].contains(QDir::toNativeSeparators(path))) << messages.texts()[0].toStdString();
}

TEST(WireTrace, SavesTheWholeFileOrNothing)
{
    ScopedWorkDir dir;
    WireTrace trace;
    trace.Note(QStringLiteral("COM1  - открыт"));
    Send(trace, "3A 06 01 15 00 02");
    const QString path = dir.file(QStringLiteral("trace.txt"));
    ASSERT_TRUE(WriteWholeFile(path, QByteArray(5000, 'x')));
    QString error;
    ASSERT_TRUE(SaveTrace(trace, path, error)) << error.toStdString();
    EXPECT_EQ(ReadWholeFile(path), Saved(trace));

    EXPECT_FALSE(SaveTrace(trace, dir.file(QStringLiteral("missing/trace.txt")), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("trace.txt")});
}

TEST(WireTrace, SaveAsAsksForTheNameAndReportsAFailure)
{
    ScopedWorkDir dir;
    MessageRecorder messages;
    ExchangeTrace().Note(QStringLiteral("before the save"));
    {
        SaveFileAnswer cancelled{QString()};
        EXPECT_FALSE(SaveTraceAs());
        ASSERT_EQ(cancelled.requests().size(), 1u);
        EXPECT_EQ(cancelled.requests()[0].caption, QStringLiteral("Сохранить журнал"));
        EXPECT_TRUE(cancelled.requests()[0].proposedPath.startsWith(dir.file(QStringLiteral("orba-trace-"))));
    }
    {
        SaveFileAnswer chosen(dir.file(QStringLiteral("support.txt")));
        EXPECT_TRUE(SaveTraceAs());
        EXPECT_EQ(ReadWholeFile(dir.file(QStringLiteral("support.txt"))), Saved(ExchangeTrace()));
    }
    EXPECT_TRUE(messages.texts().isEmpty());
    {
        SaveFileAnswer unwritable(dir.file(QStringLiteral("missing/support.txt")));
        EXPECT_FALSE(SaveTraceAs());
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.messages()[0].kind, MessageKind::Error);
        EXPECT_TRUE(messages.texts()[0].contains(QStringLiteral("missing/support.txt")));
    }
}

TEST(ExchangeWindowTrace, FollowsAReadThroughAWrongEchoAndItsResend)
{
    ExchangeRig rig({.flags = {"--wrong-echo", "1"}});
    ASSERT_TRUE(rig.ready());
    const qsizetype from = ExchangeTrace().Lines().size();
    ASSERT_TRUE(ReadSensorTable());
    const QStringList lines = TraceFrom(from);
    ASSERT_EQ(lines.size(), 7) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("-- COM1  - открыт"));
    EXPECT_EQ(lines[1], QStringLiteral("-- Считывание  памяти  прибора ... "));
    EXPECT_EQ(lines[2], QStringLiteral("TX 3A 06 01 00 00 2E  read memory at 0x0000, 46 bytes"));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("RX 3A 34 01 ")));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("reply, 52 bytes, echo 0x0001 wrong, asked 0x0000")))
        << lines[3].toStdString();
    EXPECT_EQ(lines[4], lines[2] + QStringLiteral(", sent again (sending 2)"));
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral("reply, 52 bytes, echo 0x0000 right")));
    EXPECT_EQ(lines[6], QStringLiteral("-- COM1   - закрыт"));
}

TEST(ExchangeWindowTrace, MarksASilentSecondAndTheOperatorsExit)
{
    {
        ExchangeRig rig({.flags = {"--answer-from", "2"}});
        ASSERT_TRUE(rig.ready());
        const qsizetype from = ExchangeTrace().Lines().size();
        ASSERT_TRUE(ReadMemoryPage(0x40));
        const QStringList lines = TraceFrom(from).mid(2, 4);
        ASSERT_EQ(lines.size(), 4);
        EXPECT_EQ(lines[1], QStringLiteral("-- no complete reply within 1000 ms"));
        EXPECT_EQ(lines[2], lines[0] + QStringLiteral(", sent again (sending 2)"));
        EXPECT_TRUE(lines[3].endsWith(QStringLiteral("reply, 70 bytes, echo 0x0040 right")));
    }
    {
        // Half a reply is in when the operator leaves.
        ExchangeRig rig({.flags = {"--split-gap", "1500"}});
        ASSERT_TRUE(rig.ready());
        const qsizetype from = ExchangeTrace().Lines().size();
        WhenReceived(rig, 1, [&rig] { QTimer::singleShot(300, rig.window->Key_Exit, &QToolButton::click); });
        EXPECT_FALSE(ReadSensorTable());
        const QStringList lines = TraceFrom(from);
        ASSERT_EQ(lines.size(), 5) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines[3].startsWith(QStringLiteral("-- left by the operator, 26 of 52 bytes in: 3A 34 01 00 00 2E ")))
            << lines[3].toStdString();
    }
}

TEST(ExchangeWindowTrace, NamesAPortThatCannotBeOpened)
{
    ExchangeRig rig;
    ASSERT_TRUE(WriteWholeFile(rig.dir.file(QStringLiteral("COM8")), "not a port"));
    PortName = QStringLiteral("COM8");
    const qsizetype from = ExchangeTrace().Lines().size();
    EXPECT_FALSE(ReadSensorTable());
    const QStringList lines = TraceFrom(from);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("-- COM8 cannot be opened: File handle is not a comm handle")))
        << lines[0].toStdString();
}

TEST(ExchangeWindowTrace, SaveButtonWorksWhileALinkTestRuns)
{
    ExchangeRig rig;
    ASSERT_TRUE(rig.ready());
    const QString path = rig.dir.file(QStringLiteral("probe.txt"));
    SaveFileAnswer chosen(path);
    WhenReceived(rig, 3, [&rig] {
        auto *save = rig.window->findChild<QPushButton *>(QStringLiteral("Key_SaveLog"));
        ASSERT_NE(save, nullptr);
        EXPECT_EQ(save->text(), QStringLiteral("Сохранить журнал"));
        save->click();
        rig.window->Key_Stop->click();
    });
    EXPECT_TRUE(ProbeLink(LinkProbeOwner::Service));
    ASSERT_EQ(chosen.requests().size(), 1u);
    const QString saved = QString::fromUtf8(ReadWholeFile(path));
    EXPECT_GE(saved.count(QStringLiteral(" TX 3A 06 01 15 00 02  read memory at 0x0015, 2 bytes\n")), 3)
        << saved.toStdString();
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

} // namespace
