#include "vinst/Runner.h"

#include "vinst/DefaultMemory.h"
#include "vinst/Port.h"
#include "vinst/TrafficLog.h"

#include <algorithm>
#include <cstdio>
#include <poll.h>
#include <sys/stat.h>
#include <thread>

namespace vinst {

namespace {

// A request whose bytes stop arriving for this long is given up.
constexpr int PartialFrameTimeoutMs = 200;
// How long to wait before looking again while the line has no other end.
constexpr int HangupRetryMs = 50;
// How long a last reply may take to be read before the line goes.
constexpr int UnplugDrainMs = 1000;

bool FileExists(const std::string &path)
{
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0;
}

std::optional<Memory> StartingMemory(const Options &options, std::string &error)
{
    if (!options.startFile.empty())
        return LoadMemoryImage(options.startFile, error);
    if (!options.memoryFile.empty() && FileExists(options.memoryFile))
        return LoadMemoryImage(options.memoryFile, error);
    return BuildDefaultMemory(ToCivil(PcLocalMilliseconds() / 1000));
}

class Player {
public:
    Player(const Options &options, Instrument &instrument, VirtualPort &port, TrafficLog &log)
        : m_options(options), m_instrument(instrument), m_port(port), m_log(log),
          m_responder(instrument, options.faults)
    {
    }

    // Returns when `stopFd` becomes readable.
    void run(int stopFd)
    {
        std::uint8_t buffer[4096];
        while (true) {
            const bool listening = m_port.isOpen();
            pollfd fds[3] = {{stopFd, POLLIN, 0},
                             {listening ? m_port.fd() : -1, POLLIN, 0},
                             {listening ? m_port.openingsFd() : -1, POLLIN, 0}};
            const int timeout = listening && m_responder.hasPartial() ? PartialFrameTimeoutMs : -1;
            const int ready = ::poll(fds, 3, timeout);
            if (fds[0].revents != 0)
                return;
            if (fds[2].revents != 0)
                m_port.noteOpenings();
            if (ready == 0) {
                carryOut(m_responder.dropPartial());
            } else if (fds[1].revents != 0) {
                const std::size_t n = m_port.receive(buffer, sizeof buffer);
                if (n > 0)
                    carryOut(m_responder.feed(std::span(buffer, n)));
                else
                    ::poll(fds, 1, HangupRetryMs);  // no other end: look again later
            }
        }
    }

private:
    void carryOut(const std::vector<Step> &steps)
    {
        for (const Step &step : steps)
            carryOut(step);
    }

    void carryOut(const Step &step)
    {
        const std::int64_t now = m_instrument.now();
        switch (step.kind) {
        case Step::Received:
            m_log.bytes(now, "RX", step.bytes);
            break;
        case Step::Skipped:
            m_log.bytes(now, "SKIP", step.bytes);
            break;
        case Step::Withheld:
            m_log.note(now, "no reply (" + step.note + ")");
            break;
        case Step::Reply:
            m_log.bytes(now, "TX", step.bytes);
            sendReply(step);
            break;
        case Step::Unplug:
            m_log.note(now, "unplugged");
            m_port.waitUntilTaken(UnplugDrainMs);
            m_port.unplug();
            break;
        }
    }

    void sendReply(const Step &step)
    {
        const std::span<const std::uint8_t> bytes(step.bytes);
        if (step.splitAt == 0) {
            m_port.send(bytes, m_options.paced);
            return;
        }
        m_port.send(bytes.first(step.splitAt), m_options.paced);
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.faults.splitGapMs));
        m_port.send(bytes.subspan(step.splitAt), m_options.paced);
    }

    const Options &m_options;
    Instrument &m_instrument;
    VirtualPort &m_port;
    TrafficLog &m_log;
    Responder m_responder;
};

}  // namespace

int RunInstrument(const Options &options, int stopFd)
{
    std::string error;
    std::optional<Memory> memory = StartingMemory(options, error);
    if (!memory) {
        std::fprintf(stderr, "vinst: %s\n", error.c_str());
        // A dump asked for by name that cannot be used is a wrong command line.
        return options.startFile.empty() ? 1 : 2;
    }
    TrafficLog log;
    if (!options.logFile.empty() && !log.open(options.logFile)) {
        std::fprintf(stderr, "vinst: cannot write the log %s\n", options.logFile.c_str());
        return 1;
    }
    VirtualPort port;
    if (!port.open(options.dir + "/" + options.port, error)) {
        std::fprintf(stderr, "vinst: %s\n", error.c_str());
        return 1;
    }
    Instrument instrument(std::move(*memory), PcLocalMilliseconds);
    if (!options.registersFile.empty() && FileExists(options.registersFile)) {
        const std::optional<Bytes> image =
            LoadImageFile(options.registersFile, sizeof(Registers::Image), "a register image", error);
        if (!image) {
            std::fprintf(stderr, "vinst: %s\n", error.c_str());
            return 1;
        }
        Registers::Image registers;
        std::copy(image->begin(), image->end(), registers.begin());
        instrument.registers().restore(registers, instrument.now());
    }
    log.note(instrument.now(), "ready on " + options.dir + "/" + options.port);
    std::puts("ready");
    std::fflush(stdout);

    Player(options, instrument, port, log).run(stopFd);

    port.unplug();
    log.note(instrument.now(), "stopped");
    if (!options.memoryFile.empty() && !SaveMemoryImage(instrument.memory(), options.memoryFile, error)) {
        std::fprintf(stderr, "vinst: %s\n", error.c_str());
        return 1;
    }
    if (!options.registersFile.empty()
        && !SaveImageFile(instrument.registers().snapshot(instrument.now()), options.registersFile, error)) {
        std::fprintf(stderr, "vinst: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace vinst
