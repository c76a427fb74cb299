#pragma once
// The results window: the breath tests of the results store, reading new
// tests from the instrument, the daily text copy for printing, and the
// tests as a table for spreadsheet programs.

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QShowEvent;
class QTableView;
class QToolButton;
class ResultsGridModel;

class TResF : public QDialog {
    Q_OBJECT
public:
    explicit TResF(QWidget *parent = nullptr);

    static constexpr int ExchangeProgressSteps = 8;

    QTableView *GridRes = nullptr;
    QToolButton *Key_Exit = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QToolButton *Key_InputStart = nullptr;
    QToolButton *Key_StepInput = nullptr;
    QLabel *LabelStep = nullptr;   // what the last step took and left out
    QLabel *LabelShown = nullptr;  // how many of the counted tests the grid shows
    QGroupBox *GroupBox2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Key_Export = nullptr;   // the tests shown, as a spreadsheet table
    QPushButton *Key_Print = nullptr;    // the tests shown, as a register on paper
    QPushButton *Key_Pdf = nullptr;      // the same register as a PDF file

    const ResultsGridModel &Grid() const { return *m_grid; }

    void FormActivate();
    void Key_InputStartClick();
    void Key_StepInputClick();
    void Button1Click();
    void Key_ExportClick();
    void Key_PrintClick();
    void Key_PdfClick();
    void Key_ExitClick();

    // Empties the grid and the note of the last step.
    void ResetResultsGrid();
    // Shows slots first .. first + n - 1 in their grid rows.
    void ShowResultRows(int first, int n);

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildInputGroup();
    QWidget *BuildPrintGroup();
    // Brings the last tests into view: the rows above them are mostly blank.
    void ScrollToLastTests();
    void ShowCountNote();

    ResultsGridModel *m_grid = nullptr;
    bool m_saveOnClose = false;   // "Старт" or "Шаг" changed the store
};

extern TResF *ResF;
// The window, made on its first use (shell/FirstUse.h).
TResF *ResWindow();
