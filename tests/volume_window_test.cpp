// The breath-volume window on a line: a scripted instrument on a
// pseudo-terminal for exact values and pixels, and the virtual instrument
// for the polling as it runs, its silence and its wrong echoes, and the port
// handed back to the rest of the program.

#include "Child.h"
#include "ExchangeRig.h"
#include "Pty.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "serial/PortLease.h"
#include "store/OrbADat.h"
#include "volume/BreathGraph.h"
#include "volume/BreathTable.h"
#include "volume/DebVol.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

namespace {

constexpr int Patience = 20000;   // a loaded machine, perhaps with the sanitizers

const QByteArray DeviceRequest = Hex("3A 06 03 94 00 0A");
const QByteArray VolumeRequest = Hex("3A 06 03 C0 00 04");
const QByteArray FlowRequest = Hex("3A 06 03 0B 00 0A");
const QString NoLinkText = QStringLiteral("Нет связи с прибором");

// The breath-volume window beside an exchange window and an instrument, as
// the service window's launcher leaves it.
struct VolumeRig {
    explicit VolumeRig(const RigSetup &setup = {}) : line(setup)
    {
        DebVolF = &window;
        window.SetReadIntervalTimeout(5);
    }
    ~VolumeRig()
    {
        window.close();
        DebVolF = nullptr;
        DebVolActive = false;
    }

    // The launcher's read, then the start with the coefficient it read.
    bool Launch()
    {
        if (!ReadSensorTable())
            return false;
        window.StartPolling(VolumeCoefFromWord(TransferWords[VolumeCoefWord]));
        return window.isVisible();
    }

    ExchangeRig line;
    TDebVolF window;
};

bool IsLive(const QLineEdit *field)
{
    return field->palette().color(QPalette::Base) == QColor(0, 0, 255);
}

int CountPixels(const QImage &image, const QColor &color, QRect area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == color;
    return count;
}

int CurvePixels(const TDebVolF &window)
{
    return CountPixels(window.Graph(), PressureCurveColor, QRect(GraphLeft, 0, GraphWidth - GraphLeft, PressureBaseline))
           + CountPixels(window.Graph(), VolumeCurveColor, window.Graph().rect());
}

QString Cell(const QTableView *grid, int row, int column)
{
    return grid->model()->index(row - 1, column).data().toString();
}

// Plays the instrument on the other side of a pseudo-terminal, one request
// at a time.
class ScriptedInstrument {
public:
    ScriptedInstrument() : pty(QStringLiteral("COM1")) {}

    // The next request the window sends, letting it run meanwhile.
    QByteArray NextRequest()
    {
        if (!QTest::qWaitFor([&] { return pty.hasInput(); }, Patience))
            return {};
        return pty.read(6, 1000);
    }

    void Reply(uint8_t echo, const QByteArray &data, const QByteArray &noise = {})
    {
        QByteArray reply = Hex("3A 00 03 00 00 00");
        reply[1] = char(6 + data.size());
        reply[3] = char(echo);
        reply[5] = char(data.size());
        pty.write(noise + reply + data);
    }

    // Answers the next pair of requests with one sample.
    bool Sample(int tenths, int pressure, int volumeMl, bool volumeRequestRead = false)
    {
        if (!volumeRequestRead && NextRequest() != VolumeRequest)
            return false;
        const int half = 2 * volumeMl;
        const char volume[4] = {char(half & 0xFF), char(half >> 8), char(tenths & 0xFF), char(tenths >> 8)};
        Reply(192, QByteArray(volume, 4));
        if (NextRequest() != FlowRequest)
            return false;
        QByteArray flow(10, '\x33');
        flow[7] = char(pressure & 0xFF);
        flow[8] = char(pressure >> 8);
        Reply(11, flow, Hex("00 FE"));
        return true;
    }

