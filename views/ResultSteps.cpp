#include "views/ResultSteps.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "shell/Message.h"
#include "store/Archive.h"
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

uint64_t TestKey(const ResultRecord &record)
{
    uint64_t key = 0;
    for (uint8_t byte : record.bytes)
        key = key << 8 | byte;
    return key;
}

// Uses up one stored copy of `record`; false when none is left.
bool UseStoredCopy(StoredTests &stored, const ResultRecord &record)
{
    const auto found = stored.find(TestKey(record));
    if (found == stored.end() || found->second == 0)
        return false;
    --found->second;
    return true;
}

int TodayDateKey()
{
    const QDate today = PcNow().date();
    return DateKeyOf(today.year(), today.month(), today.day());
}

// The tests the store counts: those before the first end record.
int StoredTestCount()
{
    const int count = std::clamp(ResultCount, 0, ResultSlots);
    return int(std::find_if(Results.begin(), Results.begin() + count, [](const ResultRecord &record) {
                   return record.IsEnd();
               }) - Results.begin());
}

bool AskedYes(const QString &question)
{
    return ShowMessage({MessageKind::Warning, {}, question, {}, QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No})
           == QMessageBox::Yes;
}

// Where a step begins: the read mark when the instrument still holds the
// record before it, the instrument's first record when it does not and the
// operator wants this instrument read. A place without the record before it
// (a file of an earlier version) is no place in this instrument: the count it
// came from may hold tests of a memory erased since. Such a step reads from
// the first record too, leaving out the tests the store holds.
struct StepStart {
    std::optional<StepEnd> refused;
    int next = 0;
    std::optional<ResultRecord> lastRead;
    bool fromFirst = false;
    bool resumes = false;   // goes on from a step that was cut off
};

StepStart Refused(StepEnd end)
{
    StepStart start;
    start.refused = end;
    return start;
}

StepStart FromFirst()
{
    StepStart start;
    start.fromFirst = true;
    return start;
}

StepStart BeginStep(const ReadRecordsFn &read)
{
    StepStart start{std::nullopt, NextInstrumentRecord(), ReadMark ? ReadMark->lastRead : std::nullopt};
    if (start.next > 0 && !start.lastRead)
        return FromFirst();
    if (start.next > 0) {
        if (!read(start.next - 1, 1))
            return Refused(StepEnd::NoAnswer);
        if (RecordAt(TransferBuffer.data(), 0) != *start.lastRead)
            return AskedYes(ChangedQuestion()) ? FromFirst() : Refused(StepEnd::Changed);
    }
    start.resumes = start.next > 0 && ReadMark->cutOff;
    if (ResultCount >= ResultSlots)
        start.refused = StepEnd::StoreFull;
    else if (start.next >= InstrumentRecords)
        start.refused = StepEnd::MemoryEnd;
    return start;
}

void TellTaken(const std::vector<TakenTest> &taken, bool fromFirst)
{
    if (OnTestsTaken && !taken.empty())
        OnTestsTaken(taken, fromFirst);
}

} // namespace

TakenTestsFn OnTestsTaken;

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
    std::vector<TakenTest> taken;
    for (int slot = 0; slot < next; ++slot) {
        if (Results[slot].ListNo() <= ListCount)
            taken.push_back({slot, Results[slot]});
    }
    TellTaken(taken, true);
    return true;
}

StartEnd StartAsked(const ReadRecordsFn &read)
{
    const int stored = StoredTestCount();
    if (stored > 0 && !AskedYes(StartQuestion(stored)))
        return StartEnd::Declined;
    return StartInput(read) ? StartEnd::Done : StartEnd::NoAnswer;
}

StoredTests StoredTestsNow()
{
    StoredTests stored;
    const int count = std::clamp(ResultCount, 0, ResultSlots);
    stored.reserve(size_t(count));
    for (int slot = 0; slot < count; ++slot)
        ++stored[TestKey(Results[slot])];
    return stored;
}

PageTake TakePage(const uint8_t *page, int count, StoredTests *stored)
{
    PageTake take;
    const int todayKey = TodayDateKey();
    for (int index = 0; index < count; ++index) {
        const ResultRecord record = RecordAt(page, index);
        if (record.IsEnd()) {
            take.stop = index;
            break;
        }
        if (record.ListNo() > ListCount) {
            ++take.invalid;
            continue;
        }
        const bool repeated = stored && UseStoredCopy(*stored, record);
        const bool earlier = !repeated && IsStale(record.DateCode(), RefDateCode);
        if (!repeated && !earlier && ResultCount >= ResultSlots) {
            take.full = true;
            take.stop = index;
            break;
        }
        if (RecordDateKey(record) > todayKey)
            ++take.future;
        if (repeated) {
            ++take.repeated;
        } else if (earlier) {
            ++take.earlier;
        } else {
            Results[ResultCount++] = record;
            ++take.stored;
            take.storedAt.push_back(index);
        }
    }
    return take;
}

