// The virtual instrument driven in-process: replies, memory, registers,
// clock and the cutting of the byte stream into requests.

#include "vinst/DefaultMemory.h"
#include "vinst/Options.h"
#include "vinst/Responder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>

using namespace vinst;

namespace {

const CivilTime TestNow{2009, 3, 5, 14, 7, 30};

std::int64_t LocalMs(const CivilTime &t)
{
    return *FromCivil(t) * 1000;
}

class VinstInstrument : public ::testing::Test {
protected:
    // Every reply the instrument gives to `bytes`, one after another.
    Bytes ask(const Bytes &bytes)
    {
        Bytes replies;
        for (const Step &step : responder.feed(bytes))
            if (step.kind == Step::Reply)
                replies.insert(replies.end(), step.bytes.begin(), step.bytes.end());
        return replies;
    }

    Bytes readMemory(std::uint16_t address, std::uint8_t count)
    {
        const Bytes reply = ask(MakeReadFrame(ReadMemory, address, count));
        return Bytes(reply.begin() + 6, reply.end());
    }

    Bytes readRegisters(std::uint8_t address, std::uint8_t count = 10)
    {
        const Bytes reply = ask(MakeReadFrame(ReadRegisters, address, count));
        return Bytes(reply.begin() + 6, reply.end());
    }

    // The program's clock write: four frames at 25, 27, 29 and 31.
    void writeClock(const std::array<std::uint8_t, 7> &image)
    {
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t second = i < 3 ? image[2 * i + 1] : 0;
            ASSERT_EQ(ask(MakeRegisterWriteFrame(25 + 2 * i, image[2 * i], second)).size(), 8u);
        }
    }

    std::int64_t now = LocalMs(TestNow);
    Instrument instrument{BuildDefaultMemory(TestNow), [this] { return now; }};
    Responder responder{instrument, {}};
};

Bytes Hex(const char *text)
{
    Bytes out;
    for (std::istringstream in(text); in;) {
        unsigned value;
        if (in >> std::hex >> value)
            out.push_back(static_cast<std::uint8_t>(value));
    }
    return out;
}

}  // namespace

TEST_F(VinstInstrument, ReadRepliesHaveTheLengthsAndEchoesOfTheProtocol)
{
    const Bytes table = ask(Hex("3A 06 01 00 00 2E"));
    ASSERT_EQ(table.size(), 52u);
    EXPECT_EQ(Bytes(table.begin(), table.begin() + 6), Hex("3A 34 01 00 00 2E"));
    EXPECT_EQ(table[6 + 2 * 21] | table[7 + 2 * 21] << 8, DefaultInstrumentNumber);
    EXPECT_EQ(table[6 + 2 * 22] | table[7 + 2 * 22] << 8, DefaultSensorNumber);
    EXPECT_EQ(table[6 + 2 * 17] | table[7 + 2 * 17] << 8, DefaultVolumeCoefficient);

    const Bytes correction = ask(Hex("3A 06 03 18 00 02"));
    ASSERT_EQ(correction.size(), 7u);
    EXPECT_EQ(correction[3], 0x18);

    const struct {
        const char *request;
        std::size_t length;
    } cases[] = {
        {"3A 06 01 15 00 02", 8},    {"3A 06 01 6E 00 08", 14},  {"3A 06 01 80 00 80", 134},
        {"3A 06 02 00 02 F0", 246},  {"3A 06 02 00 03 F0", 246}, {"3A 06 01 F6 24 F6", 252},
        {"3A 06 03 19 00 0A", 16},   {"3A 06 03 4E 00 0A", 16},  {"3A 06 03 C0 00 04", 10},
        {"3A 06 03 94 00 0A", 16},   {"3A 06 03 0B 00 0A", 16},
    };
    for (const auto &c : cases) {
        const Bytes request = Hex(c.request);
        const Bytes reply = ask(request);
        ASSERT_EQ(reply.size(), c.length) << c.request;
        EXPECT_EQ(reply[0], 0x3A);
        EXPECT_EQ(reply[2], request[2]) << c.request;
        EXPECT_EQ(reply[3], request[3]) << c.request;
        EXPECT_EQ(reply[4], request[4]) << c.request;
        if (request[2] != ReadRegisters) {
            EXPECT_EQ(Bytes(reply.begin() + 6, reply.end()),
                      instrument.memory().read(static_cast<std::uint16_t>(request[3] | request[4] << 8), request[5]));
        }
    }
}