    PseudoTerminal pty;
};

TEST(VolumeWindow, ScriptedBreathIsShownDrawnAndTabulated)
{
    ScopedWorkDir dir;
    MessageRecorder messages;
    ResetExchangeVariables();
    PortName = QStringLiteral("COM1");
    ScriptedInstrument instrument;
    TDebVolF window;
    window.SetReadIntervalTimeout(5);
    window.StartPolling(VolumeCoef);
    ASSERT_TRUE(window.Polling());

    // The device block starts the cycle; the first sample comes with the
    // first pair.
    ASSERT_EQ(instrument.NextRequest(), DeviceRequest);
    instrument.Reply(148, QByteArray(10, '\x07'), Hex("13 55 AA"));
    ASSERT_EQ(instrument.NextRequest(), VolumeRequest);
    EXPECT_EQ(Child<QLineEdit>(window, "edit_Time_ms")->text(), "00:00.00");
    EXPECT_EQ(Child<QLineEdit>(window, "edit_delP")->text(), "");
    ASSERT_TRUE(instrument.Sample(100, 3, 0, true));
    ASSERT_TRUE(instrument.Sample(102, 10, 0));
    ASSERT_TRUE(instrument.NextRequest() == VolumeRequest);   // the pair's sample has been taken
    EXPECT_FALSE(window.Recorder.BreathActive);
    EXPECT_EQ(Child<QLineEdit>(window, "edit_Time_ms")->text(), "10.2");
    EXPECT_EQ(Child<QLineEdit>(window, "edit_delP")->text(), "10");
    EXPECT_EQ(Child<QLineEdit>(window, "edit_Vol")->text(), "0.000");
    EXPECT_EQ(CurvePixels(window), 0);

    // The breath: 0.3 s apart, then 0.1 s, then below the threshold.
    instrument.Reply(192, Hex("00 00 68 00"));   // 104
    ASSERT_EQ(instrument.NextRequest(), FlowRequest);
    instrument.Reply(11, Hex("00 00 00 00 00 00 00 32 00 00"));   // 50
    ASSERT_TRUE(instrument.Sample(107, 80, 100));
    ASSERT_TRUE(instrument.Sample(108, 200, 1234));
    ASSERT_TRUE(instrument.Sample(109, 5, 1300));
    ASSERT_EQ(instrument.NextRequest(), VolumeRequest);
    EXPECT_FALSE(window.Recorder.BreathActive);
    EXPECT_EQ(Child<QLineEdit>(window, "edit_Vol")->text(), "1.300");
    EXPECT_EQ(Child<QLineEdit>(window, "edit_delP")->text(), "5");

    // Each segment starts with a dot: at slot 1 the second segment, at
    // slot 16 the third.
    const QImage &graph = window.Graph();
    EXPECT_EQ(graph.pixelColor(51, 200 - 50 / 4), PressureCurveColor);
    EXPECT_EQ(graph.pixelColor(66, 200 - 80 / 4), PressureCurveColor);
    EXPECT_EQ(graph.pixelColor(66, 450 - 100 / 30), VolumeCurveColor);
    EXPECT_EQ(graph.pixelColor(70, 60), Qt::white);
    EXPECT_EQ(graph.pixelColor(10, 10), GraphBlue);

    // The tables, as the recording holds the breath.
    Child<QTabWidget>(window, "PageControl1")->setCurrentWidget(Child<QWidget>(window, "key_Rotam"));
    EXPECT_EQ(Cell(Child<QTableView>(window, "grid_Vol"), 1, 1), "50");
    EXPECT_EQ(Cell(Child<QTableView>(window, "grid_Vol"), 17, 0), "0.32");
    EXPECT_EQ(Cell(Child<QTableView>(window, "grid_Vol"), 17, 1), "200");
    EXPECT_EQ(Cell(Child<QTableView>(window, "grid_Vol"), 17, 3), "1.234");
    EXPECT_EQ(Cell(Child<QTableView>(window, "grid_Vol"), 22, 1), "0");
    EXPECT_EQ(Child<QTableView>(window, "grid_Vol")->model()->headerData(2, Qt::Horizontal).toString(), "Расход за 0.1с");
    EXPECT_EQ(Child<QTableWidget>(window, "grid_R")->item(2, 1)->text(), "79.6");
    Child<QComboBox>(window, "box_MTime")->setCurrentIndex(Step01);
    Child<QComboBox>(window, "box")->setCurrentIndex(UnitLitresPerHour);
    EXPECT_EQ(Cell(Child<QTableView>(window, "grid_Vol"), 2, 0), "0.10");
    EXPECT_EQ(Cell(Child<QTableView>(window, "grid_Vol"), 2, 4), "3600.00");   // 100 ml in 0.1 s
    Child<QComboBox>(window, "box")->setCurrentIndex(4);
    EXPECT_EQ(Cell(Child<QTableView>(window, "grid_Vol"), 2, 4), "");

    // The scale buttons stop at their ends and redraw the background.
    Child<QToolButton>(window, "key_Plus")->click();
    EXPECT_EQ(window.PressureScale, MaxPressureScale);
    EXPECT_EQ(graph.pixelColor(66, 180), PressureCurveColor);   // nothing redrawn
    for (int i = 0; i < 5; ++i)
        Child<QToolButton>(window, "key_Minus")->click();
    EXPECT_EQ(window.PressureScale, MinPressureScale);
    EXPECT_EQ(graph.pixelColor(GraphLeft, 183), GraphGrey);
    EXPECT_EQ(graph.pixelColor(66, 180), Qt::white);

    // "Очистить" empties the recording and the drawing.
    Child<QPushButton>(window, "key_Clr")->click();
    EXPECT_EQ(CurvePixels(window), 0);
    EXPECT_EQ(window.Recorder.BreathPressure[16], 0);
    EXPECT_TRUE(window.Polling());

    // Hiding the window ends the polling and lets the port go.
    window.hide();
    EXPECT_FALSE(window.Polling());
    EXPECT_FALSE(window.HoldsPort(PortName));
    EXPECT_FALSE(Child<QTimer>(window, "TimerIO")->isActive());
    EXPECT_TRUE(messages.texts().isEmpty());
}

// The window polling a scripted instrument, the cycle started and the
// first volume request read.
struct ScriptedWindow {
    ScriptedWindow()
    {
        ResetExchangeVariables();
        PortName = QStringLiteral("COM1");
        window.SetReadIntervalTimeout(5);
    }

