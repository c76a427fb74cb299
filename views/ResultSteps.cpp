#include "views/ResultSteps.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "store/OrbADat.h"

#include <algorithm>
#include <optional>

namespace {

ResultRecord RecordAt(const uint8_t *page, int index)
{
    ResultRecord record;
    std::copy_n(page + ResultRecordBytes * index, ResultRecordBytes, record.bytes.begin());
    return record;
}

InstrumentReadMark MarkAt(int next, const std::optional<ResultRecord> &lastRead)
{
    return {next, next > 0 ? lastRead : std::nullopt};
}

// Why a step cannot begin, before anything is read or changed.
std::optional<StepEnd> StepRefused(const ReadRecordsFn &read, int next)
{
    if (ResultCount >= ResultSlots)
        return StepEnd::StoreFull;
    if (next >= InstrumentRecords)
        return StepEnd::MemoryEnd;
    if (!ReadMark || !ReadMark->lastRead)
        return std::nullopt;
    if (!read(next - 1, 1))
        return StepEnd::NoAnswer;
    if (RecordAt(TransferBuffer.data(), 0) != *ReadMark->lastRead)
        return StepEnd::Changed;
    return std::nullopt;
}

} // namespace

void MarkSlotsEmpty(int first, int end)
{
    for (int slot = std::max(first, 0); slot < std::min(end, ResultSlots); ++slot)
        Results[slot].bytes[0] = 0xFF;
}

bool StartInput(const ReadRecordsFn &read)
{
    const int today = TodayDateCode();
    if (!read(0, StartRecords))
        return false;
    RefDateCode = today;
    MarkSlotsEmpty(0, NumberedGridRows);
    int next = StartRecords;
    for (int slot = 0; slot < StartRecords; ++slot) {
        Results[slot] = RecordAt(TransferBuffer.data(), slot);
        if (Results[slot].IsEnd() && next == StartRecords)
            next = slot;
    }
    ReadMark = MarkAt(next, next > 0 ? std::optional(Results[next - 1]) : std::nullopt);
    ResultCount = StartRecords;
    return true;
}

PageTake TakePage(const uint8_t *page, int count)
{
    PageTake take;
    for (int index = 0; index < count; ++index) {
        const ResultRecord record = RecordAt(page, index);
        if (record.IsEnd()) {
            take.stop = index;
            break;
        }
        if (record.ListNo() > ListCount) {
            ++take.invalid;
        } else if (IsStale(record.DateCode(), RefDateCode)) {
            ++take.earlier;
        } else if (ResultCount >= ResultSlots) {
            take.full = true;
            take.stop = index;
            break;
        } else {
            Results[ResultCount++] = record;
            ++take.stored;
        }
    }
    return take;
}

StepReport StepInput(const ReadRecordsFn &read, const ShowSlotsFn &show)
{
    StepReport report;
    int next = NextInstrumentRecord();
    if (const std::optional<StepEnd> refused = StepRefused(read, next)) {
        report.end = *refused;
        return report;
    }
    std::optional<ResultRecord> lastRead = ReadMark ? ReadMark->lastRead : std::nullopt;

    // "Старт" counts its 41 records as read, end records among them.
    ScanResults();
    RefDateCode = TodayDateCode();
    for (;;) {
        if (ResultCount >= ResultSlots || next >= InstrumentRecords) {
            report.end = ResultCount >= ResultSlots ? StepEnd::StoreFull : StepEnd::MemoryEnd;
            return report;
        }
        const int count = std::min(ResultPageRecords, InstrumentRecords - next);
        if (!read(next, count)) {
            report.end = StepEnd::NoAnswer;
            return report;
        }
        const int first = ResultCount;
        const PageTake take = TakePage(TransferBuffer.data(), count);
        show(first, take.stored);
        report.stored += take.stored;
        report.earlier += take.earlier;
        report.invalid += take.invalid;

        const int passed = take.stop < 0 ? count : take.stop;
        if (passed > 0)
            lastRead = RecordAt(TransferBuffer.data(), passed - 1);
        next += passed;
        ReadMark = MarkAt(next, lastRead);
        if (take.stop >= 0) {
            EndFound = !take.full;
            report.end = take.full ? StepEnd::StoreFull : StepEnd::EndRecord;
            return report;
        }
        // Later pages are judged against the last record stored.
        ScanResults();
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
    case StepEnd::Changed:
        return QStringLiteral("Записи в памяти прибора не совпадают с принятыми ранее: память прибора "
                              "очищена или подключен другой прибор. Ничего не принято.\n"
                              "Нажмите \"Старт\", чтобы принять записи от начала памяти прибора.");
    case StepEnd::EndRecord:
        break;
    }
    return {};
}

QString StepTallyText(const StepReport &report)
{
    QString text = QStringLiteral("Принято записей: %1.").arg(report.stored);
    if (report.earlier > 0)
        text += QStringLiteral("\nПропущено тестов прошлых месяцев: %1.").arg(report.earlier);
    if (report.invalid > 0)
        text += QStringLiteral("\nПропущено записей с неверным номером списка: %1.").arg(report.invalid);
    return text;
}
