// The lease on a serial port: one holder per port, named to whoever asks,
// and given back however the holder goes.

#include "serial/PortLease.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

TEST(PortLease, OneHolderPerPortUntilReleasedOrGone)
{
    PortLease first;
    PortLease second;
    EXPECT_TRUE(first.Acquire("COM3", "first"));
    EXPECT_FALSE(second.Acquire("COM3", "second"));
    EXPECT_EQ(PortHolder("COM3"), "first");
    EXPECT_FALSE(second.Held());

    // Another port is free for the second holder; a holder that moves to
    // another port gives the first one back.
    EXPECT_TRUE(second.Acquire("COM4", "second"));
    EXPECT_TRUE(first.Acquire("COM5", "first"));
    EXPECT_TRUE(PortHolder("COM3").isEmpty());
    EXPECT_EQ(PortHolder("COM4"), "second");

    // Released, or destroyed with its holder: the port is free again.
    second.Release();
    EXPECT_TRUE(PortHolder("COM4").isEmpty());
    EXPECT_TRUE(second.Acquire("COM3", "second"));
    auto scoped = std::make_unique<PortLease>();
    EXPECT_TRUE(scoped->Acquire("COM6", "scoped"));
    scoped.reset();
    EXPECT_TRUE(PortHolder("COM6").isEmpty());
    EXPECT_EQ(PortHolder("COM5"), "first");
    EXPECT_EQ(PortHolder("COM3"), "second");
}

} // namespace
