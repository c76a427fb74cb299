#pragma once
// The service window "Наладка": behind its six-digit code the technician
// chooses the port, connects and tests the link; reads, recomputes and
// writes the instrument's sensor table and stores it in the sensor
// database; reads and writes the identification mark; watches the live
// alcohol, pressure and battery signals and looks at the last measurement's
// curve; and starts the breath-volume window.
//
// The window's arithmetic and codecs are plain functions in
// service/DebugLogic.h; this class moves texts between them and the controls.

#include "panel/Pribor.h"
#include "sensor/SensorHandOver.h"
#include "service/DebugLogic.h"

#include <QDialog>
#include <array>

class QButtonGroup;
class QGroupBox;
class QHideEvent;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QShowEvent;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class QWidget;
class TGrafF;

class TDebugF : public QDialog, public ConnectionControls {
    Q_OBJECT
public:
    explicit TDebugF(QWidget *parent = nullptr);

    enum Page { PagePort, PageAlcohol, PagePressure, PagePower };
    static constexpr int ExchangeWindowTop = 300;
    static constexpr int AlcoholViewTop = 100;
    static constexpr int PressureViewTop = 380;
    static constexpr int StoppedViewTop = 200;
    static constexpr int ViewIntervalMs = 2000;

    QToolButton *Key_Exit = nullptr;

    // The password strip.
    QWidget *PanelPW = nullptr;
    QLineEdit *EditPW = nullptr;

    // The working area and its pages.
    QWidget *PanelDebug = nullptr;
    QTabWidget *PageControl = nullptr;

    // Page "Порт": the connection group and the port choice.
    QGroupBox *PortN = nullptr;
    QButtonGroup *PortButtons = nullptr;   // items COM1..COM9, ids 0..8

    // Page "Сенсор алкоголя": the sensor table.
    QLabel *LData = nullptr;
    QTableWidget *GridS1 = nullptr;
    QToolButton *Key_InputSel = nullptr;
    QToolButton *Key_InputFile = nullptr;
    QToolButton *Key_DataEdit = nullptr;
    QToolButton *Key_WriteData = nullptr;
    QToolButton *Key_SaveData = nullptr;

    // The identification marks.
    QLineEdit *EditZond = nullptr;
    QLineEdit *EditE = nullptr;
    QToolButton *Key_InputMetka = nullptr;
    QToolButton *Key_WriteMetka = nullptr;

    // Live views.
    QLineEdit *EAlcT = nullptr;
    QLineEdit *EAlcP = nullptr;
    QLineEdit *EAlcMin = nullptr;
    QLineEdit *EAlcMax = nullptr;
    QToolButton *Key_StartAlcV = nullptr;
    QToolButton *Key_StopAlcV = nullptr;
    QLineEdit *EP = nullptr;
    QLineEdit *EMinP = nullptr;
    QLineEdit *EMaxP = nullptr;
    QToolButton *Key_StartViewP = nullptr;
    QToolButton *Key_StopViewP = nullptr;
    QLineEdit *EBat = nullptr;
    QLineEdit *EBatMin = nullptr;
    QLineEdit *EBatMax = nullptr;
    QToolButton *Key_StartBat = nullptr;
    QToolButton *Key_StopBat = nullptr;
    QTimer *TimerView = nullptr;
    int ViewInterval = ViewIntervalMs;   // tests shorten it

    // The last measurement's curves.
    QToolButton *Key_InputGrafAlc = nullptr;
    QToolButton *Key_SaveDataAlc = nullptr;
    QPushButton *Key_GrafAlc = nullptr;
    QToolButton *Key_InputGrafP = nullptr;
    QToolButton *Key_SaveDataP = nullptr;
    QPushButton *Key_ViewGrafP = nullptr;
    TGrafF *GrafF = nullptr;

    // Page "Сенсор давления": the breath-volume window.
    QPushButton *key_DebVol = nullptr;

    // State of the gate and of the live views.
    QString PasswordEntry;
    bool LiveViewOn = false;
    int EthanolTenths = 0;
    int EthanolSignal = 0;
    int PressSignal = 0;
    int BatSignal = 0;
    int EthanolMin = EmptyMin, EthanolMax = EmptyMax;
    int PressMin = EmptyMin, PressMax = EmptyMax;
    int BatMin = EmptyMin, BatMax = EmptyMax;

    enum class CurveKind { None, Alcohol, Pressure };
    std::array<int, CurvePoints> LastCurve{};
    std::array<int, CurvePoints> LastCurveAux1{};
    std::array<int, CurvePoints> LastCurveAux2{};
    CurveKind LastCurveKind = CurveKind::None;

    // Handlers.
    void FormActivate();
    void EditPWChange(const QString &text);
    void PortNClick(int index);
    void Key_OnClick();
    void Key_TestClick();
    void Key_ExitClick();
    void Key_InputSelClick();
    void Key_InputFileClick();
    void Key_DataEditClick();
    void Key_WriteDataClick();
    void Key_SaveDataClick();
    void Key_InputMetkaClick();
    void Key_WriteMetkaClick();
    void key_DebVolClick();
    void Key_StartAlcVClick();
    void Key_StopAlcVClick();
    void Key_StartViewPClick();
    void Key_StopViewPClick();
    void TimerViewTimer();
    void Key_InputGrafAlcClick();
    void Key_InputGrafPClick();
    void Key_GrafAlcClick();

    // The sensor data window's opening and closing: what this window hands
    // it, what it takes back into the table, and this window shown again
    // with its working area.
    SensorOpening OpeningForSensorWindow();
    void TakeSensorHandBack(const SensorHandBack &handBack);
    void ShowUnlocked();

    // Column 1 of rows 0..22 as the operator sees them: a value still being
    // typed into a cell is taken into it first.
    QStringList TableCells();

    int exec() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *BuildPasswordStrip();
    QWidget *BuildPortPage();
    QWidget *BuildAlcoholPage();
    QWidget *BuildPressurePage();
    QWidget *BuildPowerPage();
    QWidget *BuildTableGroup();
    QWidget *BuildMarkGroup();
    QWidget *BuildCurveGroup(bool alcohol);
    void ConnectHandlers();
    void ShowPortInUse();

    void ReadTable();
    void TakeTableRead();
    void ShowNoData();
    void GridFromTable(const QStringList &cells);
    void ShowSavedTable();
    bool ReadMark(bool (*read)(), QLineEdit *field);
    void ReadCurve(int address, CurveKind kind);

    void StartView(int top);
    void StopView();
    void ArmView();
    bool ExchangeBusy() const;
    void ShowAlcohol();
    void ShowPressure();
    void ShowBattery();
    void ShowLiveFailure();

    bool HandingToSensorWindow = false;   // hidden while the sensor data window is open
};

extern TDebugF *DebugF;
// The window, made on its first use (shell/FirstUse.h).
TDebugF *DebugWindow();
