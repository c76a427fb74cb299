#include "exchange/Transfers.h"

#include "exchange/ExchVars.h"
#include "exchange/Obmen.h"
#include "store/OrbADat.h"

#include <algorithm>

namespace {

// The one shape of every exchange: request set, window shown, NoLink read.
bool RunExchange(int address, int count, int mode)
{
    TObmenF *window = ObmenWindow();
    if (!window)
        return false;
    ExchAddress = address;
    ExchCount = count;
    ExchMode = mode;
    window->exec();
    return !NoLink;
}

bool RunPlainExchange(int address, int count, int mode)
{
    PanelLinkTest = false;
    ServiceLinkTest = false;
    return RunExchange(address, count, mode);
}

} // namespace

void PlaceExchangeWindow(int top, int left)
{
    if (TObmenF *window = ObmenWindow())
        window->PlaceAt(top, left);
}

bool ReadMemory(int address, int count, int mode)
{
    return RunPlainExchange(address, count, mode);
}

bool WriteMemory(int address, int count)
{
    if (count < 0 || count > TransferBufferSize)
        return false;
    WriteOffset = 0;
    WriteRemaining = count;
    return RunPlainExchange(address, count, ModeWriteMemory);
}

bool ReadSensorTable() { return ReadMemory(SensorTableAddress, SensorTableBytes); }
bool WriteSensorTable() { return WriteMemory(SensorTableAddress, SensorTableBytes); }
bool ReadInstrumentMark() { return ReadMemory(InstrumentMarkAddress, MarkBytes); }
bool ReadProbeMark() { return ReadMemory(ProbeMarkAddress, MarkBytes); }
bool WriteInstrumentMark() { return WriteMemory(InstrumentMarkAddress, MarkBytes); }
bool ReadListNames() { return ReadMemory(ListNamesAddress, ListNamesBytes); }
bool WriteListNames() { return WriteMemory(ListNamesAddress, ListNamesBytes); }

bool ReadListPart(int list, int part)
{
    return ReadMemory(ListBytes * list + ListPartBytes * part, ListPartBytes);
}

bool WriteList(int list) { return WriteMemory(ListBytes * list, ListBytes); }

bool ReadSignalRecord(int address) { return ReadMemory(address, SignalRecordBytes, ModeReadMemory2); }

bool ReadResultPage(int record, int count)
{
    return ReadMemory(ResultMemoryStart + ResultRecordBytes * record, ResultRecordBytes * count);
}

bool EraseResultBlock(int address) { return WriteMemory(address, EraseBlockBytes); }

bool EraseResultMemory()
{
    std::fill_n(TransferBuffer.begin(), EraseBlockBytes, 0xFF);
    // A block that failed (or was abandoned) ends the erase: the operator
    // asked to stop, or the instrument is gone.
    for (int block = ResultMemoryStart; block < ResultMemoryStart + ResultMemoryBytes; block += EraseBlockBytes) {
        if (!EraseResultBlock(block))
            return false;
    }
    return true;
}

bool ReadMemoryPage(int address) { return ReadMemory(address, MemoryPageBytes); }

bool ReadClock() { return RunPlainExchange(ClockAddress, ClockRegisters, ModeReadClock); }
bool WriteClock() { return RunPlainExchange(ClockAddress, ClockRegisters, ModeWriteClock); }
bool ReadCorrection() { return RunPlainExchange(CorrectionAddress, 2, ModeReadCorrection); }

bool WriteCorrection(uint8_t correction)
{
    CorrectionByte = correction;
    return RunPlainExchange(CorrectionAddress, 2, ModeWriteCorrection);
}

bool ClearListRegisters() { return RunPlainExchange(ClearedPairAddress, 2, ModeClearRegisters); }

bool ReadLiveValues() { return RunPlainExchange(LiveValuesAddress, 12, ModeReadClock); }

bool ProbeLink(LinkProbeOwner owner, const ProbeProgress &progress)
{
    PanelLinkTest = owner == LinkProbeOwner::Panel;
    ServiceLinkTest = owner == LinkProbeOwner::Service;
    StopExch = false;
    if (TObmenF *window = ObmenWindow())
        window->OnProbeBeat = progress;
    const bool answered = RunExchange(LinkProbeAddress, 2, ModeReadMemory);
    if (ObmenF)
        ObmenF->OnProbeBeat = nullptr;
    PanelLinkTest = false;
    ServiceLinkTest = false;
    return answered;
}

std::optional<uint8_t> CorrectionByteFor(int stepIndex, bool clockSlow)
{
    if (stepIndex < 0 || stepIndex >= int(CorrectionSteps.size()))
        return std::nullopt;
    return static_cast<uint8_t>(CorrectionSteps[stepIndex] + (clockSlow ? 32 : 0));
}

void TakeSensorWords()
{
    std::copy_n(TransferWords.begin(), SensorTableSize, SensorTable.begin());
    InstrumentNumber = SensorTable[21];
    InstrumentNumberKnown = true;
    SensorNumber = SensorTable[22];
}

int VolumeCoefFromWord(int word)
{
    return word < 10 || word > 200 ? 75 : word;
}
