// Every transfer a window starts, against every kind of trouble the virtual
// instrument can play. Each cell runs the window's action three times: on a
// fresh stage against a sound instrument (the reference), on a second fresh
// stage against the troubled one, and once more on that stage after the
// trouble has gone. The cell holds when
//   - the troubled run ends as the table below says, and never hangs;
//   - a run that failed left the files, the window's data and the
//     instrument's memory as they were (a write may have changed only bytes
//     the reference run wrote too), and the next run gives the reference;
//   - a run that succeeded gave what the reference gave.
//
// tests/CMakeLists.txt runs the "Chosen" cells with the suite; the script
// scripts/fault-matrix.sh runs every cell and prints the table.

#include "ExchangeRig.h"
#include "TestRecords.h"

#include "exchange/ExchVars.h"
#include "exchange/Pace.h"
#include "exchange/WireTrace.h"
#include "panel/MemPage.h"
#include "panel/Pribor.h"
#include "service/Debug.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/List.h"
#include "views/Res.h"
#include "views/ResultGrid.h"
#include "views/Stat.h"
#include "vinst/DefaultMemory.h"
#include "volume/DebVol.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <iterator>
#include <array>
#include <cstdlib>
#include <optional>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

enum class Transfer {
    ResultStart, ResultStep, ListIn, ListOut, ClockRead, ClockWatch, ClockWritePc, ClockWriteTyped,
    Erase, CorrectionClock, CorrectionRead, CorrectionWrite, MemoryPage, PanelLink, TableRead, TableWrite,
    MarkRead, MarkWrite, LiveViews, Curves, ServiceLink, VolumePolling,
};
constexpr int TransferCount = int(Transfer::VolumePolling) + 1;
const char *const TransferNames[TransferCount] = {
    "ResultStart", "ResultStep", "ListIn", "ListOut", "ClockRead", "ClockWatch", "ClockWritePc", "ClockWriteTyped",
    "Erase", "CorrectionClock", "CorrectionRead", "CorrectionWrite", "MemoryPage", "PanelLink", "TableRead",
    "TableWrite", "MarkRead", "MarkWrite", "LiveViews", "Curves", "ServiceLink", "VolumePolling",
};

enum class Fault { Silence, WrongEcho, Noise, CutShort, SplitGap, Dropped, Unplug, PortHeld };
constexpr int FaultCount = int(Fault::PortHeld) + 1;
const char *const FaultNames[FaultCount] = {"Silence", "WrongEcho", "Noise",   "CutShort",
                                            "SplitGap", "Dropped",  "Unplug", "PortHeld"};

// Done: no box. NoLink: the one box "Нет связи с прибором". PortError: the
// one box of a port that cannot be opened. Noted: either box, then the
// window's own note of what was left undone. EveryRead: the same box once
// for every read of a view that keeps reading. Unanswered: no box, and a link
// test that shows no answer. Anything else is Other.
enum class Outcome { Done, NoLink, Noted, PortError, EveryRead, Unanswered, Other };
const char *const OutcomeNames[] = {"done",       "no link",    "box + note", "port error",
                                    "every read", "unanswered", "other"};

void PrintTo(Outcome outcome, std::ostream *out) { *out << OutcomeNames[int(outcome)]; }
void PrintTo(Transfer transfer, std::ostream *out) { *out << TransferNames[int(transfer)]; }
void PrintTo(Fault fault, std::ostream *out) { *out << FaultNames[int(fault)]; }

// ---- The expected outcomes: the one place to change them -----------------------------
// Noise before a reply is dropped: a reply is taken from its start byte on.
// A step writes what it left undone beside its buttons; the windows that say
// it in a box of their own (the erase, the table and mark writes) add that
// note to the first box; the mark read and the live views report every read
// that fails.
// A link test counts only a well-framed reply as an answer and says nothing
// in a box when none came.
constexpr Outcome D = Outcome::Done, L = Outcome::NoLink, N = Outcome::Noted, P = Outcome::PortError,
                  E = Outcome::EveryRead, U = Outcome::Unanswered;
