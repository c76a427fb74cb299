#pragma once
// How the results window takes records from the instrument: "Старт" reads
// the first page of the instrument's memory as it is, "Шаг" reads page after
// page from the read mark (store/OrbADat.h) and keeps the new records. The
// reading itself and the showing of slots are handed in, so that these steps
// run without a window.

#include "store/ResultRecord.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

constexpr int StartRecords = 41;
// The grid's numbered rows 1..9000, one for each of slots 0..8999; a reset of
// the grid marks these slots empty.
constexpr int NumberedGridRows = 9000;

// Reads instrument records first .. first + count - 1 into TransferBuffer;
// true when the instrument answered.
using ReadRecordsFn = std::function<bool(int first, int count)>;
// Shows slots first .. first + n - 1 in the grid.
using ShowSlotsFn = std::function<void(int first, int n)>;

// A test that "Старт" or "Шаг" took into the store, with its index in the
// instrument's memory.
struct TakenTest {
    int index = 0;
    ResultRecord record;
};

// Hears, once per "Старт" or "Шаг" and after the store holds them, of the
// tests it took; `fromFirst` when it read the instrument from its first
// record (another instrument may be attached). Empty: nobody listens.
using TakenTestsFn = std::function<void(const std::vector<TakenTest> &taken, bool fromFirst)>;
extern TakenTestsFn OnTestsTaken;

// Marks slots first .. end - 1 empty (ListNo 0xFF).
void MarkSlotsEmpty(int first, int end);

// Reads the instrument's first 41 records. Only when they came: marks slots
// 0..8999 empty, stores the 41 records unfiltered in slots 0..40, sets
// ResultCount to 41, RefDateCode to today's date code and the read mark to
// the first end record among them (or 41). A failed read changes nothing.
bool StartInput(const ReadRecordsFn &read);

enum class StartEnd {
    Done,       // the store holds the instrument's first records
    Declined,   // the operator kept the stored tests
    NoAnswer,   // the instrument did not answer: nothing changed
};

// "Старт" as the operator meets it: a store that holds tests is discarded
// only after a question naming how many (default "Нет").
StartEnd StartAsked(const ReadRecordsFn &read);

// What was done with the records of a page.
struct PageTake {
    int stored = 0;
    int earlier = 0;   // tests of months before the reference, left out
    int invalid = 0;   // records of lists 9..127, left out
    int repeated = 0;  // tests the store holds already, left out
    int future = 0;    // tests dated after the PC's date, taken or not
    int stop = -1;     // the end record, or the first record without a slot; -1: none
    bool full = false; // stopped because every slot is taken
    std::vector<int> storedAt;   // the page's indices of the records stored
};

// The tests the store held when a step began, with how many copies of each,
// to leave out a record read a second time. Each record left out as read
// again uses up one copy, and records the step takes are not added: a test
// of the same bytes as a stored one (one person, one minute, one result) is
// kept once the stored copies are used up.
using StoredTests = std::unordered_map<uint64_t, int>;
StoredTests StoredTestsNow();

// Takes a page of `count` records into the slots from ResultCount on (moving
// ResultCount): the records of lists 0..8 that are not stale against
// RefDateCode and not in `stored`. Stops at the
// first end record, and before the first record that would pass the last
// slot.
PageTake TakePage(const uint8_t *page, int count, StoredTests *stored = nullptr);

enum class StepEnd {
    EndRecord,   // the instrument's end of data was reached
    NoAnswer,    // a read failed; the pages before it are kept
    StoreFull,   // every slot of Results is taken
    MemoryEnd,   // the last record of the instrument's memory was read
    Changed,     // the record before the read mark is not the one read, and the
                 // operator chose not to read this instrument: nothing taken
};

struct StepReport {
    StepEnd end = StepEnd::EndRecord;
    bool fromFirst = false;   // read from the first record: the operator chose it, or no place was kept,
                              // or the place was the first record
    int stored = 0;
    int earlier = 0;
    int invalid = 0;
    int repeated = 0;
    int future = 0;
};

// "Шаг": checks that the instrument still holds the record before the read
// mark (without that record: reads from the first record); when it does not,
// asks whether to read this instrument from its first record (default
// "Нет"). Then reads pages from the mark on until the end record, a failed
// read, a full store or the end of the instrument's memory, and moves the
// mark past what it read, always with the record before it.
StepReport StepInput(const ReadRecordsFn &read, const ShowSlotsFn &show);

// The questions of "Старт" on a filled store and of a step on a changed
// instrument.
QString StartQuestion(int storedTests);
QString ChangedQuestion();

// What the operator is told when a step ended other than at the end record.
QString StepEndReport(StepEnd end);

// What the box of a full store adds when the archive holds the tests: how to
// start a new results file without losing any.
QString FullStoreArchiveNote();

// The window's line about the last step: how many records it stored and how
// many it left out, and why.
QString StepTallyText(const StepReport &report);
