#pragma once
// The breath-volume window's own exchange with the instrument: after one read
// of the device block it alternates two register reads without pause, the
// volume block (192) and the flow block (11), and every completed pair is one
// sample. The poller builds the frames, picks the replies out of the line as
// the exchange window does (exchange/Replies.h), and counts resends; the
// window does the sending, the timing and the showing.
//
// The poller keeps its request state to itself: the shared request variables
// belong to the exchange window and to whichever window is asking it for a
// transfer, and another window's request must not derail the polling (nor
// the polling overwrite a request in progress).

#include "exchange/Frames.h"
#include "exchange/Replies.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t DeviceBlockAddress = 148;   // read once when the polling starts; not used
constexpr uint8_t FlowBlockAddress = 11;      // ten bytes; bytes 7-8 the flow sensor's pressure
constexpr uint8_t VolumeBlockAddress = 192;   // volume in 0.5 ml and time in 0.1 s, two words

// What a polling request reads (the window's own exchange modes).
enum BreathPollMode : int32_t {
    PollFlowMode = 7,     // ten registers from the low address byte: 148 first, then 11
    PollVolumeMode = 8,   // the four registers at 192
};

// One sample as the instrument gave it.
struct FlowReading {
    int timeTenths = 0;     // instrument time in 0.1 s
    int pressure = 0;       // pressure-sensor units
    int volumeHalfMl = 0;   // exhaled volume in 0.5 ml
};

// Takes a sample from the flow block (ten bytes from register 11) and the
// volume block (four bytes from register 192).
FlowReading DecodeReading(const std::array<uint8_t, 10> &flowBlock, const std::array<uint8_t, 4> &volumeBlock);

enum class PollStop {
    None,
    Silence,     // three silent intervals
    WrongEcho,   // a frame sent three times, answered each time with a wrong echo
};

struct PollEvent {
    enum Kind {
        Send,     // put `frame` on the line and start the silence timer
        Sample,   // a pair of replies is complete: show and record `reading`
        Stopped,  // the polling has ended for `stop`
    } kind;
    RequestFrame frame{};
    FlowReading reading{};
    PollStop stop = PollStop::None;
};

class BreathPoller {
public:
    static constexpr int MaxRetries = 3;

    // The first request: the device block at 148.
    std::vector<PollEvent> Start();

    // Bytes from the line, in order of arrival.
    std::vector<PollEvent> Receive(const uint8_t *bytes, std::size_t count);

    // The silence timer ran out.
    std::vector<PollEvent> Silence();

    // Ends the polling from outside (the window closes).
    void Stop();

    bool Polling() const { return m_polling; }
    bool AwaitReply() const { return m_awaitReply; }
    const RequestFrame &Frame() const { return m_txFrame; }

private:
    void StartRequest(int32_t address, int32_t mode, std::vector<PollEvent> &out);
    void Resend(std::vector<PollEvent> &out);
    void TakeReply(std::vector<PollEvent> &out);
    void BadReply(std::vector<PollEvent> &out);
    void End(PollStop why, std::vector<PollEvent> &out);

    int32_t m_mode = PollFlowMode;
    RequestFrame m_txFrame;
    ReplyReader m_reader;
    int m_retryCount = 0;
    bool m_awaitReply = false;
    bool m_polling = false;
    std::array<uint8_t, 10> m_flowBlock{};
    std::array<uint8_t, 4> m_volumeBlock{};
};