constexpr std::array<std::array<Outcome, FaultCount>, TransferCount> Expected = {{
    //                    Silence WrongEcho Noise CutShort SplitGap Dropped Unplug PortHeld
    /* ResultStart     */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* ResultStep      */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* ListIn          */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* ListOut         */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* ClockRead       */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* ClockWatch      */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* ClockWritePc    */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* ClockWriteTyped */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* Erase           */ {N,       N,         D,     N,        D,        D,       N,      N},
    /* CorrectionClock */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* CorrectionRead  */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* CorrectionWrite */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* MemoryPage      */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* PanelLink       */ {U,       D,         D,     U,        D,        D,       D,      P},
    /* TableRead       */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* TableWrite      */ {N,       N,         D,     N,        D,        D,       N,      N},
    /* MarkRead        */ {E,       L,         D,     E,        D,        D,       E,      E},
    /* MarkWrite       */ {N,       N,         D,     N,        D,        D,       N,      N},
    /* LiveViews       */ {E,       L,         D,     E,        D,        D,       E,      E},
    /* Curves          */ {L,       L,         D,     L,        D,        D,       L,      P},
    /* ServiceLink     */ {U,       D,         D,     U,        D,        D,       D,      P},
    /* VolumePolling   */ {L,       L,         D,     L,        D,        D,       L,      P},
}};

// The cells ./test.sh runs: one or two per window, each kind of trouble at least once.
const std::vector<std::pair<Transfer, Fault>> ChosenCells = {
    {Transfer::ResultStart, Fault::Noise},       {Transfer::ResultStep, Fault::Unplug},
    {Transfer::ResultStep, Fault::Silence},      {Transfer::ListIn, Fault::CutShort},
    {Transfer::ListOut, Fault::Unplug},          {Transfer::ListOut, Fault::Dropped},
    {Transfer::ClockWriteTyped, Fault::WrongEcho}, {Transfer::CorrectionWrite, Fault::Silence},
    {Transfer::MemoryPage, Fault::SplitGap},     {Transfer::TableRead, Fault::PortHeld},
    {Transfer::TableWrite, Fault::Unplug},       {Transfer::MarkWrite, Fault::CutShort},
    {Transfer::LiveViews, Fault::Unplug},        {Transfer::Curves, Fault::Noise},
    {Transfer::VolumePolling, Fault::WrongEcho}, {Transfer::VolumePolling, Fault::Dropped},
    {Transfer::ClockWatch, Fault::Unplug},       {Transfer::CorrectionRead, Fault::WrongEcho},
    {Transfer::PanelLink, Fault::Unplug},        {Transfer::ServiceLink, Fault::CutShort},
};
// The cells ./test.sh also runs in the fast exchange.
const std::vector<std::pair<Transfer, Fault>> FastChosenCells = {
    {Transfer::ResultStep, Fault::Silence},      {Transfer::ListOut, Fault::Dropped},
    {Transfer::ClockWriteTyped, Fault::WrongEcho}, {Transfer::MemoryPage, Fault::SplitGap},
    {Transfer::ResultStart, Fault::Noise},       {Transfer::ListIn, Fault::CutShort},
};
// ---------------------------------------------------------------------------------------

constexpr int Patience = 20000;
const QString NoLinkText = QStringLiteral("Нет связи с прибором");
const QString MemoryFile = QStringLiteral("instrument.mem");
const QString RegistersFile = QStringLiteral("instrument.reg");

QByteArray DefaultImage()
{
    const vinst::Memory memory = vinst::BuildDefaultMemory({2026, 12, 8, 10, 0, 0});
    return QByteArray(reinterpret_cast<const char *>(memory.bytes().data()), qsizetype(memory.bytes().size()));
}

// The instrument's flags for a kind of trouble. `requests` is what the
// reference run sent, so that a drop or an unplug strikes inside the transfer.
QStringList FaultFlags(Fault fault, int requests)
{
    const QString middle = QString::number(std::max(1, (requests + 1) / 2));
    switch (fault) {
    case Fault::Silence: return {"--silent"};
    case Fault::WrongEcho: return {"--wrong-echo", "3"};
    case Fault::Noise: return {"--noise", "5"};
    case Fault::CutShort: return {"--truncate", "1"};
    // Ten times the rig's inter-byte time-out: the halves arrive as two blocks.
    case Fault::SplitGap: return {"--split-gap", "50"};
    // One request in three, at most a handful per transfer; the first of a
    // one-frame transfer.
    case Fault::Dropped:
        return requests == 1 ? QStringList{"--answer-from", "2"}
                             : QStringList{"--drop-every", QString::number(std::max(2, requests / 3))};
    // The middle request gets no reply: the line goes with it.
    case Fault::Unplug: return {"--drop-every", middle, "--unplug-after", middle};
    case Fault::PortHeld: return {};
    }
    return {};
}

