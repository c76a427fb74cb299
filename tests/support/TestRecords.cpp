#include "TestRecords.h"

#include "store/OrbADat.h"

ResultRecord TestRecord(int list, int person, const QDateTime &when, int result)
{
    const QDate date = when.date();
    const QTime time = when.time();
    ResultRecord record;
    record.bytes = {static_cast<uint8_t>(list),
                    static_cast<uint8_t>(person & 0x3F),
                    static_cast<uint8_t>(YearCodeOf(date.year()) << 4 | date.month()),
                    static_cast<uint8_t>(date.day() << 3 | time.hour() >> 2),
                    static_cast<uint8_t>((time.hour() & 3) << 6 | time.minute()),
                    static_cast<uint8_t>(result & 0x3F)};
    return record;
}

QByteArray RecordBytes(const ResultRecord &record)
{
    return QByteArray(reinterpret_cast<const char *>(record.bytes.data()), int(record.bytes.size()));
}

QByteArray RecordBytes(const std::vector<ResultRecord> &records)
{
    QByteArray bytes;
    for (const ResultRecord &record : records)
        bytes += RecordBytes(record);
    return bytes;
}

ResultRecord EndRecord()
{
    return ResultRecord{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
}

QByteArray MemoryWithRecords(const std::vector<ResultRecord> &records)
{
    QByteArray memory(65536, '\xFF');
    memory.replace(9216, int(records.size()) * 6, RecordBytes(records));
    return memory;
}

FixedToday::FixedToday(const QDateTime &now)
{
    FixPcNow(now);
}

FixedToday::~FixedToday()
{
    FixPcNow({});
}