    bool Start()
    {
        window.StartPolling(VolumeCoef);
        if (instrument.NextRequest() != DeviceRequest)
            return false;
        instrument.Reply(148, QByteArray(10, '\0'));
        return instrument.NextRequest() == VolumeRequest;
    }

    // Samples of {tenths, pressure, millilitres}, each taken by the window
    // before the next.
    bool Play(std::initializer_list<std::array<int, 3>> samples)
    {
        for (const auto &[tenths, pressure, volumeMl] : samples) {
            if (!instrument.Sample(tenths, pressure, volumeMl, true) || instrument.NextRequest() != VolumeRequest)
                return false;
        }
        return true;
    }

    QString Cell(int row, int column) const { return ::Cell(Child<QTableView>(window, "grid_Vol"), row, column); }

    ScopedWorkDir dir;
    MessageRecorder messages;
    ScriptedInstrument instrument;
    TDebVolF window;
};

TEST(VolumeWindow, ABreathTableEndsWithTheBreath)
{
    // Ended below the threshold, or cut off by closing the window: either
    // way no flow back after the last sample, which keeps its volume.
    for (const bool closed : {false, true}) {
        SCOPED_TRACE(closed ? "closed" : "ended");
        ScriptedWindow rig;
        ASSERT_TRUE(rig.Start());
        ASSERT_TRUE(rig.Play({{100, 50, 0}, {110, 200, 600}, {120, 300, 1500}}));
        if (closed)
            rig.window.close();
        else
            ASSERT_TRUE(rig.Play({{121, 5, 1500}}));

        Child<QTabWidget>(rig.window, "PageControl1")->setCurrentWidget(Child<QWidget>(rig.window, "key_Rotam"));
        Child<QComboBox>(rig.window, "box_MTime")->setCurrentIndex(Step01);
        Child<QComboBox>(rig.window, "box")->setCurrentIndex(UnitMlPerSecond);
        EXPECT_EQ(rig.Cell(21, 3), "1.500");   // slot 100, the last sample's
        EXPECT_EQ(rig.Cell(21, 2), "0.000");
        EXPECT_EQ(rig.Cell(12, 3), "1.500");   // slot 55, after the second sample's 600 ml
        EXPECT_EQ(rig.Cell(12, 2), "0.900");
        EXPECT_EQ(rig.Cell(12, 4), " 9000");
        for (int row = 22; row <= 280; ++row) {
            ASSERT_TRUE(rig.Cell(row, 2).isEmpty()) << row;
            ASSERT_TRUE(rig.Cell(row, 4).isEmpty()) << row;
        }
        EXPECT_TRUE(rig.messages.texts().isEmpty());
    }
}

TEST(VolumeWindow, APollingStartedAgainWaitsForANewBreathOnACleanGraph)
{
    ScriptedWindow rig;
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Play({{100, 50, 0}, {110, 200, 600}}));
    ASSERT_TRUE(rig.window.Recorder.BreathActive);
    rig.window.close();   // in the middle of the breath
    const BreathArray volume = rig.window.Recorder.BreathVolume;
    EXPECT_EQ(volume[50], 600);