// Another program's hold on the port, as a terminal program takes it.
class PortHold {
public:
    explicit PortHold(const QString &path) : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        m_held = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~PortHold()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool held() const { return m_held; }

private:
    int m_fd;
    bool m_held = false;
};

// The instrument's clock runs: what was read of it at two moments agrees
// when the moments are this close.
constexpr qint64 ClockToleranceS = 60;

// A clock as the instrument keeps it, packed BCD seconds, minutes, hours and
// day, month, year; nothing when a field is no BCD number or no real moment.
std::optional<QDateTime> ClockMoment(const std::array<int, 6> &bcd)
{
    std::array<int, 6> value{};
    for (std::size_t k = 0; k < bcd.size(); ++k) {
        if (bcd[k] < 0 || bcd[k] > 0xFF || (bcd[k] >> 4) > 9 || (bcd[k] & 0xF) > 9)
            return std::nullopt;
        value[k] = (bcd[k] >> 4) * 10 + (bcd[k] & 0xF);
    }
    const QDateTime moment(QDate(2000 + value[5], value[4], value[3]), QTime(value[2], value[1], value[0]));
    return moment.isValid() ? std::optional(moment) : std::nullopt;
}

bool NearMoments(const QDateTime &a, const QDateTime &b)
{
    return std::abs(a.secsTo(b)) <= ClockToleranceS;
}

// A clock read as the panel shows it, "hh:mm:ss|dd-mm-yy".
std::optional<QDateTime> ShownMoment(const QString &shown)
{
    const QStringList fields = shown.split(QRegularExpression(QStringLiteral("[:|-]")));
    if (fields.size() != 6)
        return std::nullopt;
    std::array<int, 6> value{};
    bool ok = true;
    for (int k = 0; k < 6 && ok; ++k)
        value[std::size_t(k)] = fields[k].toInt(&ok);
    const QDateTime moment(QDate(2000 + value[5], value[4], value[3]), QTime(value[0], value[1], value[2]));
    return ok && moment.isValid() ? std::optional(moment) : std::nullopt;
}

// Two shown clocks agree when their texts are the same, or when both are
// moments close enough for the clock to have run from one to the other.
bool SameClocks(const QStringList &a, const QStringList &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype k = 0; k < a.size(); ++k) {
        const auto x = ShownMoment(a[k]), y = ShownMoment(b[k]);
        if (a[k] != b[k] && !(x && y && NearMoments(*x, *y)))
            return false;
    }
    return true;
}

// What a window shows and keeps. `kept` must survive a failed run unchanged;
// `result` is what a successful run must give as the reference did; `stored`
// too, unless the run resumed the work of a failed one. `clocks` are the
// instrument's clock as shown: kept exactly by a failed run, and as the
// reference read it, give or take the time between, after a successful one.
struct Snapshot {
    QStringList kept;
    QStringList result;
    QStringList stored = {};
    QStringList clocks = {};
    bool operator==(const Snapshot &other) const
    {
        return kept == other.kept && result == other.result && stored == other.stored
               && SameClocks(clocks, other.clocks);
    }
};

void PrintTo(const Snapshot &snapshot, std::ostream *out)
{
    const auto print = [out](const QStringList &texts) {
        for (const QString &text : texts)
            *out << "\n    " << text.left(120).toStdString();
    };
    *out << "kept:";
    print(snapshot.kept);
    *out << "\n  result:";
    print(snapshot.result);
    *out << "\n  stored:";
    print(snapshot.stored);
    *out << "\n  clocks:";
    print(snapshot.clocks);
}

QStringList Cells(const QTableWidget *grid)
{
    QStringList texts;
    for (int row = 0; row < grid->rowCount(); ++row)
        for (int column = 0; column < grid->columnCount(); ++column)
            texts << (grid->item(row, column) ? grid->item(row, column)->text() : QString());
    return texts;
}

QStringList ProgramFiles(const QString &dir)
{
    QStringList files;
    for (const QFileInfo &file : QDir(dir).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name)) {
        if (file.fileName() == MemoryFile || file.fileName() == RegistersFile || file.fileName().startsWith("vinst-"))
            continue;
        files << file.fileName() + ":" + QString::fromLatin1(ReadWholeFile(file.filePath()).toHex());
    }
    return files;
}

// The messages of one run. Questions are answered Yes and not counted.
class Boxes {
public:
    Boxes()
    {
        m_previous = SetMessageHandler([this](const MessageRequest &request) {
            if (request.buttons & QMessageBox::Yes)
                return QMessageBox::Yes;
            m_boxes.push_back(request);
            return QMessageBox::Ok;
        });
    }
    ~Boxes() { SetMessageHandler(m_previous); }

