#pragma once
// Breath-test records and instrument memories for the tests of the results,
// statistics and lists windows, and a fixed "today" for them.

#include "store/ResultRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <vector>

// A record as the instrument writes it: year code (year - 2000) mod 16.
ResultRecord TestRecord(int list, int person, const QDateTime &when, int result = 0);
QByteArray RecordBytes(const ResultRecord &record);
QByteArray RecordBytes(const std::vector<ResultRecord> &records);

// An end-of-data record as the instrument's erased memory holds it.
ResultRecord EndRecord();

// A 64 KiB instrument memory, erased (0xFF), with `records` from record 0 on.
QByteArray MemoryWithRecords(const std::vector<ResultRecord> &records);

// Fixes the PC's date and time for the lifetime of the object.
class FixedToday {
public:
    explicit FixedToday(const QDateTime &now);
    ~FixedToday();
};
