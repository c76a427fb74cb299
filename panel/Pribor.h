#pragma once
// The instrument panel: connecting to the instrument, its identification
// and sensor table, the link test; and the pages of the clock, the memory
// view and the clock-rate correction.

#include <QDialog>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QShowEvent;
class QTabWidget;
class QTableWidget;
class QToolButton;

class TPriborF : public QDialog {
    Q_OBJECT
public:
    explicit TPriborF(QWidget *parent = nullptr);

    // What to do when the panel opens; the main window sets them.
    bool AutoConnect = false;
    bool AutoSensor = false;
    bool AutoLinkTest = false;
    bool AutoClock = false;

    enum Page { PageSensor, PageClock, PageMemory, PageCorrection };
    static constexpr int ExchangeWindowTop = 300;

    // The connection strip.
    QPushButton *Key_On = nullptr;
    QPushButton *Key_Test = nullptr;
    QLabel *LVer = nullptr;
    QLabel *LNum = nullptr;
    QLabel *LSensor = nullptr;
    QProgressBar *TestProgres = nullptr;    // answers of the link test
    QProgressBar *TestProgresN = nullptr;   // silences of the link test
    QToolButton *Key_Exit = nullptr;

    QTabWidget *PageControl = nullptr;
    QFrame *PanelSen1 = nullptr;
    QTableWidget *GridS1 = nullptr;

    void FormActivate();
    void Key_OnClick();
    void Key_TestClick();
    void Key_ExitClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildConnectionStrip();
    QWidget *BuildSensorPage();
    void ConnectInstrument();
    void TakeIdentification();
    void ShowNoData();
    void RunLinkTest();
    void ResetTestBars();

    // Activation steps of the clock and memory pages (filled with those pages).
    void OpenClockPage();
    void ReadClockOnOpening();
    void ShowMemPage();
};

extern TPriborF *PriborF;

// The connection strip's controls, shared with the service window: a value
// label in a fixed font and a thin link-test bar running 0..100.
QLabel *MakeValueLabel(QWidget *parent, const char *name);
QProgressBar *MakeTestBar(QWidget *parent, const char *name);

// Advances a link-test bar by 2, back to 0 from above 98.
int NextTestBarPosition(int position);
void AdvanceTestBar(QProgressBar *bar);