    Outcome outcome() const
    {
        if (m_boxes.empty())
            return Outcome::Done;
        const MessageRequest &first = m_boxes[0];
        const bool noLink = first.text == NoLinkText;
        const bool portError = first.kind == MessageKind::Error && !first.details.isEmpty();
        if (m_boxes.size() == 1)
            return noLink ? Outcome::NoLink : portError ? Outcome::PortError : Outcome::Other;
        const bool repeated = std::all_of(m_boxes.begin(), m_boxes.end(),
                                          [&](const MessageRequest &box) { return box.text == first.text; });
        if (repeated && (noLink || portError))
            return Outcome::EveryRead;
        return m_boxes.size() == 2 && (noLink || portError) && m_boxes[1].text != NoLinkText ? Outcome::Noted
                                                                                             : Outcome::Other;
    }
    QStringList texts() const
    {
        QStringList texts;
        for (const MessageRequest &box : m_boxes)
            texts << box.text;
        return texts;
    }

private:
    std::vector<MessageRequest> m_boxes;
    MessageHandler m_previous;
};

// One window on its line to the instrument, ready for the action of a
// transfer. The line's instrument can be swapped for a troubled one.
// The instrument's state after a run: its memory image and its registers.
struct InstrumentState {
    QByteArray memory;
    QByteArray registers;
};

class Stage {
public:
    explicit Stage(Transfer transfer)
        : m_transfer(transfer), m_today(QDateTime(QDate(2026, 12, 8), QTime(10, 0))),
          rig({.memory = DefaultImage(), .keepRegisters = true})
    {
        ResetDataModel();
        ResetMemView();
    }
    virtual ~Stage() { ResetDataModel(); }

    bool ready() const { return rig.ready(); }
    virtual void open() = 0;
    virtual void act() = 0;
    virtual Snapshot snapshot() const = 0;
    // How the run ended, as the operator saw it.
    virtual Outcome judge(const Boxes &boxes) const { return boxes.outcome(); }

    // Stops the instrument (it saves its memory and registers) and starts it
    // again with `flags`.
    InstrumentState restartInstrument(const QStringList &flags)
    {
        const InstrumentState state = stopInstrument();
        rig.instrument = std::make_unique<VirtualInstrument>(
            rig.dir.path(), VirtualInstrument::Setup{.flags = flags,
                                                     .memoryFile = rig.dir.file(MemoryFile),
                                                     .registersFile = rig.dir.file(RegistersFile)});
        return state;
    }
    InstrumentState stopInstrument()
    {
        rig.instrument.reset();
        return {ReadWholeFile(rig.dir.file(MemoryFile)), ReadWholeFile(rig.dir.file(RegistersFile))};
    }
    QStringList files() const { return ProgramFiles(rig.dir.path()); }

protected:
    Transfer transfer() const { return m_transfer; }

private:
    Transfer m_transfer;
    FixedToday m_today;

public:
    ExchangeRig rig;
};

void ShowAndSettle(QWidget &window)
{
    window.show();
    QCoreApplication::processEvents();
}

class ResultsStage : public Stage {
public:
    using Stage::Stage;
    void open() override { ShowAndSettle(window); }
    void act() override
    {
        (transfer() == Transfer::ResultStart ? window.Key_InputStart : window.Key_StepInput)->click();
    }
    // A step keeps the pages it read before the trouble struck, and the next
    // step goes on from there as the unbroken step would have: it must store
    // exactly what the reference stored. A step saves what it took at once,
    // so its results file goes with what it stored.
    Snapshot snapshot() const override
    {
        Snapshot s{files(), {}};
        if (transfer() == Transfer::ResultStep) {
            const auto isResultsFile = [](const QString &file) { return file.startsWith("orbisk_a.dat:"); };
            QStringList resultsFile;
            std::copy_if(s.kept.begin(), s.kept.end(), std::back_inserter(resultsFile), isResultsFile);
            s.kept.removeIf(isResultsFile);
            s.result << QString::number(ReadMark ? ReadMark->next : -1);
            s.stored = StoredRecords() + resultsFile;
            return s;
        }
        s.kept << QString::number(ResultCount);
        for (int row = 0; row <= 120; ++row)
            for (int column = 0; column < GridColumns; ++column)
                s.kept << window.Grid().Cell(row, column);
        return s;
    }

