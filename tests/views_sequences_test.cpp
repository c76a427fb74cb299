// Random sequences of what an operator and the instruments do, run against
// the results store: tests made, "Старт" and "Шаг" with their questions
// answered either way, the window closed and reopened, the program
// restarted, the panel's erase, an erase elsewhere, another instrument on the
// line, the PC's clock moved, steps cut off, a nearly full store. After every
// operation the store is checked against what the operator was told: no
// test stored twice or lost, nothing of another instrument without a "Да",
// the file equal to memory after every save.
//
// RC_PARAMS sets the run (scripts/sequences.sh); the suite runs 300.

#include "TestRecords.h"
#include "WorkDir.h"

#include "exchange/ExchVars.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/ResultGrid.h"
#include "views/ResultSteps.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <unordered_map>
#include <ostream>
#include <unordered_set>

namespace {

uint64_t Key(const ResultRecord &record)
{
    uint64_t key = 0;
    for (uint8_t byte : record.bytes)
        key = key << 8 | byte;
    return key;
}

bool IsTest(const ResultRecord &record)
{
    return record.ListNo() <= ListCount;
}

// Months in time order.
int MonthOf(const QDate &date)
{
    return date.year() * 12 + date.month();
}

enum class OpKind {
    MakeTests, MakeMany, Start, Step, Reopen, Restart, PanelErase, EraseElsewhere, OtherInstrument,
    ClockForward, PcInStep, PcYearBehind, PcMinutesBehindAtYearEnd, Killed, OldFile,
};

struct Op {
    OpKind kind = OpKind::Step;
    int amount = 0;
    bool yes = false;   // the answer to the question the operation meets
    int cut = -1;       // reads answered before the line goes silent; -1: all
};

std::ostream &operator<<(std::ostream &out, const Op &op)
{
    static const char *const names[] = {"MakeTests", "MakeMany", "Start", "Step", "Reopen", "Restart",
                                        "PanelErase", "EraseElsewhere", "OtherInstrument", "ClockForward",
                                        "PcInStep", "PcYearBehind", "PcMinutesBehindAtYearEnd", "Killed",
                                        "OldFile"};
    return out << names[int(op.kind)] << '(' << op.amount << (op.yes ? ", yes" : ", no") << ", cut " << op.cut
               << ')';
}

rc::Gen<Op> AnOp()
{
    using rc::gen::set;
    return rc::gen::build<Op>(
        set(&Op::kind, rc::gen::weightedElement<OpKind>({
                           {24, OpKind::MakeTests}, {2, OpKind::MakeMany}, {6, OpKind::Start},
                           {24, OpKind::Step}, {4, OpKind::Reopen}, {4, OpKind::Restart},
                           {3, OpKind::PanelErase}, {3, OpKind::EraseElsewhere}, {5, OpKind::OtherInstrument},
                           {6, OpKind::ClockForward}, {3, OpKind::PcInStep}, {3, OpKind::PcYearBehind},
                           {4, OpKind::PcMinutesBehindAtYearEnd}, {3, OpKind::Killed}, {2, OpKind::OldFile},
                       })),
        set(&Op::amount, rc::gen::inRange(0, 1000)), set(&Op::yes, rc::gen::arbitrary<bool>()),
        set(&Op::cut, rc::gen::weightedElement<int>({{6, -1}, {1, 0}, {1, 1}, {1, 2}, {1, 5}})));
}

// The instrument's memory of tests: what it wrote from record 0 on, erased
// (end records) behind.
struct Instrument {
    std::vector<ResultRecord> records;
    ResultRecord At(int index) const { return index < int(records.size()) ? records[index] : EndRecord(); }
};

// The instruments, the clocks, the line and the operator's answers, and the
// model of what the operator was told.
class Sequence {
public:
    explicit Sequence(int filler)
    {
        ResetDataModel();
        m_previousHandler = SetMessageHandler([this](const MessageRequest &request) {
            m_questions << request.text;
            return m_answer ? QMessageBox::Yes : QMessageBox::No;
        });
        FixPcNow(PcTime());
        // A store nearly full of an earlier instrument's tests, read to its end.
        const QDateTime start(QDate(2026, 1, 5), QTime(8, 0), Qt::UTC);
        for (int slot = 0; slot < filler; ++slot) {
            Results[slot] = TestRecord(1, slot % 64, start.addSecs(60 * slot), slot % 50);
            m_truth[Key(Results[slot])] = start.addSecs(60 * slot);
        }
        ResultCount = filler;
        ReadMark = InstrumentReadMark{};
        RC_ASSERT(bool(SaveResults()));
    }

