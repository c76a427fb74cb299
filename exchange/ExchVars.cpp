#include "exchange/ExchVars.h"

int32_t ExchAddress = 0;
uint8_t ExchAddrLo = 0;
uint8_t ExchAddrHi = 0;
int32_t ExchCount = 1;
int32_t ExchMode = 0;
int32_t WriteOffset = 0;
int32_t WriteRemaining = 1;

std::array<uint8_t, TransferBufferSize> TransferBuffer{};
std::array<int32_t, TransferWordCount> TransferWords{};
std::array<uint8_t, 7> ClockImage{};
uint8_t ClockByte1 = 0;
uint8_t ClockByte2 = 0;
uint8_t CorrectionByte = CorrectionSteps[0];

bool ExchDone = false;
bool ReplyBad = false;
bool NoLink = false;
bool AwaitReply = false;
bool StopExch = true;
bool PanelLinkTest = false;
bool ServiceLinkTest = false;
bool WatchMode = false;
bool VolumeStart = false;

int InstrumentNumber = 1;