TEST_F(VinstInstrument, MemoryWritesEchoTheFrameAndReadBack)
{
    const Bytes frame = Hex("3A 0E 05 00 0C 08 A5 B3 61 BD 6F B3 20 20");
    EXPECT_EQ(ask(frame), frame);
    EXPECT_EQ(readMemory(3072, 8), Hex("A5 B3 61 BD 6F B3 20 20"));

    // The program's 46-byte write: 8-byte frames every 4 bytes, then 6 at 40.
    Bytes table(46);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint8_t>(200 - i);
    for (std::size_t at = 0; at + 8 <= table.size(); at += 4)
        ask(MakeWriteFrame(static_cast<std::uint16_t>(at), std::span(table).subspan(at, 8)));
    const Bytes last = MakeWriteFrame(40, std::span(table).subspan(40));
    EXPECT_EQ(Bytes(last.begin(), last.begin() + 6), Hex("3A 0C 05 28 00 06"));
    EXPECT_EQ(ask(last).size(), 12u);
    EXPECT_EQ(readMemory(0, 46), table);

    // Addresses wrap at the top of the 64 KiB.
    ask(MakeWriteFrame(0xFFFE, Hex("01 02 03 04")));
    EXPECT_EQ(readMemory(0xFFFE, 4), Hex("01 02 03 04"));
    EXPECT_EQ(instrument.memory().at(1), 0x04);
}

TEST_F(VinstInstrument, ClockIsSetInFourFramesAndRuns)
{
    writeClock({0x30, 0x07, 0x14, 0x00, 0x05, 0x03, 0x09});
    EXPECT_EQ(readRegisters(25), Hex("30 07 14 00 05 03 09 00 00 00"));
    now += 61'000;
    EXPECT_EQ(readRegisters(25, 3), Hex("31 08 14"));

    writeClock({0x59, 0x59, 0x23, 0x00, 0x31, 0x12, 0x09});
    now += 1'000;
    EXPECT_EQ(readRegisters(25, 7), Hex("00 00 00 00 01 01 10"));

    // A moment that does not exist stands still as written.
    writeClock({0x00, 0x00, 0x25, 0x00, 0x31, 0x04, 0x09});
    now += 5'000;
    EXPECT_EQ(readRegisters(25, 7), Hex("00 00 25 00 31 04 09"));
}

TEST_F(VinstInstrument, ClockStartsAtThePcTime)
{
    EXPECT_EQ(readRegisters(25, 7), Hex("30 07 14 00 05 03 09"));
}

TEST_F(VinstInstrument, CorrectionWriteChangesOnlyTheCorrectionRegister)
{
    const Bytes before = readRegisters(25, 7);
    EXPECT_EQ(ask(Hex("3A 09 07 18 00 02 34 34 92")), Hex("3A 08 07 18 00 02 34 34"));
    EXPECT_EQ(ask(Hex("3A 06 03 18 00 02")), Hex("3A 07 03 18 00 01 34"));
    EXPECT_EQ(readRegisters(25, 7), before);

    ask(MakeRegisterWriteFrame(32, 0x55, 0x66));
    EXPECT_EQ(ask(Hex("3A 09 07 20 00 02 00 00 32")).size(), 8u);
    EXPECT_EQ(readRegisters(32, 2)[0], 0x00);
}

TEST_F(VinstInstrument, CommandSevenWithABadChecksumIsIgnored)
{
    const std::vector<Step> steps = responder.feed(Hex("3A 09 07 18 00 02 34 34 93"));
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].kind, Step::Skipped);
    EXPECT_EQ(ask(Hex("3A 06 03 18 00 02")).back(), 10);  // the default, unchanged
}

TEST_F(VinstInstrument, RequestsAreFoundBehindGarbage)
{
    // Noise, a ':' with an impossible length, a torn request, then one whole.
    const Bytes stream = Hex("00 FF 3A 3A 99 3A 06 3A 06 01 00 00 2E");
    EXPECT_EQ(ask(stream).size(), 52u);

    // Byte by byte makes no difference.
    Bytes replies;
    for (std::uint8_t b : Hex("11 3A 06 03 18 00 02"))
        replies = ask({b});
    EXPECT_EQ(replies.size(), 7u);

    // A request that stopped half way is given up and does not swallow the next.
    ask(Hex("3A 0E 05 00 01"));
    ASSERT_TRUE(responder.hasPartial());
    ASSERT_EQ(responder.dropPartial().size(), 1u);
    EXPECT_EQ(ask(Hex("3A 06 01 15 00 02")).size(), 8u);
}

TEST_F(VinstInstrument, RandomBytesNeverBreakTheInstrument)
{
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        Bytes junk(1 + random() % 40);
        for (auto &b : junk)
            b = random() % 4 == 0 ? 0x3A : static_cast<std::uint8_t>(random());
        responder.feed(junk);
    }
    responder.dropPartial();
    EXPECT_EQ(ask(Hex("3A 06 01 00 00 2E")).size(), 52u);
}