    ~Sequence()
    {
        SetMessageHandler(m_previousHandler);
        FixPcNow({});
        ResetDataModel();
    }

    void Run(const Op &op)
    {
        const std::vector<ResultRecord> before = StoredTests();
        bool replaced = false;
        switch (op.kind) {
        case OpKind::MakeTests: Make(1 + op.amount % 12, op.amount); break;
        case OpKind::MakeMany: Make(200 + op.amount, op.amount); break;
        case OpKind::Start: replaced = Start(op); break;
        case OpKind::Step: Step(op); break;
        case OpKind::Reopen: Close(); Open(); break;
        case OpKind::Restart: Close(); ResetDataModel(); Open(); break;
        // The program ends without closing the window: what is not in the
        // file is gone.
        case OpKind::Killed: m_open = false; ResetDataModel(); Open(); break;
        case OpKind::OldFile: ToOldFile(); break;
        case OpKind::PanelErase:
            Attached().records.clear();
            // The file keeps the count a load cuts at its first end record.
            if (ForgetInstrumentRecords() && !m_dirty)
                CheckFileEqualsMemory(false);
            break;
        case OpKind::EraseElsewhere: Attached().records.clear(); break;
        case OpKind::OtherInstrument: m_attached ^= 1; break;
        case OpKind::ClockForward: MoveClock(op.amount % 2 ? 1 : 31); break;
        case OpKind::PcInStep: m_pcBehindSecs = 0; break;
        case OpKind::PcYearBehind: m_pcBehindSecs = 365 * 86400; break;
        case OpKind::PcMinutesBehindAtYearEnd: ToYearEnd(op.amount); break;
        }
        FixPcNow(PcTime());
        CheckStore(before, replaced);
    }

private:
    Instrument &Attached() { return m_instruments[m_attached]; }
    QDateTime PcTime() const { return m_clock.addSecs(-m_pcBehindSecs); }

    // The counted tests: the slots before the first end record.
    static std::vector<ResultRecord> StoredTests()
    {
        std::vector<ResultRecord> tests;
        for (int slot = 0; slot < std::clamp(ResultCount, 0, ResultSlots) && !Results[slot].IsEnd(); ++slot)
            tests.push_back(Results[slot]);
        return tests;
    }

    // Tests a minute or more apart, every tenth or so of an invalid list.
    void Make(int count, int seed)
    {
        for (int i = 0; i < count && Attached().records.size() < size_t(InstrumentRecords); ++i) {
            const int mix = (seed * 131 + i * 17) % 97;
            m_clock = m_clock.addSecs(60 * (1 + mix % 40));
            const int list = mix < 9 ? 9 + mix * 13 : mix % 9;
            const ResultRecord record = TestRecord(list, (seed + i) % 64, m_clock, mix % 64);
            m_truth[Key(record)] = m_clock;
            Attached().records.push_back(record);
        }
    }

    // Ten years at most, so that no code stands for two years of a sequence.
    void MoveClock(int days)
    {
        if (m_clock.date().year() < 2036)
            m_clock = m_clock.addDays(days);
    }

