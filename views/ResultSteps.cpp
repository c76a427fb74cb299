#include "views/ResultSteps.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "store/OrbADat.h"

#include <algorithm>

namespace {

ResultRecord RecordAt(const uint8_t *page, int index)
{
    ResultRecord record;
    std::copy_n(page + ResultRecordBytes * index, ResultRecordBytes, record.bytes.begin());
    return record;
}

bool Accepted(const ResultRecord &record, bool firstPage)
{
    if (record.ListNo() <= ListCount) {
        return firstPage ? record.DateCode() >= RefDateCode
                         : !IsStale(record.DateCode(), RefDateCode);
    }
    return record.IsEnd();
}

} // namespace

void MarkSlotsEmpty(int count)
{
    const int end = std::clamp(count, 0, ResultSlots);
    for (int slot = 0; slot < end; ++slot)
        Results[slot].bytes[0] = 0xFF;
}

bool StartInput(const ReadRecordsFn &read)
{
    const int today = TodayDateCode();
    if (!read(0, StartRecords))
        return false;
    RefDateCode = today;
    MarkSlotsEmpty(ResetSlots);
    for (int slot = 0; slot < StartRecords; ++slot)
        Results[slot] = RecordAt(TransferBuffer.data(), slot);
    ResultCount = StartRecords;
    return true;
}

int TakePage(const uint8_t *page, int count, bool firstPage, bool &full)
{
    full = false;
    int taken = 0;
    for (int index = 0; index < count; ++index) {
        const ResultRecord record = RecordAt(page, index);
        if (!Accepted(record, firstPage))
            continue;
        if (ResultCount + taken >= ResultSlots) {
            full = true;
            break;
        }
        Results[ResultCount + taken++] = record;
    }
    return taken;
}

StepEnd StepInput(const ReadRecordsFn &read, const ShowSlotsFn &show)
{
    RefDateCode = TodayDateCode();
    int next = ResultCount;
    for (bool firstPage = true;; firstPage = false) {
        if (ResultCount >= ResultSlots)
            return StepEnd::StoreFull;
        if (next >= InstrumentRecords)
            return StepEnd::MemoryEnd;
        const int count = std::min(ResultPageRecords, InstrumentRecords - next);
        if (!read(next, count))
            return StepEnd::NoAnswer;

        bool full = false;
        const int taken = TakePage(TransferBuffer.data(), count, firstPage, full);
        show(ResultCount, taken);
        ResultCount += taken;
        next += count;

        ScanResults();
        if (EndFound)
            return StepEnd::EndRecord;
        if (full)
            return StepEnd::StoreFull;
    }
}

QString StepEndReport(StepEnd end)
{
    switch (end) {
    case StepEnd::NoAnswer:
        return QStringLiteral("Прием данных остановлен: прибор не передал очередную группу записей. "
                              "Записи, принятые до нее, оставлены.");
    case StepEnd::StoreFull:
        return QStringLiteral("Прием данных остановлен: заняты все %1 мест для записей.").arg(ResultSlots);
    case StepEnd::MemoryEnd:
        return QStringLiteral("Прием данных остановлен: прочитана вся память результатов прибора "
                              "(%1 записей).").arg(InstrumentRecords);
    case StepEnd::EndRecord:
        break;
    }
    return {};
}
