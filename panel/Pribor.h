#pragma once
// The instrument panel: connecting to the instrument, its identification
// and sensor table, the link test; and the pages of the clock, the memory
// view and the clock-rate correction.

#include <QDateTime>
#include <QDialog>

class QButtonGroup;
class QComboBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QShowEvent;
class QTabWidget;
class QTableWidget;
class QToolButton;

// The group "Подключение  прибора" of the panel and the service window: the
// connect and link-test buttons beside the version, instrument and sensor
// numbers in rows 0..2 of its grid. The caller places the two link-test bars.
// Both windows hold these controls under the same names.
struct ConnectionControls {
    QPushButton *Key_On = nullptr;
    QPushButton *Key_Test = nullptr;
    QLabel *LVer = nullptr;
    QLabel *LNum = nullptr;
    QLabel *LSensor = nullptr;
    QProgressBar *TestProgres = nullptr;    // answers of the link test
    QProgressBar *TestProgresN = nullptr;   // silences of the link test
};
QGroupBox *MakeConnectionGroup(QWidget *parent, ConnectionControls &controls, QGridLayout *&grid);

class TPriborF : public QDialog, public ConnectionControls {
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
    static constexpr int ClockExchangeTop = 100;
    static constexpr int WatchExchangeLeft = 200;
    static constexpr int WatchExchangeTop = 50;
    static constexpr int WatchReads = 21;

    QToolButton *Key_Exit = nullptr;

    QTabWidget *PageControl = nullptr;
    QFrame *PanelSen1 = nullptr;
    QTableWidget *GridS1 = nullptr;

    // "Часы".
    QLineEdit *ETime = nullptr;
    QLineEdit *EDate = nullptr;
    QLineEdit *EPC = nullptr;
    QToolButton *KeyPriem = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QToolButton *KeyKrug = nullptr;        // toggle: the watch runs
    QLabel *LClockNote = nullptr;          // a read on opening that gave no real time or date
    QToolButton *KeyWrPC = nullptr;        // toggle, released when the write is over
    QLineEdit *EditHH = nullptr;
    QLineEdit *EditMin = nullptr;
    QLineEdit *EditSec = nullptr;
    QLineEdit *EditDay = nullptr;
    QLineEdit *EditMon = nullptr;
    QLineEdit *EditYear = nullptr;
    QToolButton *KeyWrData = nullptr;      // toggle, released when the write is over

    // "Память".
    QTableWidget *GridByte = nullptr;
    QTableWidget *GridWord = nullptr;
    QToolButton *KeyPl = nullptr;          // next page
    QToolButton *KeyMi = nullptr;          // previous page
    QPushButton *Reset_EEPROM = nullptr;
    QPushButton *Key_SaveMemory = nullptr; // the whole memory into a file
    QLabel *LDumpNote = nullptr;           // how the last memory dump ended

    // "Коррекция  хода  часов".
    QLineEdit *ETime1 = nullptr;
    QLineEdit *EDate1 = nullptr;
    QLineEdit *EPC1 = nullptr;
    QToolButton *KeyPriem1 = nullptr;
    QGroupBox *radio_PLMi = nullptr;       // item 0: the clock runs fast, item 1: slow
    QButtonGroup *radio_PLMiItems = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QLineEdit *edit_correct = nullptr;
    QToolButton *Key_InputCorrect = nullptr;
    QToolButton *Key_WriteCorrect = nullptr;

    void FormActivate();
    void Key_OnClick();
    void Key_TestClick();
    void Key_ExitClick();

    void KeyPriemClick();
    void KeyKrugClick();
    void KeyWrPCClick();
    void KeyWrDataClick();
    void KeyPlClick();
    void KeyMiClick();
    void Reset_EEPROMClick();
    void Key_SaveMemoryClick();
    void KeyPriem1Click();
    void Key_WriteCorrectClick();
    void Key_InputCorrectClick();

    // The link test from where the bars stand: every answer moves the upper
    // bar, every silent interval the lower one.
    void RunLinkTest();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildConnectionStrip();
    QWidget *BuildSensorPage();
    QWidget *BuildClockPage();
    QWidget *BuildMemoryPage();
    QWidget *BuildCorrectionPage();
    void ConnectInstrument();
    void TakeIdentification();
    void ShowNoData();
    void ResetTestBars();

    // Activation steps of the clock and memory pages.
    void OpenClockPage();
    void ReadClockOnOpening();
    void ShowMemPage();

    void FillClockFields();
    bool ReadClockAsWritten();
    bool ReadAndShowClock(QLineEdit *time, QLineEdit *date, QLineEdit *pc);
    void ShowClockRead(QLineEdit *time, QLineEdit *date, QLineEdit *pc);
    void WriteClockAndReadBack();
    void ReadMemPage(int address);
    bool ClockRunsSlow() const;
};

extern TPriborF *PriborF;
// The window, made on its first use (shell/FirstUse.h).
TPriborF *PriborWindow();

// The connection strip's controls, shared with the service window: a value
// label in a fixed font and a thin link-test bar running 0..100.
QLabel *MakeValueLabel(QWidget *parent, const char *name);
QProgressBar *MakeTestBar(QWidget *parent, const char *name);

// Advances a link-test bar by 2, back to 0 from above 98.
int NextTestBarPosition(int position);
void AdvanceTestBar(QProgressBar *bar);