    void ToYearEnd(int amount)
    {
        const QDateTime yearEnd(QDate(m_clock.date().year(), 12, 31), QTime(23, 30 + amount % 20), Qt::UTC);
        if (m_clock < yearEnd && m_clock.date().year() < 2036)
            m_clock = yearEnd;
        m_pcBehindSecs = 60 * (5 + amount % 30);
    }

    bool Read(int first, int count)
    {
        if (m_cut >= 0 && m_reads >= m_cut) {
            m_failedRead = true;
            return false;
        }
        ++m_reads;
        for (int i = 0; i < count; ++i)
            std::copy_n(Attached().At(first + i).bytes.begin(), 6, TransferBuffer.begin() + 6 * i);
        return true;
    }

    ReadRecordsFn Reader(const Op &op)
    {
        m_cut = op.cut;
        m_reads = 0;
        m_failedRead = false;
        m_answer = op.yes;
        m_questions.clear();
        return [this](int first, int count) { return Read(first, count); };
    }

    // The window as activation leaves it.
    void Open()
    {
        if (m_open)
            return;
        MarkSlotsEmpty(ResultCount, GridDataRows);
        RC_ASSERT(bool(LoadResults()));
        ScanResults();
        m_open = true;
        m_dirty = false;
    }

    void Close()
    {
        if (m_open && m_dirty)
            Save();
        m_open = false;
    }

    void Save()
    {
        RC_ASSERT(bool(SaveResults()));
        CheckFileEqualsMemory();
    }

    bool Start(const Op &op)
    {
        Open();
        const int stored = int(StoredTests().size());
        const std::vector<ResultRecord> before = StoredTests();
        const StartEnd end = StartAsked(Reader(op));
        RC_ASSERT(m_questions == (stored > 0 ? QStringList{StartQuestion(stored)} : QStringList{}));
        if (end != StartEnd::Done) {
            RC_ASSERT(end == (stored > 0 && !op.yes ? StartEnd::Declined : StartEnd::NoAnswer));
            RC_ASSERT(StoredTests() == before);
            return false;
        }
        for (int slot = 0; slot < StartRecords; ++slot)
            RC_ASSERT(Results[slot] == Attached().At(slot));
        m_dirty = true;
        Save();
        return true;
    }

    // What a step makes of the mark on the attached instrument: reads on from
    // it, reads from the first record (a place without its record), or finds
    // the instrument changed and asks.
    enum class Place { Kept, FromFirst, Changed };
    Place MarkPlace() const
    {
        const int next = NextInstrumentRecord();
        if (next == 0)
            return Place::Kept;
        if (!ReadMark || !ReadMark->lastRead)
            return Place::FromFirst;
        return m_instruments[m_attached].At(next - 1) == *ReadMark->lastRead ? Place::Kept : Place::Changed;
    }

    // The file as an earlier version wrote it: no mark in its reserved bytes.
    void ToOldFile()
    {
        Close();
        QByteArray file = ReadWholeFile(ResultsFileName);
        RC_ASSERT(WriteWholeFile(ResultsFileName, file.replace(2, 58, QByteArray(58, '\0'))));
        ResetDataModel();
        Open();
    }

    void Step(const Op &op)
    {
        Open();
        const std::vector<ResultRecord> before = StoredTests();
        const std::optional<InstrumentReadMark> markBefore = ReadMark;
        const int countBefore = ResultCount;
        const Place place = MarkPlace();
        const int nextBefore = NextInstrumentRecord();
        const StepReport report = StepInput(Reader(op), [](int, int) {});
        // As the window does: a step that changed the store is saved at once.
        if (ReadMark != markBefore || ResultCount != countBefore) {
            m_dirty = true;
            Save();
        }

        // A changed instrument is asked about, a known one never.
        const bool asked = place == Place::Changed && !(m_failedRead && m_reads == 0);
        RC_ASSERT(m_questions == (asked ? QStringList{ChangedQuestion()} : QStringList{}));
        RC_ASSERT((report.end == StepEnd::NoAnswer) == m_failedRead);
        if (report.end == StepEnd::Changed || (m_failedRead && m_reads == 0)) {
            RC_ASSERT(place != Place::Kept || m_failedRead);
            RC_ASSERT(StoredTests() == before);
            if (place != Place::FromFirst)
                RC_ASSERT(ReadMark == markBefore);
            return;
        }
        const int from = place == Place::Kept ? nextBefore : 0;
        CheckRecordsRead(report, before, from);
    }