TEST_F(VinstInstrument, FlowRegistersPlayABreath)
{
    int maxPressure = 0, lastPressure = 0, crossings = 0;
    int lastVolume = 0, lastTime = -1, maxVolume = 0;
    bool volumeFellDuringBreath = false;
    for (int tenth = 0; tenth < 120; ++tenth) {
        now += 100;
        const Bytes flow = readRegisters(11);
        const Bytes volume = readRegisters(0xC0, 4);
        const int pressure = flow[7] | flow[8] << 8;
        const int vol = volume[0] | volume[1] << 8;
        const int time = volume[2] | volume[3] << 8;
        EXPECT_EQ(time, lastTime < 0 ? time : lastTime + 1);
        if ((pressure > 10) != (lastPressure > 10))
            ++crossings;
        if (pressure > 10 && vol < lastVolume)
            volumeFellDuringBreath = true;
        maxPressure = std::max(maxPressure, pressure);
        maxVolume = std::max(maxVolume, vol);
        lastPressure = pressure, lastVolume = vol, lastTime = time;
    }
    EXPECT_EQ(crossings, 2);  // up and down once in a cycle
    EXPECT_GT(maxPressure, 100);
    EXPECT_FALSE(volumeFellDuringBreath);
    EXPECT_GT(maxVolume, 2000);
}

TEST(VinstFaultFlags, ShapeTheReplies)
{
    std::int64_t now = LocalMs(TestNow);
    Instrument instrument(BuildDefaultMemory(TestNow), [&] { return now; });
    const Bytes request = Hex("3A 06 01 15 00 02");
    auto run = [&](FaultFlags flags, int requests) {
        Responder responder(instrument, flags);
        std::vector<Step> steps;
        for (int i = 0; i < requests; ++i)
            for (Step &s : responder.feed(request))
                if (s.kind != Step::Received)
                    steps.push_back(std::move(s));
        return steps;
    };
    auto kinds = [](const std::vector<Step> &steps) {
        std::string text;
        for (const Step &s : steps)
            text += s.kind == Step::Reply ? 'R' : s.kind == Step::Withheld ? '-' : s.kind == Step::Unplug ? 'U' : '?';
        return text;
    };

    EXPECT_EQ(kinds(run({.silent = true}, 3)), "---");
    EXPECT_EQ(kinds(run({.answerFrom = 3}, 4)), "--RR");
    EXPECT_EQ(kinds(run({.dropEvery = 2}, 5)), "R-R-R");
    EXPECT_EQ(kinds(run({.unplugAfter = 2}, 4)), "RRU");

    const auto wrong = run({.wrongEcho = 1}, 2);
    EXPECT_NE(wrong[0].bytes[3], 0x15);
    EXPECT_EQ(wrong[1].bytes[3], 0x15);

    const auto noisy = run({.noise = 5, .truncate = 2}, 1);
    ASSERT_EQ(noisy[0].bytes.size(), 5u + 8u - 2u);
    EXPECT_EQ(std::count(noisy[0].bytes.begin(), noisy[0].bytes.begin() + 5, 0x3A), 0);
    EXPECT_EQ(noisy[0].bytes[5], 0x3A);

    EXPECT_EQ(run({.splitGapMs = 30}, 1)[0].splitAt, 4u);
    EXPECT_EQ(run({}, 1)[0].splitAt, 0u);
}