    TResF window;

private:
    static QStringList StoredRecords()
    {
        QStringList records{QString::number(ResultCount)};
        for (int k = 0; k < ResultCount; ++k)
            records << QString::fromLatin1(QByteArray::fromRawData(
                reinterpret_cast<const char *>(Results[k].bytes.data()), qsizetype(Results[k].bytes.size())).toHex());
        return records;
    }
};

class ListsStage : public Stage {
public:
    explicit ListsStage(Transfer transfer) : Stage(transfer) { StatF = &stat; }
    ~ListsStage() override
    {
        stat.setParent(nullptr);
        StatF = nullptr;
    }
    void open() override { ShowAndSettle(window); }
    void act() override { (transfer() == Transfer::ListIn ? window.Key_InputSel : window.Key_OutputSel)->click(); }
    Snapshot snapshot() const override
    {
        Snapshot s{files(), {}};
        s.kept << Cells(window.GridName) << Cells(window.GridFIO);
        return s;
    }

    TStatF stat;
    TListF window;
};

// Requests the exchange window has handed to the port, as its wire trace
// has them.
int SentRequests()
{
    return int(ExchangeTrace().Lines().filter(QRegularExpression(QStringLiteral("^\\S+ \\S+ TX "))).size())
           + ExchangeTrace().Dropped();
}

// Runs a link test until it has sent a few requests, then stops it from the
// exchange window as the operator would.
void RunLinkTest(ExchangeRig &rig, const ConnectionControls &controls)
{
    const int until = SentRequests() + 4;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (rig.window->isVisible() && SentRequests() >= until)
            rig.window->Key_Stop->click();
    });
    watch.start();
    controls.Key_Test->click();
}

bool IsLinkTest(Transfer transfer)
{
    return transfer == Transfer::PanelLink || transfer == Transfer::ServiceLink;
}

// A link test reports through its bar of answers: no box and no answer is a
// line that did not answer.
Outcome JudgeLinkTest(const Boxes &boxes, const QProgressBar *answers)
{
    const Outcome outcome = boxes.outcome();
    return outcome == Outcome::Done && answers->value() == 0 ? Outcome::Unanswered : outcome;
}

class PanelStage : public Stage {
public:
    explicit PanelStage(Transfer transfer) : Stage(transfer)
    {
        FixPcNow(QDateTime(QDate(2009, 3, 5), QTime(14, 7, 30)));
        PriborF = &panel;
    }
    ~PanelStage() override { PriborF = nullptr; }
    void open() override
    {
        // The clock page, its fields filled from the PC; the clock is shown
        // only by the action itself.
        panel.AutoConnect = panel.AutoSensor = panel.AutoLinkTest = panel.AutoClock = false;
        ShowAndSettle(panel);
        WatchMode = true;
    }
    void act() override
    {
        switch (transfer()) {
        case Transfer::ClockRead: panel.KeyPriem->click(); break;
        case Transfer::ClockWatch: panel.KeyKrug->click(); break;
        case Transfer::ClockWritePc: panel.KeyWrPC->click(); break;
        case Transfer::ClockWriteTyped: panel.KeyWrData->click(); break;
        case Transfer::Erase: panel.Reset_EEPROM->click(); break;
        case Transfer::CorrectionClock: panel.KeyPriem1->click(); break;
        case Transfer::CorrectionRead: panel.Key_InputCorrect->click(); break;
        case Transfer::PanelLink: RunLinkTest(rig, panel); break;
        case Transfer::CorrectionWrite:
            panel.ComboBox1->setCurrentText("2   минуты");
            panel.Key_WriteCorrect->click();
            break;
        default: panel.KeyPl->click(); break;
        }
    }
    Snapshot snapshot() const override
    {
        Snapshot s{files(), {}};
        s.kept << Cells(panel.GridByte) << Cells(panel.GridWord) << panel.edit_correct->text();
        const QString editDate = panel.EditDay->text() + '-' + panel.EditMon->text() + '-' + panel.EditYear->text();
        s.clocks << panel.ETime->text() + '|' + panel.EDate->text() << panel.ETime->text() + '|' + editDate
                 << panel.ETime1->text() + '|' + panel.EDate1->text();
        if (IsLinkTest(transfer()))
            s.result << QString::number(panel.TestProgres->value() > 0);
        return s;
    }
    Outcome judge(const Boxes &boxes) const override
    {
        return IsLinkTest(transfer()) ? JudgeLinkTest(boxes, panel.TestProgres) : boxes.outcome();
    }

