#pragma once
// How the results window takes records from the instrument: "Старт" reads
// the first page of the instrument's memory as it is, "Шаг" reads page after
// page and keeps the new records. The reading itself and the showing of
// slots are handed in, so that these steps run without a window.

#include <QString>
#include <cstdint>
#include <functional>

constexpr int InstrumentRecords = 1500;   // 9216 .. 18215 in the instrument
constexpr int StartRecords = 41;
constexpr int ResetSlots = 9000;          // slots that a reset of the grid marks empty

// Reads instrument records first .. first + count - 1 into TransferBuffer;
// true when the instrument answered.
using ReadRecordsFn = std::function<bool(int first, int count)>;
// Shows slots first .. first + n - 1 in the grid.
using ShowSlotsFn = std::function<void(int first, int n)>;

// Marks slots 0 .. count - 1 empty (ListNo 0xFF).
void MarkSlotsEmpty(int count);

// Reads the instrument's first 41 records. Only when they came: marks slots
// 0..8999 empty, stores the 41 records unfiltered in slots 0..40, sets
// ResultCount to 41 and RefDateCode to today's date code. A failed read
// changes nothing.
bool StartInput(const ReadRecordsFn &read);

// Takes a page of `count` records from `page` into the slots from
// ResultCount on and returns how many it took: records of lists 0..8 dated
// from RefDateCode on (the first page of a step) or not stale against it
// (later pages), and end records. Nothing is written past the last slot;
// `full` tells that a record had to be left out for that.
int TakePage(const uint8_t *page, int count, bool firstPage, bool &full);

enum class StepEnd {
    EndRecord,   // the instrument's end of data was reached
    NoAnswer,    // a page read failed; the pages before it are kept
    StoreFull,   // every slot of Results is taken
    MemoryEnd,   // the last record of the instrument's memory was read
};

// "Шаг": reads pages from record ResultCount on until the end record, a
// failed read, a full store or the end of the instrument's memory.
StepEnd StepInput(const ReadRecordsFn &read, const ShowSlotsFn &show);

// What the operator is told when a step ended other than at the end record.
QString StepEndReport(StepEnd end);