namespace {

StepReport StepPages(const ReadRecordsFn &read, const ShowSlotsFn &show, std::vector<TakenTest> &taken)
{
    StepReport report;
    const StepStart start = BeginStep(read);
    // A mark at the first record (a cleared memory, a new file) keeps no
    // record to tell this instrument from another one.
    report.fromFirst = start.fromFirst || start.next == 0;
    if (start.fromFirst)
        ReadMark = InstrumentReadMark{};
    if (start.refused) {
        report.end = *start.refused;
        return report;
    }
    int next = start.next;
    std::optional<ResultRecord> lastRead = start.lastRead;

    // "Старт" counts its 41 records as read, end records among them.
    ScanResults();
    StoredTests stored = StoredTestsNow();
    // The record before the mark was read before: its copy in the store is
    // not one that a record read now repeats.
    if (lastRead)
        UseStoredCopy(stored, *lastRead);
    // The first page is judged against this month, unless it goes on from a
    // step that was cut off: that step would have judged it as a later page.
    const int today = TodayDateCode();
    if (!start.resumes)
        RefDateCode = today;
    bool resumes = start.resumes;
    for (;;) {
        if (ResultCount >= ResultSlots || next >= InstrumentRecords) {
            report.end = ResultCount >= ResultSlots ? StepEnd::StoreFull : StepEnd::MemoryEnd;
            return report;
        }
        const int count = std::min(ResultPageRecords, InstrumentRecords - next);
        if (!read(next, count)) {
            if (ReadMark)
                ReadMark->cutOff = resumes;
            report.end = StepEnd::NoAnswer;
            return report;
        }
        resumes = true;
        const int first = ResultCount;
        const PageTake take = TakePage(TransferBuffer.data(), count, &stored);
        show(first, take.stored);
        report.stored += take.stored;
        report.earlier += take.earlier;
        report.invalid += take.invalid;
        report.repeated += take.repeated;
        report.future += take.future;
        for (int index : take.storedAt)
            taken.push_back({next + index, RecordAt(TransferBuffer.data(), index)});

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

} // namespace

StepReport StepInput(const ReadRecordsFn &read, const ShowSlotsFn &show)
{
    std::vector<TakenTest> taken;
    const StepReport report = StepPages(read, show, taken);
    TellTaken(taken, report.fromFirst);
    return report;
}

QString StartQuestion(int storedTests)
{
    return QStringLiteral("\"Старт\" удалит все сохраненные тесты (%1) и примет записи заново от начала "
                          "памяти прибора.\nУдалить сохраненные тесты?")
        .arg(storedTests);
}

QString ChangedQuestion()
{
    return QStringLiteral("Записи в памяти прибора не совпадают с принятыми ранее: память прибора "
                          "очищена или подключен другой прибор.\n"
                          "Принять записи этого прибора от начала его памяти? Сохраненные тесты "
                          "останутся, уже принятые не повторятся.");
}

QString StepEndReport(StepEnd end)
{
    switch (end) {
    case StepEnd::NoAnswer:
        return QStringLiteral("Прием данных остановлен: прибор не передал очередную группу записей. "
                              "Записи, принятые до нее, оставлены.");
    case StepEnd::StoreFull:
        return QStringLiteral("Прием данных остановлен: заняты все %1 мест для записей.").arg(ResultSlots)
               + (ProgramArchive() ? FullStoreArchiveNote() : QString());
    case StepEnd::MemoryEnd:
        return QStringLiteral("Прием данных остановлен: прочитана вся память результатов прибора "
                              "(%1 записей).").arg(InstrumentRecords);
    case StepEnd::Changed:
        return QStringLiteral("Записи в памяти прибора не совпадают с принятыми ранее. Ничего не принято.");
    case StepEnd::EndRecord:
        break;
    }
    return {};
}

QString FullStoreArchiveNote()
{
    return QStringLiteral("\nВсе принятые тесты есть в архиве (кнопка \"Архив\" главного окна) с именами, "
                          "какими они были при приеме.\n"
                          "Чтобы начать новый файл результатов, ничего не потеряв, нажмите \"Старт\": файл "
                          "начнется заново с первых записей прибора, а тесты останутся в архиве. Прежний файл "
                          "можно сохранить: закройте это окно и скопируйте %1 под другим именем; его тесты "
                          "уже есть в архиве, импортировать его не нужно.")
        .arg(QString::fromLatin1(ResultsFileName));
}

QString StepTallyText(const StepReport &report)
{
    QString text = QStringLiteral("Принято записей: %1.").arg(report.stored);
    if (report.earlier > 0)
        text += QStringLiteral("\nПропущено тестов прошлых месяцев: %1.").arg(report.earlier);
    if (report.invalid > 0)
        text += QStringLiteral("\nПропущено записей с неверным номером списка: %1.").arg(report.invalid);
    if (report.repeated > 0)
        text += QStringLiteral("\nПропущено уже принятых тестов: %1.").arg(report.repeated);
    if (report.future > 0)
        text += QStringLiteral("\nТестов с датой позже сегодняшней: %1 (часы компьютера отстают?).")
                    .arg(report.future);
    return text;
}
