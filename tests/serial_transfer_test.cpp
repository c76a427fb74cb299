// Bytes through an open serial port, its events, and a device that goes away.

#include "Pty.h"
#include "WorkDir.h"
#include "serial/CommEr.h"

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

constexpr int Patience = 10000;   // ms; generous, for a loaded machine

// What a port raised, in order.
struct Recorded {
    std::vector<QByteArray> blocks;
    bool blocksEndInZero = true;
    int sendEmpty = 0;
    int hangups = 0;

    void Attach(TCommEr &port)
    {
        port.OnReceiveData = [this](TCommEr *, const uint8_t *data, uint16_t n) {
            blocks.emplace_back(reinterpret_cast<const char *>(data), n);
            blocksEndInZero = blocksEndInZero && data[n] == 0;
        };
        port.OnSendDataEmpty = [this](TCommEr *) { ++sendEmpty; };
        port.OnRequestHangup = [this](TCommEr *) { ++hangups; };
    }
    QByteArray All() const
    {
        QByteArray all;
        for (const QByteArray &b : blocks)
            all += b;
        return all;
    }
};

QByteArray Pattern(int size, char first)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(first + i % 23);
    return bytes;
}

bool Send(TCommEr &port, const QByteArray &bytes)
{
    return port.SendData(bytes.constData(), uint16_t(bytes.size()));
}

// Lets posted notifications arrive for a while, for checks that nothing more comes.
void Settle()
{
    QTest::qWait(300);
}

class SerialTransferTest : public ::testing::Test {
protected:
    SerialTransferTest()
    {
        port.SetCommName("COM1");
        events.Attach(port);
    }

    void OpenAndWaitForWorkers()
    {
        port.OpenComm();
        ASSERT_TRUE(QTest::qWaitFor([&] { return events.sendEmpty == 1; }, Patience));
    }

    ScopedWorkDir dir;
    PseudoTerminal device{"COM1"};
    TCommEr port;
    Recorded events;
};

} // namespace

TEST_F(SerialTransferTest, BytesWithoutGapsArriveInOneEvent)
{
    OpenAndWaitForWorkers();
    const QByteArray reply = Pattern(252, 'a');
    ASSERT_TRUE(device.write(reply));
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.All().size() == reply.size(); }, Patience));
    Settle();
    EXPECT_EQ(events.blocks.size(), 1u);
    EXPECT_EQ(events.All(), reply);
    EXPECT_TRUE(events.blocksEndInZero);
}

TEST_F(SerialTransferTest, ReplySplitByAGapGivesTwoEventsThatAddUp)
{
    port.SetReadIntervalTimeout(30);
    OpenAndWaitForWorkers();
    ASSERT_TRUE(device.write("first"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.blocks.size() == 1; }, Patience));
    ASSERT_TRUE(device.write("second part"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.blocks.size() == 2; }, Patience));
    EXPECT_EQ(events.blocks[0], "first");
    EXPECT_EQ(events.blocks[1], "second part");
}

TEST_F(SerialTransferTest, PiecesCloserThanTheIntervalAreAllDelivered)
{
    port.SetReadIntervalTimeout(2000);
    OpenAndWaitForWorkers();
    QByteArray reply;
    for (int piece = 0; piece < 5; ++piece) {
        const QByteArray bytes = Pattern(7, char('a' + piece));
        ASSERT_TRUE(device.write(bytes));
        reply += bytes;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.All().size() >= reply.size(); }, Patience)) << events.All().size();
    EXPECT_EQ(events.All(), reply);
}

TEST_F(SerialTransferTest, QueuedBlocksGoOutInOrderWithOneSendEmptyAfterTheLast)
{
    OpenAndWaitForWorkers();
    // The first block is more than the terminal buffers, so the transmit
    // worker is still on it when the next three are queued.
    const QByteArray blocks[] = {Pattern(60000, 'A'), "one", "two", "three"};
    for (const QByteArray &block : blocks)
        ASSERT_TRUE(Send(port, block));
    EXPECT_FALSE(port.SendIdle());

    const QByteArray expected = blocks[0] + "onetwothree";
    EXPECT_EQ(device.read(expected.size()), expected);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.sendEmpty == 2; }, Patience));
    Settle();
    EXPECT_EQ(events.sendEmpty, 2);
    EXPECT_TRUE(port.SendIdle());
}

TEST_F(SerialTransferTest, ClosingDuringAPendingWriteReturnsPromptlyAndPurges)
{
    const int threads = ThreadCount();
    OpenAndWaitForWorkers();
    const QByteArray block = Pattern(60000, 'A');
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Send(port, block));
    ASSERT_TRUE(device.hasInput(Patience));   // the worker is writing, into a full buffer

    QElapsedTimer closing;
    closing.start();
    port.CloseComm();
    EXPECT_LT(closing.elapsed(), 5000);   // a worker that did not stop would take 10 s
    EXPECT_TRUE(port.SendIdle());
    EXPECT_LT(device.read(3 * block.size(), 500).size(), 3 * block.size());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ThreadCount() == threads; }, Patience));
}

TEST_F(SerialTransferTest, UnpluggedDeviceGivesOneHangupAndTheWorkersEnd)
{
    const int threads = ThreadCount();
    OpenAndWaitForWorkers();
    device.closeMaster();
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.hangups == 1; }, Patience));
    // The receive worker ends; the idle transmit worker ends at its next write.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ThreadCount() == threads + 1; }, Patience));
    EXPECT_TRUE(Send(port, "lost"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ThreadCount() == threads; }, Patience));
    Settle();
    EXPECT_EQ(events.hangups, 1);
    EXPECT_FALSE(Send(port, "lost"));
    EXPECT_TRUE(port.IsOpen());   // the owner closes it
    port.CloseComm();
}

TEST_F(SerialTransferTest, NotificationsOfAClosedOrDestroyedPortAreDropped)
{
    OpenAndWaitForWorkers();
    ASSERT_TRUE(device.write("late"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));   // posted, not yet delivered
    port.CloseComm();
    Settle();
    EXPECT_TRUE(events.blocks.empty());

    auto doomed = std::make_unique<TCommEr>();
    doomed->SetCommName("COM1");
    Recorded lost;
    lost.Attach(*doomed);
    doomed->OpenComm();
    ASSERT_TRUE(device.write("later"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    doomed.reset();   // closes the port its owner left open
    Settle();
    EXPECT_TRUE(lost.blocks.empty());
    EXPECT_EQ(lost.sendEmpty, 0);

    port.OnReceiveData = nullptr;   // bytes nobody listens to are dropped quietly
    port.OpenComm();
    ASSERT_TRUE(device.write("unheard"));
    Settle();
    port.CloseComm();
}