    TPriborF panel;
};

class ServiceStage : public Stage {
public:
    explicit ServiceStage(Transfer transfer) : Stage(transfer)
    {
        DebugF = &window;
        window.ViewInterval = 3600 * 1000;   // ticks are driven here
    }
    ~ServiceStage() override { DebugF = nullptr; }
    void open() override
    {
        ShowAndSettle(window);
        for (QChar c : QStringLiteral("583729"))
            QTest::keyClick(window.EditPW, c.toLatin1());
        if (transfer() == Transfer::TableWrite)
            window.Key_InputSel->click();
        if (transfer() == Transfer::MarkWrite)
            window.EditE->setText("0123456789ABCDEF");
    }
    void act() override
    {
        switch (transfer()) {
        case Transfer::TableRead: window.Key_InputSel->click(); break;
        case Transfer::TableWrite: window.Key_WriteData->click(); break;
        case Transfer::MarkRead: window.Key_InputMetka->click(); break;
        case Transfer::MarkWrite: window.Key_WriteMetka->click(); break;
        case Transfer::LiveViews:
            window.Key_StartAlcV->click();
            window.TimerViewTimer();
            window.Key_StopAlcV->click();
            break;
        case Transfer::ServiceLink: RunLinkTest(rig, window); break;
        default: window.Key_InputGrafAlc->click(); break;
        }
    }
    Outcome judge(const Boxes &boxes) const override
    {
        return IsLinkTest(transfer()) ? JudgeLinkTest(boxes, window.TestProgres) : boxes.outcome();
    }
    // A failed read shows "нет данных" in its own fields, as it should; the
    // sensor table and the configuration must stay.
    Snapshot snapshot() const override
    {
        Snapshot s{files(), {}};
        for (int word = 0; word < 36; ++word)
            s.kept << QString::number(SensorTable[word]);
        if (transfer() != Transfer::TableRead)
            s.kept << Cells(window.GridS1);
        else
            s.result << Cells(window.GridS1);
        if (transfer() != Transfer::MarkRead)
            s.kept << window.EditE->text() << window.EditZond->text();
        else
            s.result << window.EditE->text() << window.EditZond->text();
        for (int point : window.LastCurve)
            s.kept << QString::number(point);
        if (IsLinkTest(transfer()))
            s.result << QString::number(window.TestProgres->value() > 0);
        return s;
    }

    TDebugF window;
};

class VolumeStage : public Stage {
public:
    explicit VolumeStage(Transfer transfer) : Stage(transfer)
    {
        DebVolF = &window;
        window.SetReadIntervalTimeout(5);
    }
    ~VolumeStage() override
    {
        window.close();
        DebVolF = nullptr;
        DebVolActive = false;
    }
    void open() override {}
    // Polls until a dozen requests went out or a box came, then closes. A
    // poll that does neither hangs, which is a fault of its own.
    void act() override
    {
        const std::size_t before = rig.frames().size();
        window.StartPolling(VolumeCoef);
        const bool ended = QTest::qWaitFor(
            [&] { return !window.Polling() || rig.frames().size() >= before + PollFrames; }, Patience);
        EXPECT_TRUE(ended) << "the polling neither ended nor went on";
        m_polledOn = rig.frames().size() >= before + PollFrames;
        window.close();
    }
    // A poll that ended without a box did not run.
    Snapshot snapshot() const override { return {files(), {m_polledOn ? "polled on" : "stopped"}}; }

    TDebVolF window;

private:
    static constexpr std::size_t PollFrames = 12;
    bool m_polledOn = false;
};

std::unique_ptr<Stage> MakeStage(Transfer transfer)
{
    switch (transfer) {
    case Transfer::ResultStart:
    case Transfer::ResultStep: return std::make_unique<ResultsStage>(transfer);
    case Transfer::ListIn:
    case Transfer::ListOut: return std::make_unique<ListsStage>(transfer);
    case Transfer::TableRead:
    case Transfer::TableWrite:
    case Transfer::MarkRead:
    case Transfer::MarkWrite:
    case Transfer::LiveViews:
    case Transfer::Curves:
    case Transfer::ServiceLink: return std::make_unique<ServiceStage>(transfer);
    case Transfer::VolumePolling: return std::make_unique<VolumeStage>(transfer);
    default: return std::make_unique<PanelStage>(transfer);
    }
}

