#pragma once
// The request variables and flags through which every window asks the
// exchange window for a transfer with the instrument. A caller fills them,
// shows the exchange window modally and then reads NoLink; the engine (and
// the breath-volume window's own polling) write them while an exchange runs.

#include <array>
#include <cstdint>

// What the first frame of an exchange is (ExchMode).
enum ExchangeMode : int32_t {
    ModeReadMemory = 0,        // command 1, n = low byte of ExchCount
    ModeReadClock = 1,         // command 3, ten registers from the low address byte
    ModeReadMemory2 = 2,       // command 2, otherwise as mode 0
    ModeWriteMemory = 3,       // command 5 in 8-byte frames from TransferBuffer
    ModeWriteClock = 6,        // command 7, ClockImage two registers at a time
    ModeWriteCorrection = 10,  // command 7 at 24, the correction byte twice
    ModeReadCorrection = 11,   // command 3 at 24, one byte
    ModeClearRegisters = 12,   // command 7 at 32 with two zero bytes
};

constexpr int TransferBufferSize = 3000;   // an erase block of the result memory
constexpr int TransferWordCount = 128;     // words of the first 256 buffer bytes

// The request.
extern int32_t ExchAddress;      // start address; during a transfer the frame in flight
extern uint8_t ExchAddrLo;       // low and high byte of ExchAddress as put into frames
extern uint8_t ExchAddrHi;
extern int32_t ExchCount;        // byte count of the transfer
extern int32_t ExchMode;         // what the first frame is (see the exchange window)
extern int32_t WriteOffset;      // index in TransferBuffer of the next bytes to write
extern int32_t WriteRemaining;   // bytes still to write

// The data.
extern std::array<uint8_t, TransferBufferSize> TransferBuffer;
extern std::array<int32_t, TransferWordCount> TransferWords;   // little-endian words of TransferBuffer
extern std::array<uint8_t, 7> ClockImage;   // clock registers 25..31 to write, packed BCD
extern uint8_t ClockByte1;                  // the two data bytes of the register frame in flight
extern uint8_t ClockByte2;
extern uint8_t CorrectionByte;              // clock correction byte to write (mode 10)

// Step counts of the clock correction, one per entry of the panel's
// "error per month" list.
inline constexpr std::array<uint8_t, 13> CorrectionSteps{1, 2, 3, 4, 5, 7, 8, 10, 12, 15, 20, 25, 31};

// Flags.
extern bool ExchDone;         // the exchange has finished
extern bool ReplyBad;         // the last reply did not echo the address
extern bool NoLink;           // the instrument did not answer (cleared when the port opens)
extern bool AwaitReply;       // a request is out and its reply awaited
extern bool StopExch;         // the operator asked to stop a repeating exchange
extern bool PanelLinkTest;    // the instrument panel's endless link probe
extern bool ServiceLinkTest;  // the service window's endless link probe
extern bool WatchMode;        // the clock watch: show the progress panel and the stop button

// Instrument number, word 21 of the sensor table as last read; known once a
// sensor table has been read since the start.
extern int InstrumentNumber;
extern bool InstrumentNumberKnown;

// Puts every value above back to its value at start-up.
void ResetExchangeVariables();
