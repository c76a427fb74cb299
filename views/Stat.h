#pragma once
// The statistics window: the stored tests of one person, or of a period,
// with their count and the first and last of them.

#include <QDialog>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class QTabWidget;
class QTableView;
class QToolButton;
class FoundGridModel;

class TStatF : public QDialog {
    Q_OBJECT
public:
    explicit TStatF(QWidget *parent = nullptr);

    enum Page { PagePerson, PagePeriod };

    QWidget *control_Stat = nullptr;
    QTabWidget *page_Stat = nullptr;
    QWidget *TabSheet1 = nullptr;
    QWidget *TabSheet2 = nullptr;
    QComboBox *box_List = nullptr;
    QComboBox *box_FIO = nullptr;
    QPlainTextEdit *memo_Poisk = nullptr;
    QComboBox *box_YearB = nullptr;
    QComboBox *box_MonB = nullptr;
    QComboBox *box_DayB = nullptr;
    QComboBox *box_HHB = nullptr;
    QComboBox *box_MMB = nullptr;
    QComboBox *box_YearE = nullptr;
    QComboBox *box_MonE = nullptr;
    QComboBox *box_DayE = nullptr;
    QComboBox *box_HHE = nullptr;
    QComboBox *box_MME = nullptr;
    QPushButton *key_Poisk = nullptr;
    QLabel *LabelPeriod = nullptr;   // says when the period ends before it begins
    QTableView *GridRes = nullptr;
    QToolButton *Key_Exit = nullptr;
    QPushButton *Key_Export = nullptr;   // the records found, as a spreadsheet table
    QLabel *LabelShown = nullptr;        // how many of the records found the grid shows
    QPushButton *Key_Print = nullptr;    // the records found, on paper
    QPushButton *Key_Pdf = nullptr;      // the records found, as a PDF file

    const FoundGridModel &Grid() const { return *m_grid; }

    // Opens the window, or brings it forward and activates it again when it
    // is open already, so that it shows the files as they are now. The
    // window opens as a window of `caller`, which stays usable beside it.
    // KeepInMemory shows the lists as they are in memory this once, for a
    // caller that shows them from there.
    enum class ListsOnOpening { Load, KeepInMemory };
    void Open(QWidget *caller, ListsOnOpening lists = ListsOnOpening::Load);

    void FormActivate();
    void box_ListChange(int index);
    void box_FIOChange(int index);
    void key_PoiskClick();
    void page_StatChange(int index);
    void Key_ExitClick();
    void Key_ExportClick();
    void Key_PrintClick();
    void Key_PdfClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildPersonPage();
    QWidget *BuildPeriodPage();
    void FillYearBoxes();
    void FillPersonBoxes();
    void FillPersonNames();
    void ShowPersonSearch();
    void RunPeriodSearch();
    void ReadPeriodBoxes();
    void SetPeriodBoxes();
    void ShowFound();

    FoundGridModel *m_grid = nullptr;
    bool m_keepListsOnce = false;
};

extern TStatF *StatF;
// The window, made on its first use (shell/FirstUse.h).
TStatF *StatWindow();