    // Every record between where the step began and its mark is stored
    // after the tests before, in order, or left out for a reason named in
    // the tally; the step ends where it says.
    void CheckRecordsRead(const StepReport &report, const std::vector<ResultRecord> &before, int from)
    {
        const Instrument &instrument = Attached();
        const int next = NextInstrumentRecord();
        RC_ASSERT(next >= from);
        std::unordered_set<uint64_t> known;
        for (const ResultRecord &record : before)
            known.insert(Key(record));
        std::vector<ResultRecord> expected = before;
        StepReport counted;
        const QDate pcDate = PcNow().date();
        for (int index = from; index < next; ++index) {
            const ResultRecord record = instrument.At(index);
            RC_ASSERT(!record.IsEnd());
            if (!IsTest(record)) {
                ++counted.invalid;
                continue;
            }
            const QDateTime made = m_truth.at(Key(record));
            counted.future += made.date() > pcDate;
            if (known.contains(Key(record))) {
                ++counted.repeated;
            } else if (int(expected.size()) < ResultCount && Results[expected.size()] == record) {
                expected.push_back(record);
                known.insert(Key(record));
                ++counted.stored;
            } else {
                // Left out for its month: before the PC's or the last stored test's.
                const int lastMonth = expected.empty() ? 0 : MonthOf(m_truth.at(Key(expected.back())).date());
                RC_ASSERT(MonthOf(made.date()) < std::max(MonthOf(pcDate), lastMonth));
                m_told.insert(Key(record));
                ++counted.earlier;
            }
        }
        RC_ASSERT(StoredTests() == expected);
        RC_ASSERT(report.stored == counted.stored);
        RC_ASSERT(report.earlier == counted.earlier);
        RC_ASSERT(report.invalid == counted.invalid);
        RC_ASSERT(report.repeated == counted.repeated);
        RC_ASSERT(report.future == counted.future);
        switch (report.end) {
        case StepEnd::EndRecord: RC_ASSERT(next == int(instrument.records.size())); break;
        case StepEnd::MemoryEnd: RC_ASSERT(next == InstrumentRecords); break;
        case StepEnd::StoreFull:
            RC_ASSERT(ResultCount == ResultSlots);
            for (int index = next; index < int(instrument.records.size()); ++index)
                m_told.insert(Key(instrument.records[index]));
            break;
        case StepEnd::NoAnswer: break;
        case StepEnd::Changed: RC_FAIL("a changed instrument was not asked about");
        }
    }

    // The file, loaded afresh, holds what memory holds.
    void CheckFileEqualsMemory(bool sameCount = true)
    {
        const auto results = Results;
        const int count = ResultCount;
        const std::vector<ResultRecord> tests = StoredTests();
        const std::optional<InstrumentReadMark> mark = ReadMark;
        RC_ASSERT(bool(LoadResults()));
        if (sameCount)
            RC_ASSERT(ResultCount == count);
        else
            RC_ASSERT(StoredTests() == tests);
        ResultCount = count;
        RC_ASSERT(ReadMark == mark);
        RC_ASSERT(Results == results);
    }

