#pragma once
// Every transfer the program makes with the instrument, one call each. A
// call fills the request variables, shows the exchange window modally and
// returns true when the instrument answered (NoLink clear). Read data are
// then in TransferBuffer and TransferWords; data to write are taken from the
// start of TransferBuffer (ClockImage for the clock).
//
// Instrument memory map: 0 sensor table (46 bytes), 110 and 120 the
// instrument and probe marks (8 bytes), 128 the eight list names (16 bytes
// each), 512 and 768 the signal records, 1024 x L list L (1024 bytes),
// 9216..18215 the test records (6 bytes each, 1500 slots). Internal
// registers: 24 clock correction, 25..31 clock, 32 a pair cleared by the
// lists window, 78 live values.

#include "store/OrbADat.h"

#include <cstdint>
#include <functional>
#include <optional>

// Memory addresses and sizes.
constexpr int SensorTableAddress = 0;
constexpr int SensorTableBytes = 2 * SensorTableRows;
constexpr int LinkProbeAddress = 21;
constexpr int InstrumentMarkAddress = 110;
constexpr int ProbeMarkAddress = 120;
constexpr int MarkBytes = 8;
constexpr int ListNamesAddress = 128;
constexpr int ListNamesBytes = 128;
constexpr int ListBytes = 1024;
constexpr int ListPartBytes = 128;
constexpr int FirstSignalRecord = 512;
constexpr int SecondSignalRecord = 768;
constexpr int SignalRecordBytes = 240;
constexpr int ResultMemoryStart = 9216;
constexpr int ResultRecordBytes = 6;
constexpr int ResultPageRecords = 41;
constexpr int ResultMemoryBytes = ResultRecordBytes * InstrumentRecords;
constexpr int EraseBlockBytes = 3000;
constexpr int MemoryPageBytes = 64;

// Internal registers.
constexpr int CorrectionAddress = 24;
constexpr int ClockAddress = 25;
constexpr int ClockRegisters = 7;
constexpr int ClearedPairAddress = 32;
constexpr int LiveValuesAddress = 78;

// Places the exchange window for the next exchanges (top edge, and left
// edge when given) so that it leaves the caller's controls in view.
void PlaceExchangeWindow(int top, int left = -1);

// The general shape: a read of `count` bytes (at most 249) at `address`,
// in mode 0 or 2, and a write of the first `count` bytes of TransferBuffer.
bool ReadMemory(int address, int count, int mode = 0);
bool WriteMemory(int address, int count);

bool ReadSensorTable();
bool WriteSensorTable();
bool ReadInstrumentMark();
bool ReadProbeMark();
bool WriteInstrumentMark();
bool ReadListNames();
bool WriteListNames();
bool ReadListPart(int list, int part);       // part 0..7: 128 bytes at 1024 list + 128 part
bool WriteList(int list);                    // 1024 bytes at 1024 list
bool ReadSignalRecord(int address);          // FirstSignalRecord or SecondSignalRecord
bool ReadResultPage(int record, int count = ResultPageRecords);   // records record .. record + count - 1
bool EraseResultBlock(int address);          // 3000 bytes of 0xFF from TransferBuffer
bool EraseResultMemory();                    // fills TransferBuffer, erases the three blocks; stops at a failed one
bool ReadMemoryPage(int address);            // 64 bytes

bool ReadClock();                            // registers 25..34 into TransferBuffer 0..9
bool WriteClock();                           // ClockImage into registers 25..31 (and 32 = 0)
bool ReadCorrection();                       // the correction byte into TransferBuffer 0
bool WriteCorrection(uint8_t correction);
bool ClearListRegisters();                   // registers 32 and 33 = 0
bool ReadLiveValues();                       // ten bytes from register 78

// The endless link probe of the instrument panel or of the service window:
// the same two-byte read again and again until the operator stops it. True
// when the instrument answered at least once. `progress` hears of every
// answer and of every silent interval while the probe runs.
enum class LinkProbeOwner { Panel, Service };
enum class ProbeBeat { Answered, Silent };
using ProbeProgress = std::function<void(ProbeBeat)>;
bool ProbeLink(LinkProbeOwner owner, const ProbeProgress &progress = {});

// The clock correction byte for an entry (0..12) of the "error per month"
// list: its step count, plus 32 when the clock runs slow. Nothing for any
// other index, so that no slip can send a step count of its own.
std::optional<uint8_t> CorrectionByteFor(int stepIndex, bool clockSlow);

// Takes a sensor table read: SensorTable 0..35 from TransferWords 0..35,
// InstrumentNumber and SensorNumber from words 21 and 22.
void TakeSensorWords();

// The breath-volume coefficient of sensor word 17: 75 unless 10..200.
int VolumeCoefFromWord(int word);