// Bytes of `after` that are neither as before nor as the reference wrote them.
int StrayBytes(const QByteArray &before, const QByteArray &after, const QByteArray &reference)
{
    if (before.size() != after.size() || reference.size() != after.size())
        return int(after.size());
    int stray = 0;
    for (qsizetype i = 0; i < after.size(); ++i)
        stray += after[i] != before[i] && after[i] != reference[i];
    return stray;
}

// The registers the program writes: the clock correction, the clock, and the
// pair it clears. Names those of `after` that are neither as `kept` nor as
// `written` holds them. A clock write goes out two registers a frame, so a
// clock written in part holds the first registers of `written` and the rest
// of `kept`; either clock has run on since, which the tolerance allows for,
// besides the `apartS` seconds that passed between the readings.
QStringList RegistersOff(const QByteArray &after, const QByteArray &kept, const QByteArray &written, qint64 apartS)
{
    constexpr int Correction = 24, Clock = 25, ClockEnd = 32, ClearedPair = 32;
    if (after.size() != 256 || kept.size() != 256 || written.size() != 256)
        return {"the register image"};
    const auto byte = [](const QByteArray &image, int address) { return int(uint8_t(image[address])); };
    const auto moment = [&](const QByteArray &image) {
        return ClockMoment({byte(image, Clock), byte(image, Clock + 1), byte(image, Clock + 2),
                            byte(image, Clock + 4), byte(image, Clock + 5), byte(image, Clock + 6)});
    };
    const auto clockNear = [&](const QByteArray &image) {
        const auto a = moment(after), b = moment(image);
        return a && b ? std::abs(a->secsTo(*b)) <= ClockToleranceS + apartS
                      : image.mid(Clock, ClockEnd - Clock) == after.mid(Clock, ClockEnd - Clock);
    };
    const auto sameAs = [&](int address, int count) {
        return after.mid(address, count) == kept.mid(address, count)
               || after.mid(address, count) == written.mid(address, count);
    };
    bool clockAgrees = false;
    for (int firstKept : {Clock, Clock + 2, Clock + 4, Clock + 6, ClockEnd}) {
        QByteArray partly = kept;
        partly.replace(Clock, firstKept - Clock, written.mid(Clock, firstKept - Clock));
        clockAgrees = clockAgrees || clockNear(partly);
    }
    QStringList off;
    if (!sameAs(Correction, 1))
        off << "correction";
    if (!clockAgrees)
        off << "clock " + QString::fromLatin1(after.mid(Clock, ClockEnd - Clock).toHex(' '));
    if (!sameAs(ClearedPair, 2))
        off << "cleared pair";
    return off;
}

struct Reference {
    Snapshot after;
    InstrumentState instrument;
    int requests = 0;
};

// The sound run, on a stage of its own.
Reference RunReference(Transfer transfer)
{
    auto stage = MakeStage(transfer);
    EXPECT_TRUE(stage->ready());
    stage->open();
    const std::size_t before = stage->rig.frames().size();
    Boxes boxes;
    stage->act();
    EXPECT_EQ(stage->judge(boxes), Outcome::Done) << "reference run: " << boxes.texts().join(" | ").toStdString();
    Reference reference{stage->snapshot(), {}, int(stage->rig.frames().size() - before)};
    reference.instrument = stage->stopInstrument();
    return reference;
}

// Whether the trouble spoils the first request, so that a failed run did
// nothing at all.
bool StrikesFirstRequest(Fault fault)
{
    return fault != Fault::SplitGap && fault != Fault::Dropped && fault != Fault::Unplug;
}

using Cell = std::tuple<Transfer, Fault>;

class FaultMatrix : public ::testing::TestWithParam<Cell> {};