TEST(VinstDefaultMemory, HoldsARealisticHistory)
{
    const Memory memory = BuildDefaultMemory(TestNow);
    EXPECT_EQ(DisplayName("Иванов"), Hex("A5 B3 61 BD 6F B3 20 20 20 20 20 20 20 20 20 20"));
    EXPECT_EQ(memory.read(128, 16), DisplayName("Водители"));

    // Records: valid, oldest first, up to now, the last ones of this month,
    // followed by one end record and erased memory.
    int erasedPersons = 0;
    for (int list = 1; list <= 8; ++list)
        for (int slot = 0; slot < 64; ++slot)
            erasedPersons += memory.at(static_cast<std::uint16_t>(1024 * list + 16 * slot)) == 0xFF;
    EXPECT_GT(erasedPersons, 8);

    std::size_t count = 0;
    std::uint32_t previous = 0;
    Bytes last;
    for (;; ++count) {
        const Bytes r = memory.read(static_cast<std::uint16_t>(9216 + 6 * count), 6);
        if (r[0] >= 128) {
            EXPECT_EQ(r[0], mem::EndOfData);
            break;
        }
        ASSERT_LE(r[0], 8);
        if (r[0] > 0) {
            EXPECT_NE(memory.at(static_cast<std::uint16_t>(1024 * r[0] + 16 * r[1])), 0xFF) << count;
        }
        const int month = r[2] & 15, day = r[3] >> 3, hour = (r[3] & 7) * 4 + (r[4] >> 6), minute = r[4] & 63;
        ASSERT_TRUE(month >= 1 && month <= 12 && day >= 1 && hour < 24 && minute < 60) << count;
        const std::uint32_t when = ((r[2] * 32u + day) * 24 + hour) * 60 + minute;
        EXPECT_GE(when, previous) << count;
        previous = when;
        last = r;
    }
    EXPECT_GT(count, 250u);
    EXPECT_EQ(last[2], 0x93);                                 // March 2009: year code 9
    EXPECT_EQ(last[3] >> 3, 5);                               // today
    EXPECT_LE((last[3] & 7) * 4 * 60 + (last[4] >> 6) * 60 + (last[4] & 63), 14 * 60 + 7);
    const Bytes rest = memory.read(static_cast<std::uint16_t>(9216 + 6 * count + 6), 64);
    EXPECT_EQ(std::count(rest.begin(), rest.end(), 0xFF), 64);
}

TEST(VinstMemoryImage, IsSavedAndLoadedWhole)
{
    const std::string dir = ::testing::TempDir();
    const std::string path = dir + "/image-test.mem";
    Memory memory;
    memory.write(0x1234, Hex("01 02 03"));
    std::string error;
    ASSERT_TRUE(SaveMemoryImage(memory, path, error)) << error;
    const auto loaded = LoadMemoryImage(path, error);
    ASSERT_TRUE(loaded.has_value()) << error;
    EXPECT_EQ(loaded->bytes(), memory.bytes());

    // Anything but a whole image is refused, and the file stays as it is.
    std::FILE *file = std::fopen(path.c_str(), "wb");
    std::fputs("not an image", file);
    std::fclose(file);
    EXPECT_FALSE(LoadMemoryImage(path, error).has_value());
    EXPECT_FALSE(error.empty());
    std::remove(path.c_str());
}

TEST(VinstCommandLine, TakesEveryFlagAndRefusesNonsense)
{
    std::string error;
    const auto options = ParseOptions({"--dir", "/x", "--port", "COM3", "--memory", "m", "--log", "l",
                                       "--no-pace", "--silent", "--answer-from", "2", "--drop-every", "3",
                                       "--wrong-echo", "4", "--noise", "5", "--split-gap", "6",
                                       "--truncate", "7", "--unplug-after", "8"},
                                      error);
    ASSERT_TRUE(options.has_value()) << error;
    EXPECT_EQ(options->port, "COM3");
    EXPECT_FALSE(options->paced);
    const FaultFlags &f = options->faults;
    EXPECT_TRUE(f.silent);
    EXPECT_EQ(std::vector<int>({f.answerFrom, f.dropEvery, f.wrongEcho, f.noise, f.splitGapMs, f.truncate,
                                f.unplugAfter}),
              std::vector<int>({2, 3, 4, 5, 6, 7, 8}));

    for (const std::vector<std::string> &bad : std::vector<std::vector<std::string>>{
             {"--dir", "/x"},
             {"--dir", "/x", "--port", "../COM1"},
             {"--dir", "/x", "--port", "COM1", "--noise"},
             {"--dir", "/x", "--port", "COM1", "--noise", "-1"},
             {"--dir", "/x", "--port", "COM1", "--noise", "5x"},
             {"--dir", "/x", "--port", "COM1", "--loud"}}) {
        error.clear();
        EXPECT_FALSE(ParseOptions(bad, error).has_value()) << bad.back();
        EXPECT_FALSE(error.empty());
    }
}

TEST(VinstCommandLine, HelpNeedsNothingElseAndListsEveryOption)
{
    std::string error;
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"--dir", "/x", "--help"}}) {
        const auto options = ParseOptions(args, error);
        ASSERT_TRUE(options.has_value()) << error;
        EXPECT_TRUE(options->help);
    }
    const std::string usage = UsageText("orba-virtual-instrument");
    EXPECT_EQ(usage.rfind("usage: orba-virtual-instrument ", 0), 0u);
    for (const char *flag : {"--dir", "--port", "--memory", "--log", "--no-pace", "--silent", "--answer-from",
                             "--drop-every", "--wrong-echo", "--noise", "--split-gap", "--truncate",
                             "--unplug-after", "--help"})
        EXPECT_NE(usage.find(flag), std::string::npos) << flag;
}
