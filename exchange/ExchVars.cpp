#include "exchange/ExchVars.h"

int32_t ExchAddress;
uint8_t ExchAddrLo;
uint8_t ExchAddrHi;
int32_t ExchCount;
int32_t ExchMode;
int32_t WriteOffset;
int32_t WriteRemaining;

std::array<uint8_t, TransferBufferSize> TransferBuffer;
std::array<int32_t, TransferWordCount> TransferWords;
std::array<uint8_t, 7> ClockImage;
uint8_t ClockByte1;
uint8_t ClockByte2;
uint8_t CorrectionByte;

bool ExchDone;
bool ReplyBad;
bool NoLink;
bool AwaitReply;
bool StopExch;
bool PanelLinkTest;
bool ServiceLinkTest;
bool WatchMode;

int InstrumentNumber;
bool InstrumentNumberKnown;

void ResetExchangeVariables()
{
    ExchAddress = 0;
    ExchAddrLo = 0;
    ExchAddrHi = 0;
    ExchCount = 1;
    ExchMode = ModeReadMemory;
    WriteOffset = 0;
    WriteRemaining = 1;

    TransferBuffer.fill(0);
    TransferWords.fill(0);
    ClockImage.fill(0);
    ClockByte1 = 0;
    ClockByte2 = 0;
    CorrectionByte = CorrectionSteps[0];

    ExchDone = false;
    ReplyBad = false;
    NoLink = false;
    AwaitReply = false;
    StopExch = true;
    PanelLinkTest = false;
    ServiceLinkTest = false;
    WatchMode = false;

    InstrumentNumber = 1;
    InstrumentNumberKnown = false;
}

namespace {
// The values are set once at start-up, from the same function that puts them
// back.
const bool ExchangeVariablesReady = (ResetExchangeVariables(), true);
} // namespace