    void CheckStore(const std::vector<ResultRecord> &before, bool replaced)
    {
        const std::vector<ResultRecord> stored = StoredTests();
        // Stored bytes change only by "Старт" answered yes; a step appends.
        if (!replaced)
            RC_ASSERT(stored.size() >= before.size() && std::equal(before.begin(), before.end(), stored.begin()));
        std::unordered_set<uint64_t> times;
        for (const ResultRecord &record : stored)
            if (IsTest(record))
                RC_ASSERT(times.insert(Key(record)).second);

        // A mark past the first record keeps the record before it.
        if (ReadMark && ReadMark->next > 0)
            RC_ASSERT(ReadMark->lastRead.has_value());

        // Every test of the attached instrument is stored, or was named, or
        // waits for the next step, which reads from the mark when the
        // instrument holds its record and asks otherwise.
        const Instrument &instrument = m_instruments[m_attached];
        const bool holds = MarkPlace() == Place::Kept;
        for (int index = 0; index < int(instrument.records.size()); ++index) {
            const ResultRecord &record = instrument.records[index];
            if (!IsTest(record) || times.contains(Key(record)) || m_told.contains(Key(record)))
                continue;
            RC_ASSERT(!holds || index >= NextInstrumentRecord());
        }
    }

    std::array<Instrument, 2> m_instruments;
    int m_attached = 0;
    // UTC: no time zone is looked up at every date of a record.
    QDateTime m_clock{QDate(2026, 11, 20), QTime(10, 0), Qt::UTC};
    qint64 m_pcBehindSecs = 0;
    std::unordered_map<uint64_t, QDateTime> m_truth;   // when each record was made
    std::unordered_set<uint64_t> m_told;     // tests left out with a word to the operator
    bool m_open = false;
    bool m_dirty = false;
    int m_cut = -1;
    int m_reads = 0;
    bool m_failedRead = false;
    bool m_answer = false;
    QStringList m_questions;
    MessageHandler m_previousHandler;
};

// Hundreds of sequences save thousands of files: in memory where it can.
class MemoryWorkDir {
public:
    MemoryWorkDir() : m_dir(BaseDir() + QStringLiteral("/orba-sequences-XXXXXX")), m_previous(QDir::currentPath())
    {
        QDir::setCurrent(m_dir.path());
    }
    ~MemoryWorkDir() { QDir::setCurrent(m_previous); }

private:
    static QString BaseDir()
    {
        const QString shared = QStringLiteral("/dev/shm");
        return QFileInfo(shared).isWritable() ? shared : QDir::tempPath();
    }

    QTemporaryDir m_dir;
    QString m_previous;
};

void RunSequence(int filler, const std::vector<Op> &ops)
{
    MemoryWorkDir dir;
    Sequence sequence(filler);
    for (const Op &op : ops)
        sequence.Run(op);
}

// Sequences the property once shrank to, kept as they were found.
TEST(ResultSequences, FoundSequences)
{
    using enum OpKind;
    const std::vector<std::pair<int, std::vector<Op>>> found = {
        // Another instrument erased from the panel, the first one attached
        // again: read from its first record, its stored test is not taken twice.
        {0, {{MakeTests, 1}, {Step, 0, false, 1}, {OtherInstrument}, {PanelErase}, {OtherInstrument},
             {Step}}},
        // A full instrument erased elsewhere: asked about, not "all read".
        {9250, {{Start, 0, true}, {MakeMany, 466}, {MakeMany, 208}, {MakeMany, 226}, {Step},
                {EraseElsewhere}, {Step, 0, false, 0}, {Step, 0, true}}},
        // The PC a year behind: this year's tests are not of earlier months.
        {9250, {{MakeTests, 1}, {PcYearBehind}, {Step, 0, false, 5}}},
        // "Старт" with fewer than 41 tests, then the panel's erase.
        {9250, {{Start, 0, true, 5}, {Reopen}, {PanelErase}}},
    };
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_NO_THROW(RunSequence(found[i].first, found[i].second)) << "sequence " << i;
}

RC_GTEST_PROP(ResultSequences, NoTestIsLostDuplicatedOrInvented, ())
{
    const int filler = *rc::gen::element(0, 0, 9250, 9295);
    const auto ops = *rc::gen::container<std::vector<Op>>(AnOp());
    RunSequence(filler, ops);
}

} // namespace
