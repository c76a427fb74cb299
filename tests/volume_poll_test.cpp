// The breath-volume polling without a line: the requests it makes, how it
// assembles replies, and when it gives up.

#include "ExchangeRig.h"

#include "volume/BreathPoll.h"

#include <gtest/gtest.h>

namespace {

const QByteArray DeviceRequest = Hex("3A 06 03 94 00 0A");
const QByteArray VolumeRequest = Hex("3A 06 03 C0 00 04");
const QByteArray FlowRequest = Hex("3A 06 03 0B 00 0A");

QByteArray Sent(const PollEvent &event)
{
    return QByteArray(reinterpret_cast<const char *>(event.frame.bytes.data()), event.frame.length);
}

// The frames among the events, in order.
std::vector<QByteArray> SentFrames(const std::vector<PollEvent> &events)
{
    std::vector<QByteArray> frames;
    for (const PollEvent &event : events)
        if (event.kind == PollEvent::Send)
            frames.push_back(Sent(event));
    return frames;
}

std::vector<FlowReading> Samples(const std::vector<PollEvent> &events)
{
    std::vector<FlowReading> samples;
    for (const PollEvent &event : events)
        if (event.kind == PollEvent::Sample)
            samples.push_back(event.reading);
    return samples;
}

QByteArray Reply(uint8_t echo, const QByteArray &data)
{
    QByteArray reply = Hex("3A 00 03 00 00 00");
    reply[1] = char(6 + data.size());
    reply[3] = char(echo);
    reply[5] = char(data.size());
    return reply + data;
}

QByteArray DeviceReply()
{
    return Reply(148, QByteArray(10, '\x07'));
}

QByteArray VolumeReply(int halfMl, int tenths)
{
    const char data[4] = {char(halfMl & 0xFF), char(halfMl >> 8), char(tenths & 0xFF), char(tenths >> 8)};
    return Reply(192, QByteArray(data, 4));
}

QByteArray FlowReply(int pressure)
{
    QByteArray data(10, '\x55');
    data[7] = char(pressure & 0xFF);
    data[8] = char(pressure >> 8);
    return Reply(11, data);
}

std::vector<PollEvent> Feed(BreathPoller &poller, const QByteArray &bytes)
{
    return poller.Receive(reinterpret_cast<const uint8_t *>(bytes.constData()), bytes.size());
}

TEST(VolumePoll, DeviceBlockFirstThenVolumeAndFlowInTurn)
{
    BreathPoller poller;
    EXPECT_EQ(SentFrames(poller.Start()), std::vector{DeviceRequest});
    EXPECT_TRUE(poller.AwaitReply());

    // The device block starts the cycle without a sample: nothing fresh has
    // been read yet.
    std::vector<PollEvent> events = Feed(poller, DeviceReply());
    EXPECT_EQ(SentFrames(events), std::vector{VolumeRequest});
    EXPECT_TRUE(Samples(events).empty());

    events = Feed(poller, VolumeReply(2469, 57));
    EXPECT_EQ(SentFrames(events), std::vector{FlowRequest});
    EXPECT_TRUE(Samples(events).empty());

    // The pair is complete: the next request goes out before the sample.
    events = Feed(poller, FlowReply(0x0123));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(Sent(events[0]), VolumeRequest);
    ASSERT_EQ(events[1].kind, PollEvent::Sample);
    EXPECT_EQ(events[1].reading.timeTenths, 57);
    EXPECT_EQ(events[1].reading.volumeHalfMl, 2469);
    EXPECT_EQ(events[1].reading.pressure, 0x0123);

    // The volume block of the next pair replaces the last one.
    Feed(poller, VolumeReply(10, 60));
    const std::vector<FlowReading> next = Samples(Feed(poller, FlowReply(4)));
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].timeTenths, 60);
    EXPECT_EQ(next[0].volumeHalfMl, 10);
    EXPECT_EQ(next[0].pressure, 4);
}