void RunCell(Transfer transfer, Fault fault)
{
    const Reference reference = RunReference(transfer);
    // A line that stalls makes the cell run for minutes longer than the
    // reference: the instrument's clock runs on meanwhile.
    QElapsedTimer sinceReference;
    sinceReference.start();
    const auto apartS = [&] { return sinceReference.elapsed() / 1000 + 1; };
    const Outcome expected = Expected[int(transfer)][int(fault)];

    auto stage = MakeStage(transfer);
    ASSERT_TRUE(stage->ready());
    stage->open();
    const InstrumentState instrumentBefore = stage->restartInstrument(FaultFlags(fault, reference.requests));
    ASSERT_TRUE(stage->ready());
    const Snapshot before = stage->snapshot();

    Outcome outcome = Outcome::Other;
    {
        const PortHold hold(fault == Fault::PortHeld ? stage->rig.instrument->portPath() : QString());
        ASSERT_EQ(hold.held(), fault == Fault::PortHeld);
        Boxes boxes;
        stage->act();
        outcome = stage->judge(boxes);
        std::printf("cell outcome: %s\n", OutcomeNames[int(outcome)]);
        EXPECT_EQ(outcome, expected) << boxes.texts().join(" | ").toStdString();
    }
    const Snapshot after = stage->snapshot();
    const InstrumentState instrumentAfter = stage->restartInstrument({});
    const InstrumentState &sound = reference.instrument;

    if (outcome == Outcome::Done) {
        EXPECT_EQ(after, reference.after) << "a successful run differs from the reference";
        EXPECT_EQ(instrumentAfter.memory, sound.memory) << "a successful run wrote otherwise than the reference";
        EXPECT_EQ(RegistersOff(instrumentAfter.registers, sound.registers, sound.registers, apartS()), QStringList())
            << "a successful run left registers otherwise than the reference";
    } else {
        EXPECT_EQ(after.kept, before.kept) << "a failed run changed data it should have kept";
        // The clock watch shows every read it made before the trouble struck.
        const bool readBefore = !StrikesFirstRequest(fault) && SameClocks(after.clocks, reference.after.clocks);
        EXPECT_TRUE(after.clocks == before.clocks || readBefore)
            << "a failed run changed the clock shown: " << after.clocks.join(", ").toStdString();
        EXPECT_EQ(StrayBytes(instrumentBefore.memory, instrumentAfter.memory, sound.memory), 0)
            << "a failed run wrote bytes the reference did not";
        EXPECT_EQ(RegistersOff(instrumentAfter.registers, instrumentBefore.registers, sound.registers, apartS()),
                  QStringList())
            << "a failed run wrote registers the reference did not";
    }

    // The trouble gone, the same action works as on a sound line.
    Boxes boxes;
    stage->act();
    EXPECT_EQ(stage->judge(boxes), Outcome::Done) << "the next run: " << boxes.texts().join(" | ").toStdString();
    if (outcome != Outcome::Done) {
        EXPECT_EQ(stage->snapshot(), reference.after) << "the next run differs from the reference";
        const InstrumentState next = stage->stopInstrument();
        EXPECT_EQ(next.memory, sound.memory) << "the next run wrote otherwise than the reference";
        EXPECT_EQ(RegistersOff(next.registers, sound.registers, sound.registers, apartS()), QStringList())
            << "the next run left registers otherwise than the reference";
    }
}

TEST_P(FaultMatrix, Cell)
{
    RunCell(std::get<0>(GetParam()), std::get<1>(GetParam()));
}

// The fast exchange ends every kind of trouble as the normal one does.
class FastFaultMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(FastFaultMatrix, Cell)
{
    struct FastOn {
        FastOn() { FastExchange = true; }
        ~FastOn() { FastExchange = false; }
    } fast;
    RunCell(std::get<0>(GetParam()), std::get<1>(GetParam()));
}

std::string CellName(const ::testing::TestParamInfo<Cell> &info)
{
    return std::string(TransferNames[int(std::get<0>(info.param))]) + "_" + FaultNames[int(std::get<1>(info.param))];
}

std::vector<Cell> AllCells()
{
    std::vector<Cell> cells;
    for (int transfer = 0; transfer < TransferCount; ++transfer)
        for (int fault = 0; fault < FaultCount; ++fault)
            cells.emplace_back(Transfer(transfer), Fault(fault));
    return cells;
}

std::vector<Cell> Chosen()
{
    std::vector<Cell> cells;
    for (const auto &[transfer, fault] : ChosenCells)
        cells.emplace_back(transfer, fault);
    return cells;
}

std::vector<Cell> FastChosen()
{
    std::vector<Cell> cells;
    for (const auto &[transfer, fault] : FastChosenCells)
        cells.emplace_back(transfer, fault);
    return cells;
}

INSTANTIATE_TEST_SUITE_P(Chosen, FaultMatrix, ::testing::ValuesIn(Chosen()), CellName);
INSTANTIATE_TEST_SUITE_P(All, FaultMatrix, ::testing::ValuesIn(AllCells()), CellName);
INSTANTIATE_TEST_SUITE_P(Chosen, FastFaultMatrix, ::testing::ValuesIn(FastChosen()), CellName);
INSTANTIATE_TEST_SUITE_P(All, FastFaultMatrix, ::testing::ValuesIn(AllCells()), CellName);

} // namespace
