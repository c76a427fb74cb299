#pragma once
// The sensor data window: looks up the stored calibration record of a
// sensor, derives a record from the seven calibration readings, stores it in
// the sensor database and, on closing, hands the result to the service
// window's sensor table. It is opened from the service window with exec();
// on opening it hides the service window in a way that keeps the service
// window's own exec() running (hiding a dialog the usual way ends it), and
// shows it again on closing.

#include "sensor/SensorBase.h"

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class QTableWidget;
class QToolButton;

class TSensorF : public QDialog {
    Q_OBJECT
public:
    explicit TSensorF(QWidget *parent = nullptr);

    // The note as the operator typed it, when the field was edited on sensor
    // `sensorNumber` since it last showed a stored note.
    std::optional<QString> EditedNote(int sensorNumber) const;

    QLabel *Label1 = nullptr;
    QLineEdit *EditNS = nullptr;           // sensor number
    QPushButton *Key_Plus = nullptr;
    QPushButton *Key_Minus = nullptr;
    QTableWidget *GridS = nullptr;         // words 0..30, shown only
    QLabel *Label4 = nullptr;
    QLineEdit *EditText = nullptr;         // the note
    QLabel *Label2 = nullptr;
    QLabel *L_Ver = nullptr;               // a click checks the access code
    QPlainTextEdit *Memo1 = nullptr;
    QLabel *Label5 = nullptr;
    QLineEdit *edit_17 = nullptr;          // volume coefficient
    QLineEdit *txt_PlMinus = nullptr;      // shift amount
    QPushButton *key_DelMi = nullptr;
    QPushButton *key_DelPl = nullptr;
    QLabel *Label3 = nullptr;
    QTableWidget *GridBaza = nullptr;      // the seven readings
    QPushButton *Key_NewV = nullptr;
    QPushButton *Key_Plus1 = nullptr;
    QPushButton *Key_DataEdit = nullptr;
    QToolButton *Key_Exit = nullptr;

    void FormActivate();
    void EditNSChange();
    void EditTextChange();
    void Key_PlusClick();
    void Key_MinusClick();
    void L_VerClick();
    void Key_Plus1Click();
    void Key_DataEditClick();
    void edit_17Change();
    void key_DelMiClick();
    void key_DelPlClick();
    void Key_ExitClick();

    // Closing, however it comes: the record into the sensor table, the
    // configuration saved, the service window shown with the table.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *BuildRecordSide();
    QWidget *BuildEntrySide();
    void ShowEntryButtons(bool shown);
    void ShowSensor();
    void ShowWords();
    void ShowMixtures();
    MixtureArray TypedMixtures() const;
    void LoadSensor(int number);
    void TakeLoadedRecord();
    void ShowNoRecord();
    void StepSensor(int step);
    void ShiftMixtures(int sign);
    bool HandBackToService();
    void ShowServiceWindow();

    // What the window found, put back when it hands no record over.
    struct OpeningValues {
        int sensorNumber = 0;
        QString sensorNumberText;
        int volumeCoef = 0;
        QByteArray config;   // the configuration file
    };
    OpeningValues AtOpening;

    // Whether the window shows a record loaded whole from the sensor's file.
    bool RecordShown = false;
    bool EntryButtonsShown = false;
    // The sensor whose note the operator edited in the field, or -1.
    int NoteEditedFor = -1;
};

extern TSensorF *SensorF;
// The window, made on its first use (shell/FirstUse.h).
TSensorF *SensorDataWindow();