    // 1.5 s later, the breath still running on the instrument.
    ASSERT_TRUE(rig.Start());
    EXPECT_EQ(CurvePixels(rig.window), 0);
    EXPECT_FALSE(rig.window.Recorder.BreathActive);
    ASSERT_TRUE(rig.Play({{125, 5, 700}}));
    EXPECT_EQ(rig.window.Recorder.BreathVolume, volume);   // the last breath stays to be read

    // The next breath starts at slot 0, drawn from the origin.
    ASSERT_TRUE(rig.Play({{130, 80, 0}, {131, 80, 100}}));
    EXPECT_EQ(rig.window.Recorder.BreathStart, 130);
    EXPECT_EQ(rig.window.Graph().pixelColor(50, 450), VolumeCurveColor);
    EXPECT_EQ(CountPixels(rig.window.Graph(), VolumeCurveColor, QRect(60, 0, GraphWidth - 60, GraphHeight)), 0);
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

TEST(VolumeWindow, ARestartClearsTheCurvesAndStartsAtTheOrigin)
{
    // The instrument's clock going back, and a breath outlasting 28 s.
    for (const int restartAt : {40, 100 + 285}) {
        SCOPED_TRACE(restartAt);
        ScriptedWindow rig;
        ASSERT_TRUE(rig.Start());
        ASSERT_TRUE(rig.Play({{100, 60, 0}, {140, 60, 2000}, {180, 60, 4000}}));
        ASSERT_GT(CountPixels(rig.window.Graph(), VolumeCurveColor, QRect(200, 0, 200, GraphHeight)), 0);
        ASSERT_TRUE(rig.Play({{restartAt, 60, 4500}}));
        EXPECT_EQ(rig.window.Recorder.NextSlot, 1);
        // No line back from where the pens stood, nothing of the old curves.
        EXPECT_EQ(CountPixels(rig.window.Graph(), VolumeCurveColor, QRect(60, 0, GraphWidth - 60, GraphHeight)), 0);
        EXPECT_EQ(CountPixels(rig.window.Graph(), PressureCurveColor, QRect(60, 0, GraphWidth - 60, PressureBaseline)), 0);
        EXPECT_EQ(rig.window.Graph().pixelColor(50, 450), VolumeCurveColor);
    }
}

TEST(VolumeWindow, UnpluggingEndsThePollingWithoutWaitingForSilence)
{
    ScriptedWindow rig;
    Child<QTimer>(rig.window, "TimerIO")->setInterval(3600 * 1000);   // silence would never end it here
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Play({{100, 3, 0}}));
    rig.instrument.pty.closeMaster();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.messages.messages().empty(); }, Patience));
    EXPECT_EQ(rig.messages.texts(), QStringList{NoLinkText});
    EXPECT_FALSE(rig.window.Polling());
    EXPECT_FALSE(rig.window.HoldsPort(PortName));
    EXPECT_FALSE(Child<QTimer>(rig.window, "TimerIO")->isActive());
    EXPECT_TRUE(NoLink);
}

