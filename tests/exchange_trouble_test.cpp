// The exchange engine on a bad line: replies in pieces, surplus bytes and
// noise, wrong echoes, silence, and the operator's stop and exit buttons.

#include "Child.h"
#include "ExchangeRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "service/Debug.h"
#include "store/OrbADat.h"
#include "volume/DebVol.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>
#include <random>
#include <gtest/gtest.h>

namespace {

const QByteArray TableRead = Hex("3A 06 01 00 00 2E");
const QByteArray PageRead = Hex("3A 06 01 F6 24 F6");   // result page at record 41
const QByteArray Probe = Hex("3A 06 01 15 00 02");
const QString NoLinkText = QStringLiteral("Нет связи с прибором");

QByteArray SensorMemory()
{
    QByteArray table(46, '\0');
    for (int word = 0; word < 23; ++word) {
        table[2 * word] = static_cast<char>(word * 10 + 1);
        table[2 * word + 1] = static_cast<char>(word);
    }
    return MemoryWith(0, table);
}

int Word(const QByteArray &memory, int k)
{
    return uint8_t(memory[2 * k]) + 256 * uint8_t(memory[2 * k + 1]);
}

std::vector<QByteArray> Times(int count, const QByteArray &frame)
{
    return std::vector<QByteArray>(count, frame);
}

void MarkBuffer()
{
    TransferBuffer.fill(0xA5);
}

bool BufferMarked()
{
    return std::all_of(TransferBuffer.begin(), TransferBuffer.begin() + 256, [](uint8_t b) { return b == 0xA5; });
}

TEST(ExchangeTrouble, ReplyInPiecesIsAssembled)
{
    ExchangeRig rig({.flags = {"--split-gap", "150"}, .memory = SensorMemory()});
    ASSERT_TRUE(rig.ready());
    ASSERT_TRUE(ReadSensorTable());
    EXPECT_EQ(rig.frames(), std::vector{TableRead});
    EXPECT_EQ(TransferWords[22], Word(SensorMemory(), 22));
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

// A few random lines on the real pseudo-terminal, in real time: whatever the
// instrument's trouble, a read that ends done holds the instrument's bytes
// and one that fails leaves the buffer as it was. Fixed seed, a few seconds.
TEST(ExchangeTrouble, RandomTroubleOnTheRealLine)
{
    std::mt19937 random(25);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const QStringList troubles[] = {
        {"--noise", QString::number(pick(1, 5))},       {"--split-gap", QString::number(pick(0, 300))},
        {"--wrong-echo", QString::number(pick(1, 2))},  {"--drop-every", QString::number(pick(2, 3))},
        {"--truncate", QString::number(pick(1, 6))},
    };
    for (const QStringList &flags : troubles) {
        const bool fast = pick(0, 1) == 1;
        const std::string name = flags.join(' ').toStdString() + (fast ? " fast" : "");
        ExchangeRig rig({.flags = flags, .memory = PatternMemory(), .fast = fast});
        ASSERT_TRUE(rig.ready()) << name;
        for (int read = 0; read < 2; ++read) {
            const int address = pick(0, 0xFFFF - 246);
            const int count = pick(1, 246);
            MarkBuffer();
            if (ReadMemory(address, count))
                EXPECT_EQ(Buffer(0, count), PatternMemory().mid(address, count)) << name;
            else
                EXPECT_TRUE(BufferMarked()) << name;
        }
    }
}

// Noise before a reply, and the second half of a reply that came after its
// request was sent again, are no part of any reply: the transfer either
// takes the instrument's own bytes or fails, in both exchanges.
TEST(ExchangeTrouble, OnlyTheInstrumentsOwnReplyIsTaken)
{
    struct Case { QStringList flags; bool fast; int frames; bool done; };
    const Case cases[] = {
        {{"--noise", "5"}, false, 1, true},
        {{"--noise", "5"}, true, 1, true},
        // Every reply stalls past the silent second: the second half of one
        // reply and the start of the next never make a reply together.
        {{"--split-gap", "1150"}, false, 3, false},
        {{"--split-gap", "1150"}, true, 3, false},
    };
    for (const Case &c : cases) {
        const std::string name = c.flags.join(' ').toStdString() + (c.fast ? " fast" : "");
        ExchangeRig rig({.flags = c.flags, .memory = PatternMemory(), .fast = c.fast});
        ASSERT_TRUE(rig.ready()) << name;
        MarkBuffer();
        EXPECT_EQ(ReadMemory(0, 128), c.done) << name;
        EXPECT_EQ(rig.frames(), Times(c.frames, Hex("3A 06 01 00 00 80"))) << name;
        if (c.done)
            EXPECT_EQ(Buffer(0, 128), PatternMemory().left(128)) << name;
        else
            EXPECT_TRUE(BufferMarked()) << name;
        EXPECT_EQ(rig.messages.texts(), c.done ? QStringList{} : QStringList{NoLinkText}) << name;
    }
}

TEST(ExchangeTrouble, WrongEchoesAreAskedAgainAndTheThirdLosesTheLink)
{
    {
        ExchangeRig rig({.flags = {"--wrong-echo", "2"}, .memory = SensorMemory()});
        ASSERT_TRUE(rig.ready());
        ASSERT_TRUE(ReadSensorTable());
        EXPECT_EQ(rig.frames(), Times(3, TableRead));
        EXPECT_EQ(TransferWords[5], Word(SensorMemory(), 5));
        EXPECT_TRUE(rig.messages.texts().isEmpty());
    }
    {
        ExchangeRig rig({.flags = {"--wrong-echo", "3"}, .memory = SensorMemory()});
        ASSERT_TRUE(rig.ready());
        MarkBuffer();
        EXPECT_FALSE(ReadSensorTable());
        EXPECT_TRUE(NoLink);
        EXPECT_FALSE(AwaitReply);
        EXPECT_EQ(rig.frames(), Times(3, TableRead));
        EXPECT_TRUE(BufferMarked());
        EXPECT_EQ(rig.messages.texts(), QStringList{NoLinkText});
        EXPECT_TRUE(rig.window->Memo->toPlainText().contains(QStringLiteral("неверным  адресом")));
    }
}

TEST(ExchangeTrouble, SilenceAndWrongEchoesShareTheThreeSendings)
{
    // The first request is not answered, the next two are answered wrongly.
    ExchangeRig rig({.flags = {"--answer-from", "2", "--wrong-echo", "2"}, .memory = SensorMemory()});
    ASSERT_TRUE(rig.ready());
    EXPECT_FALSE(ReadSensorTable());
    EXPECT_EQ(rig.frames(), Times(3, TableRead));
    EXPECT_EQ(rig.messages.texts(), QStringList{NoLinkText});
}

TEST(ExchangeTrouble, AddressesPastSixteenBitsAreSentAndCheckedAsTheirLowSixteen)
{
    ExchangeRig rig({.memory = SensorMemory()});
    ASSERT_TRUE(rig.ready());
    ASSERT_TRUE(ReadMemory(0x10000, SensorTableBytes));
    EXPECT_EQ(rig.frames(), std::vector{TableRead});
    EXPECT_EQ(TransferWords[22], Word(SensorMemory(), 22));

    // A write that runs over the top of the address space goes on at 0.
    TransferBuffer.fill(0x5A);
    ASSERT_TRUE(WriteMemory(0xFFFC, 12));
    const std::vector<QByteArray> frames = rig.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].mid(2, 3), Hex("05 FC FF"));
    EXPECT_EQ(frames[2].mid(2, 3), Hex("05 00 00"));
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

// Faults in the middle of long transfers, through the whole engine, in the
// normal and in the fast exchange.
TEST(ExchangeTrouble, ALongWriteGetsOverLostRepliesAndAWrongEcho)
{
    QByteArray list(1024, '\0');
    for (int i = 0; i < list.size(); ++i)
        list[i] = char(i * 7 + 3);
    for (const bool fast : {false, true})
    for (const char *fault : {"--drop-every", "--wrong-echo"}) {
        const QString count = QString::fromLatin1(fault) == "--drop-every" ? "50" : "1";
        SCOPED_TRACE(fast ? "fast exchange" : "normal exchange");
        ExchangeRig rig({.flags = {fault, count}, .fast = fast});
        ASSERT_TRUE(rig.ready());
        FillBuffer(list);
        ASSERT_TRUE(WriteList(5)) << fault;
        std::vector<QByteArray> frames = rig.frames();
        EXPECT_GT(frames.size(), 255u) << fault;
        frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
        EXPECT_EQ(frames, WriteFrames(5 * 1024, list)) << fault;

        QByteArray readBack;
        for (int part = 0; part < 8; ++part) {
            ASSERT_TRUE(ReadListPart(5, part)) << fault;
            readBack += Buffer(0, 128);
        }
        EXPECT_EQ(readBack, list) << fault;
        EXPECT_TRUE(rig.messages.texts().isEmpty()) << fault;
    }
}

TEST(ExchangeTrouble, UnpluggedInTheMiddleOfAWrite)
{
    // COM9 stands for /dev/ttyS8 once its link has gone.
    ExchangeRig rig({.flags = {"--unplug-after", "20"}, .port = "COM9"});
    ASSERT_TRUE(rig.ready());
    FillBuffer(QByteArray(1024, '\x55'));
    EXPECT_FALSE(WriteList(2));
    EXPECT_TRUE(NoLink);
    EXPECT_EQ(rig.messages.texts(), QStringList{NoLinkText});
    EXPECT_FALSE(rig.window->Port->IsOpen());
    EXPECT_EQ(rig.frames().size(), 20u);

    rig.messages.clear();
    EXPECT_FALSE(ReadSensorTable());
    ASSERT_EQ(rig.messages.messages().size(), 1u);
    if (!QFileInfo::exists("/dev/ttyS8")) {
        EXPECT_TRUE(rig.messages.texts().first().startsWith(
            QStringLiteral("Error opening serial port\n\nNot found: there is no serial port /dev/ttyS8.")))
            << rig.messages.texts().first().toStdString();
    }
}

TEST(ExchangeTrouble, ThreeSilentSecondsLoseTheLink)
{
    ExchangeRig rig({.flags = {"--silent"}});
    ASSERT_TRUE(rig.ready());
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(ReadSensorTable());
    EXPECT_GE(timer.elapsed(), 2500);
    EXPECT_TRUE(NoLink);
    EXPECT_FALSE(AwaitReply);
    EXPECT_EQ(rig.frames(), Times(3, TableRead));
    ASSERT_EQ(rig.messages.messages().size(), 1u);
    const MessageRequest &box = rig.messages.messages().front();
    EXPECT_EQ(box.text, NoLinkText);
    EXPECT_EQ(box.kind, MessageKind::Error);
    EXPECT_EQ(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
}

TEST(ExchangeTrouble, ReplyAfterTheSecondResendStillCounts)
{
    ExchangeRig rig({.flags = {"--answer-from", "3"}, .memory = SensorMemory()});
    ASSERT_TRUE(rig.ready());
    ASSERT_TRUE(ReadSensorTable());
    EXPECT_EQ(rig.frames(), Times(3, TableRead));
    EXPECT_EQ(TransferWords[21], Word(SensorMemory(), 21));
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

TEST(ExchangeTrouble, LinkTestRunsUntilStopped)
{
    ExchangeRig rig;
    ASSERT_TRUE(rig.ready());
    size_t sentAtStop = 0;
    WhenReceived(rig, 5, [&rig, &sentAtStop] {
        sentAtStop = rig.frames().size();
        rig.window->Key_Stop->click();
    });
    EXPECT_TRUE(ProbeLink(LinkProbeOwner::Service));
    const std::vector<QByteArray> frames = rig.frames();
    EXPECT_GE(sentAtStop, 5u);
    EXPECT_LE(frames.size(), sentAtStop + 1);   // the stop is seen at the next reply
    EXPECT_EQ(frames, Times(static_cast<int>(frames.size()), Probe));
    EXPECT_FALSE(ServiceLinkTest);
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

TEST(ExchangeTrouble, LinkTestOnSilenceResendsEverySecondAndFindsNoLink)
{
    // Neither the exit nor the stop makes a silent probe a success, and
    // neither says more than the silence bar did.
    for (const bool exit : {true, false}) {
        SCOPED_TRACE(exit ? "exit" : "stop");
        ExchangeRig rig({.flags = {"--silent"}});
        ASSERT_TRUE(rig.ready());
        WhenReceived(rig, 4, [&rig, exit] { (exit ? rig.window->Key_Exit : rig.window->Key_Stop)->click(); });
        EXPECT_FALSE(ProbeLink(LinkProbeOwner::Service));
        EXPECT_TRUE(NoLink);
        EXPECT_EQ(rig.frames(), Times(4, Probe));
        EXPECT_TRUE(rig.messages.texts().isEmpty());
    }
}

TEST(ExchangeTrouble, LinkTestAnsweredAfterSilenceFindsTheLink)
{
    ExchangeRig rig({.flags = {"--answer-from", "3"}});
    ASSERT_TRUE(rig.ready());
    WhenReceived(rig, 4, [&rig] { rig.window->Key_Exit->click(); });
    EXPECT_TRUE(ProbeLink(LinkProbeOwner::Panel));
    EXPECT_FALSE(NoLink);
}

TEST(ExchangeTrouble, LinkTestTellsItsCallerOfEachAnswerAndEachSilence)
{
    // Two requests go unanswered, then every one is answered: one beat per
    // request, the last one with the stop.
    ExchangeRig rig({.flags = {"--answer-from", "3"}});
    ASSERT_TRUE(rig.ready());
    std::vector<ProbeBeat> beats;
    const auto heard = [&beats](ProbeBeat beat) { beats.push_back(beat); };
    WhenReceived(rig, 5, [&rig] { rig.window->Key_Stop->click(); });
    EXPECT_TRUE(ProbeLink(LinkProbeOwner::Service, heard));
    ASSERT_EQ(beats.size(), rig.frames().size());
    for (std::size_t i = 0; i < beats.size(); ++i)
        EXPECT_EQ(beats[i], i < 2 ? ProbeBeat::Silent : ProbeBeat::Answered) << i;

    // The next probe tells only its own caller.
    beats.clear();
    WhenReceived(rig, rig.frames().size() + 2, [&rig] { rig.window->Key_Stop->click(); });
    EXPECT_TRUE(ProbeLink(LinkProbeOwner::Panel));
    EXPECT_TRUE(beats.empty());
}

TEST(ExchangeTrouble, ExitEndsAPendingRequestAtOnce)
{
    // The first request is never answered; the operator leaves meanwhile.
    ExchangeRig rig({.flags = {"--answer-from", "2"}, .memory = SensorMemory()});
    ASSERT_TRUE(rig.ready());
    WhenReceived(rig, 1, [&rig] { rig.window->Key_Exit->click(); });
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(ReadSensorTable());
    EXPECT_LT(timer.elapsed(), 2500);
    EXPECT_TRUE(NoLink);
    EXPECT_TRUE(StopExch);
    EXPECT_FALSE(AwaitReply);

    // Nothing of the abandoned request comes back later.
    RunEventsFor(3500);
    EXPECT_EQ(rig.frames().size(), 1u);
    EXPECT_TRUE(rig.messages.texts().isEmpty());

    // The port was closed: the next exchange opens it again.
    ASSERT_TRUE(ReadSensorTable());
    EXPECT_EQ(TransferWords[3], Word(SensorMemory(), 3));
}

TEST(ExchangeTrouble, RequestsThatCannotStartAreNotCompleted)
{
    ExchangeRig rig;
    ASSERT_TRUE(rig.ready());

    // A port that is not a serial device.
    ASSERT_TRUE(WriteWholeFile(rig.dir.file("COM7"), "not a port"));
    PortName = QStringLiteral("COM7");
    EXPECT_FALSE(ReadSensorTable());
    ASSERT_EQ(rig.messages.messages().size(), 1u);
    EXPECT_EQ(rig.messages.messages().front().kind, MessageKind::Error);
    // The component's text, then the device and the cause.
    EXPECT_EQ(rig.messages.messages().front().text,
              QStringLiteral("File handle is not a comm handle \n\n%1 is not a serial port.").arg(rig.dir.file("COM7")));
    EXPECT_FALSE(rig.window->isVisible());

    // A mode that has no frame sends nothing.
    PortName = QStringLiteral("COM1");
    ExchAddress = 0;
    ExchCount = 2;
    ExchMode = 4;
    rig.window->exec();
    EXPECT_TRUE(NoLink);
    EXPECT_TRUE(rig.frames().empty());
}

TEST(ExchangeTrouble, BreathVolumeHandOffHappensOncePerRequest)
{
    QByteArray memory = SensorMemory();
    memory[2 * 17] = char(300 & 0xFF);   // breath-volume coefficient out of range
    memory[2 * 17 + 1] = char(300 >> 8);
    memory[2 * 5] = 10;           // words 5 < 6: the extrapolation step is negative
    memory[2 * 5 + 1] = 0;
    memory[2 * 6] = 35;
    memory[2 * 6 + 1] = 0;
    ExchangeRig rig({.memory = memory});
    ASSERT_TRUE(rig.ready());
    TDebugF service;
    TDebVolF volume;
    DebugF = &service;
    DebVolF = &volume;

    service.key_DebVolClick();
    EXPECT_EQ(SensorTable[18], -2);   // (10 - 35) / 10, truncated toward zero
    EXPECT_EQ(InstrumentNumber, Word(memory, 21));
    EXPECT_EQ(SensorNumber, Word(memory, 22));
    EXPECT_EQ(service.GridS1->item(21, 1)->text(), QString::number(Word(memory, 21)).rightJustified(6));
    EXPECT_EQ(VolumeCoef, 75);
    EXPECT_EQ(Child<QLineEdit>(volume, "edit_kVol")->text(), "75");
    EXPECT_TRUE(volume.isVisible());

    // A later read is the caller's own.
    volume.hide();
    Child<QLineEdit>(volume, "edit_kVol")->setText("x");
    ASSERT_TRUE(ReadSensorTable());
    EXPECT_EQ(Child<QLineEdit>(volume, "edit_kVol")->text(), "x");
    EXPECT_FALSE(volume.isVisible());

    DebugF = nullptr;
    DebVolF = nullptr;
}

} // namespace
