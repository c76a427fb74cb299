// The fast exchange against the virtual instrument: replies are taken as
// their last byte comes in and the next request waits its guard, while a bad
// line ends exactly as in the normal exchange.

#include "ExchangeRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Pace.h"
#include "exchange/Transfers.h"
#include "serial/CommLine.h"

#include <QTime>
#include <gtest/gtest.h>

namespace {

const QString NoLinkText = QStringLiteral("Нет связи с прибором");
const QByteArray TableRead = Hex("3A 06 01 00 00 2E");

QByteArray SensorMemory()
{
    QByteArray table(46, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = static_cast<char>(i * 5 + 1);
    return MemoryWith(0, table);
}

TEST(FastExchange, OnABadLineEndsAsTheNormalExchange)
{
    struct Case { QStringList flags; bool done; int frames; bool noLinkBox; };
    const Case cases[] = {
        {{}, true, 1, false},
        {{"--split-gap", "150"}, true, 1, false},
        {{"--wrong-echo", "2"}, true, 3, false},
        {{"--wrong-echo", "3"}, false, 3, true},
        {{"--answer-from", "3"}, true, 3, false},
        {{"--answer-from", "2", "--wrong-echo", "2"}, false, 3, true},
        {{"--silent"}, false, 3, true},
    };
    for (const Case &c : cases) {
        const std::string name = c.flags.join(' ').toStdString();
        ExchangeRig rig({.flags = c.flags, .memory = SensorMemory(), .fast = true});
        ASSERT_TRUE(rig.ready()) << name;
        TransferBuffer.fill(0xA5);
        EXPECT_EQ(ReadSensorTable(), c.done) << name;
        EXPECT_EQ(NoLink, !c.done) << name;
        EXPECT_EQ(rig.frames(), std::vector<QByteArray>(size_t(c.frames), TableRead)) << name;
        EXPECT_EQ(rig.messages.texts(), c.noLinkBox ? QStringList{NoLinkText} : QStringList{}) << name;
        EXPECT_EQ(Buffer(0, 46), c.done ? SensorMemory().left(46) : QByteArray(46, '\xA5')) << name;
        EXPECT_EQ(rig.window->Port->ReadIntervalTimeout(), ReadIntervalImmediate) << name;
    }
}

// The instrument logs each reply before it goes out and each request as it
// comes in: no request follows the reply before it sooner than the guard,
// within a transfer or from one transfer to the next.
TEST(FastExchange, EachRequestWaitsItsGuardBehindTheReplyBefore)
{
    ExchangeRig rig({.fast = true});
    ASSERT_TRUE(rig.ready());
    FillBuffer(QByteArray(40, '\x33'));
    ASSERT_TRUE(WriteMemory(0x300, 40));
    constexpr int Reads = 10;
    for (int i = 0; i < Reads; ++i)
        ASSERT_TRUE(ReadMemory(0x300 + 8 * i, 8));
    ASSERT_EQ(rig.frames().size(), 9u + Reads);

    QTime replied;
    int gaps = 0;
    for (const QString &line : rig.instrument->logLines()) {
        const QTime at = QTime::fromString(line.left(12), QStringLiteral("HH:mm:ss.zzz"));
        if (line.mid(13, 3) == QStringLiteral("TX ")) {
            replied = at;
        } else if (line.mid(13, 3) == QStringLiteral("RX ") && replied.isValid()) {
            EXPECT_GE(replied.msecsTo(at), FastExchangeGuardMs) << line.toStdString();
            ++gaps;
        }
    }
    EXPECT_EQ(gaps, 8 + Reads);
}

TEST(FastExchange, TheNormalExchangeKeepsItsReplyTimeOut)
{
    ExchangeRig rig({.memory = SensorMemory()});
    ASSERT_TRUE(rig.ready());
    FastExchange = true;
    ASSERT_TRUE(ReadSensorTable());
    EXPECT_EQ(rig.window->Port->ReadIntervalTimeout(), ReadIntervalImmediate);
    FastExchange = false;
    ASSERT_TRUE(ReadSensorTable());
    EXPECT_EQ(rig.window->Port->ReadIntervalTimeout(), 5u);   // the rig's own time-out
}

} // namespace