TEST(VolumeWindow, LeasesItsPortOnlyWhilePolling)
{
    ExchangeRig line;
    ASSERT_TRUE(line.ready());
    auto window = std::make_unique<TDebVolF>();
    window->SetReadIntervalTimeout(5);
    EXPECT_TRUE(PortHolder(PortName).isEmpty());
    // Closed, then destroyed while it polls: the port is free each time.
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "closed");
        window->StartPolling(VolumeCoef);
        ASSERT_TRUE(window->Polling());
        EXPECT_EQ(PortHolder(PortName), PortHeldByVolumeWindowText);
        if (destroy)
            window.reset();
        else
            window->close();
        EXPECT_TRUE(PortHolder(PortName).isEmpty());
    }
    DebVolActive = false;
    EXPECT_TRUE(ReadSensorTable());
    EXPECT_TRUE(line.messages.texts().isEmpty());
}

TEST(VolumeWindow, PollsTheVirtualInstrumentAndHandsThePortBack)
{
    VolumeRig rig;
    ASSERT_TRUE(rig.line.ready());
    ASSERT_TRUE(rig.Launch());
    ASSERT_TRUE(rig.window.Polling());
    EXPECT_TRUE(rig.window.HoldsPort(PortName));

    // The instrument's breath starts two seconds after it is switched on.
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window.Recorder.NextSlot > 20; }, Patience));
    EXPECT_GT(CurvePixels(rig.window), 0);
    EXPECT_TRUE(IsLive(Child<QLineEdit>(rig.window, "edit_delP")));

    const std::vector<QByteArray> frames = rig.line.frames();
    ASSERT_GE(frames.size(), 6u);
    EXPECT_EQ(frames[0], Hex("3A 06 01 00 00 2E"));   // the launcher's read
    EXPECT_EQ(frames[1], DeviceRequest);
    for (std::size_t i = 2; i < frames.size(); ++i)
        ASSERT_EQ(frames[i], i % 2 == 0 ? VolumeRequest : FlowRequest) << i;

    // Another activation while polling leaves everything as it is.
    const int pixels = CurvePixels(rig.window);
    rig.window.FormActivate();
    EXPECT_EQ(CurvePixels(rig.window), pixels);
    EXPECT_TRUE(rig.line.messages.texts().isEmpty());

    // Meanwhile every other exchange is refused, and says why; a start
    // refused so leaves the curves on screen.
    EXPECT_FALSE(ReadSensorTable());
    EXPECT_GE(CurvePixels(rig.window), pixels);
    ASSERT_EQ(rig.line.messages.messages().size(), 1u);
    EXPECT_TRUE(rig.line.messages.texts()[0].contains(PortHeldByVolumeWindowText));
    EXPECT_TRUE(rig.window.Polling());

    // Closing the window in the middle of a breath stops the polling.
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window.Recorder.BreathActive; }, Patience));
    Child<QToolButton>(rig.window, "Key_Exit")->click();
    EXPECT_FALSE(rig.window.isVisible());
    EXPECT_FALSE(rig.window.Polling());
    EXPECT_FALSE(rig.window.HoldsPort(PortName));
    EXPECT_FALSE(Child<QTimer>(rig.window, "TimerIO")->isActive());
    // Nothing more goes out, not even a resend after a silent second.
    std::size_t sent = rig.line.frames().size();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QTest::qWait(300);
        const std::size_t now = rig.line.frames().size();
        return std::exchange(sent, now) == now;
    }, Patience));
    QTest::qWait(1200);
    EXPECT_EQ(rig.line.frames().size(), sent);

    // And the rest of the program talks to the instrument again.
    rig.line.messages.clear();
    EXPECT_TRUE(ReadSensorTable());
    EXPECT_EQ(rig.line.frames().back(), Hex("3A 06 01 00 00 2E"));
    EXPECT_TRUE(rig.line.messages.texts().isEmpty());
}

