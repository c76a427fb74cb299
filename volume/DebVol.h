#pragma once
// The breath-volume window: while a person blows into the instrument, the
// service technician watches its pressure and exhaled volume live, sees the
// breath drawn as a pressure curve and a volume curve, and reads it back as
// tables of flow and volume over time.
//
// The service window's "Контроль объема выдоха" reads the sensor table and
// then starts the window with the breath-volume coefficient (StartPolling):
// it shows itself, opens its own port, takes the lease on it and starts the
// polling. Closing or hiding the window ends the polling and frees the port.

#include "serial/CommEr.h"
#include "serial/PortLease.h"
#include "volume/BreathPoll.h"
#include "volume/BreathRecord.h"

#include <QDialog>
#include <QImage>
#include <vector>

class BreathTableModel;
class QComboBox;
class QGroupBox;
class QHideEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTimer;
class QToolButton;
class TGraphView;

// Set by the service window's breath-volume button; until then the window
// does nothing when it is shown.
extern bool DebVolActive;

// The window's text on its port lease: the exchange window adds it to its
// report when it cannot open the port because this window holds it.
extern const QString PortHeldByVolumeWindowText;

class TDebVolF : public QDialog {
    Q_OBJECT
public:
    explicit TDebVolF(QWidget *parent = nullptr);
    ~TDebVolF() override;

    static constexpr int SilenceIntervalMs = 1000;
    static constexpr uint32_t DefaultReadIntervalMs = 100;


    // Handlers.
    void FormActivate();
    void FormClose();
    void TimerIOTimer();
    void PortReceiveData(TCommEr *Sender, const uint8_t *Buffer, uint16_t BufferLength);
    void Key_ExitClick();
    void key_ClrClick();
    void key_PlusClick();
    void key_MinusClick();
    void boxChange();
    void box_MTimeChange();
    void key_RotamShow();
    void FillBreathTable();

    // The service window's launcher, once the sensor table has been read:
    // shows `volumeCoef` in the coefficient field, shows the window and
    // starts the polling.
    void StartPolling(int volumeCoef);

    // Whether the window's port is open on `portName`, polling or not.
    bool HoldsPort(const QString &portName) const;
    bool Polling() const { return Poller.Polling(); }

    // The port's inter-byte time-out, which delays every reply: 100 ms in the
    // program; tests shorten it.
    void SetReadIntervalTimeout(uint32_t ms);

    const QImage &Graph() const { return GraphImage; }

    BreathRecorder Recorder;
    int PressureScale = MaxPressureScale;
    int FlowUnit = 0;
    int TimeStep = 0;

protected:
    void hideEvent(QHideEvent *event) override;

private:
    QLabel *Label1 = nullptr;
    QLineEdit *edit_Time_ms = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *edit_delP = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label3 = nullptr;
    QComboBox *box = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label5 = nullptr;
    QLineEdit *edit_Vol = nullptr;
    QPushButton *key_Clr = nullptr;
    QToolButton *key_Plus = nullptr;
    QToolButton *key_Minus = nullptr;
    QLabel *Label8 = nullptr;
    QLineEdit *edit_kVol = nullptr;   // shows VolumeCoef; this window does not read it
    QToolButton *Key_Exit = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr;
    TGraphView *imP = nullptr;
    QWidget *key_Rotam = nullptr;     // the tables page
    QTableView *grid_Vol = nullptr;
    QLabel *Label6 = nullptr;
    QTableWidget *grid_R = nullptr;
    QPushButton *key_Rot = nullptr;
    QLabel *Label7 = nullptr;
    QComboBox *box_MTime = nullptr;
    QLabel *labFont = nullptr;        // hidden; its font is the graph's
    QTimer *TimerIO = nullptr;
    TCommEr *Port = nullptr;

    void BuildControls();
    void OpenPort();
    void ClosePort();
    void Carry(const std::vector<PollEvent> &events);
    void ShowSample(const FlowReading &reading);
    void RecordSample();
    void EndPolling(PollStop why);
    void PortHangup();
    void ShowValuesLive(bool live);
    void RedrawBackground();

    BreathPoller Poller;
    PortLease Lease;
    QImage GraphImage;
    BreathTableModel *TableModel = nullptr;
};

extern TDebVolF *DebVolF;
// The window, made on its first use (shell/FirstUse.h).
TDebVolF *DebVolWindow();