TEST(VolumePoll, RepliesAreAssembledAcrossDeliveriesAndNoiseIsDropped)
{
    BreathPoller poller;
    poller.Start();
    Feed(poller, DeviceReply());

    // Noise before the start byte does not count toward the length; a reply
    // in pieces is put together.
    const QByteArray volume = VolumeReply(100, 20);
    EXPECT_TRUE(Feed(poller, Hex("00 FF 13") + volume.left(4)).empty());
    EXPECT_EQ(SentFrames(Feed(poller, volume.mid(4))), std::vector{FlowRequest});

    // What follows a reply in the same delivery came before the next request
    // went out: it answers nothing.
    std::vector<PollEvent> events = Feed(poller, FlowReply(30) + Hex("11 22") + VolumeReply(104, 21));
    EXPECT_EQ(SentFrames(events), std::vector{VolumeRequest});
    EXPECT_EQ(Samples(events).size(), 1u);

    // A reply the line delivers twice: the copy is passed over, so each later
    // request still goes out once.
    events = Feed(poller, VolumeReply(104, 21));
    EXPECT_EQ(SentFrames(events), std::vector{FlowRequest});
    EXPECT_TRUE(Feed(poller, VolumeReply(104, 21)).empty());
    EXPECT_EQ(SentFrames(Feed(poller, FlowReply(31))), std::vector{VolumeRequest});
    EXPECT_TRUE(Feed(poller, FlowReply(31)).empty());
    EXPECT_EQ(SentFrames(Feed(poller, VolumeReply(105, 22))), std::vector{FlowRequest});
}

TEST(VolumePoll, AFrameAnsweredThreeTimesWithAWrongEchoStops)
{
    BreathPoller poller;
    poller.Start();
    Feed(poller, DeviceReply());
    const QByteArray wrong = Reply(193, QByteArray(4, '\0'));

    for (int resend = 1; resend < BreathPoller::MaxRetries; ++resend)
        EXPECT_EQ(SentFrames(Feed(poller, wrong)), std::vector{VolumeRequest}) << resend;
    const std::vector<PollEvent> events = Feed(poller, wrong);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, PollEvent::Stopped);
    EXPECT_EQ(events[0].stop, PollStop::WrongEcho);
    EXPECT_FALSE(poller.Polling());
    EXPECT_TRUE(Feed(poller, VolumeReply(1, 1)).empty());

    // A right echo after wrong ones carries on, and the next frame has its
    // own three sendings.
    BreathPoller recovering;
    recovering.Start();
    Feed(recovering, DeviceReply());
    Feed(recovering, wrong);
    Feed(recovering, wrong);
    Feed(recovering, VolumeReply(0, 0));
    for (int resend = 1; resend < BreathPoller::MaxRetries; ++resend)
        EXPECT_EQ(SentFrames(Feed(recovering, Reply(12, QByteArray(10, '\0')))), std::vector{FlowRequest});
    EXPECT_TRUE(recovering.Polling());
}

TEST(VolumePoll, SilenceSendsAFrameThreeTimesInAll)
{
    BreathPoller poller;
    poller.Start();
    EXPECT_EQ(SentFrames(poller.Silence()), std::vector{DeviceRequest});
    EXPECT_EQ(SentFrames(poller.Silence()), std::vector{DeviceRequest});
    const std::vector<PollEvent> events = poller.Silence();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].stop, PollStop::Silence);
    EXPECT_FALSE(poller.AwaitReply());
    EXPECT_TRUE(poller.Silence().empty());

    // A resend drops the half reply that came before it.
    BreathPoller partial;
    partial.Start();
    Feed(partial, DeviceReply().left(9));
    partial.Silence();
    EXPECT_EQ(SentFrames(Feed(partial, DeviceReply())), std::vector{VolumeRequest});
}

TEST(VolumePoll, AReplyEndingLikeAnotherStartIsTakenWhenItComesAgain)
{
    // After a resend a reply whose last byte is a ':' may be a cut-short
    // reply with the next one starting: it is held, and refused when
    // nothing follows. The same bytes again answer the request.
    QByteArray flow = FlowReply(40);
    flow[15] = ':';
    BreathPoller poller;
    poller.Start();
    Feed(poller, DeviceReply());
    Feed(poller, VolumeReply(1, 1));
    poller.Silence();
    EXPECT_TRUE(Feed(poller, flow).empty());
    EXPECT_EQ(SentFrames(poller.Silence()), std::vector{FlowRequest});
    EXPECT_EQ(SentFrames(Feed(poller, flow)), std::vector{VolumeRequest});

    // A request alone on the line answered ends the wariness: such a reply
    // is then taken at once.
    Feed(poller, VolumeReply(2, 2));
    EXPECT_EQ(Samples(Feed(poller, flow)).size(), 1u);
}

} // namespace