TEST(VolumeWindow, NoiseBeforeRepliesIsDropped)
{
    VolumeRig rig({.flags = {"--noise", "5"}});
    ASSERT_TRUE(rig.line.ready());
    rig.window.StartPolling(VolumeCoef);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.line.frames().size() >= 12; }, Patience));
    const std::vector<QByteArray> frames = rig.line.frames();
    EXPECT_EQ(frames[0], DeviceRequest);
    for (std::size_t i = 1; i < frames.size(); ++i)
        ASSERT_EQ(frames[i], i % 2 == 1 ? VolumeRequest : FlowRequest) << i;
    EXPECT_TRUE(rig.window.Polling());
    EXPECT_NE(Child<QLineEdit>(rig.window, "edit_Time_ms")->text(), "00:00.00");
    EXPECT_TRUE(rig.line.messages.texts().isEmpty());
}

TEST(VolumeWindow, SilenceGivesThreeSendsAndOneBox)
{
    VolumeRig rig({.flags = {"--silent"}});
    ASSERT_TRUE(rig.line.ready());
    rig.window.StartPolling(VolumeCoef);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.line.messages.messages().empty(); }, Patience));
    EXPECT_EQ(rig.line.frames(), std::vector<QByteArray>(3, DeviceRequest));
    EXPECT_EQ(rig.line.messages.texts(), QStringList{NoLinkText});
    EXPECT_EQ(rig.line.messages.messages()[0].kind, MessageKind::Error);
    EXPECT_TRUE(NoLink);
    EXPECT_FALSE(rig.window.Polling());
    EXPECT_FALSE(rig.window.HoldsPort(PortName));
    EXPECT_FALSE(IsLive(Child<QLineEdit>(rig.window, "edit_Time_ms")));

    QTest::qWait(1500);
    EXPECT_EQ(rig.line.frames().size(), 3u);
    EXPECT_EQ(rig.line.messages.messages().size(), 1u);
}

TEST(VolumeWindow, UnpluggedInstrumentIsReportedOnce)
{
    VolumeRig rig({.flags = {"--unplug-after", "9"}});
    ASSERT_TRUE(rig.line.ready());
    rig.window.StartPolling(VolumeCoef);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.line.messages.messages().empty(); }, Patience));
    EXPECT_EQ(rig.line.messages.texts(), QStringList{NoLinkText});
    EXPECT_FALSE(rig.window.Polling());
    EXPECT_FALSE(rig.window.HoldsPort(PortName));
    QTest::qWait(1500);
    EXPECT_EQ(rig.line.messages.messages().size(), 1u);
}

TEST(VolumeWindow, WrongEchoesEndThePollingAsSilenceDoes)
{
    VolumeRig rig({.flags = {"--wrong-echo", "3"}});
    ASSERT_TRUE(rig.line.ready());
    rig.window.StartPolling(VolumeCoef);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.line.messages.messages().empty(); }, Patience));
    EXPECT_EQ(rig.line.frames(), std::vector<QByteArray>(3, DeviceRequest));
    EXPECT_EQ(rig.line.messages.texts(), QStringList{NoLinkText});
    EXPECT_TRUE(NoLink);
    EXPECT_FALSE(rig.window.HoldsPort(PortName));
    EXPECT_FALSE(IsLive(Child<QLineEdit>(rig.window, "edit_delP")));
    EXPECT_FALSE(IsLive(Child<QLineEdit>(rig.window, "edit_Vol")));
}

} // namespace
