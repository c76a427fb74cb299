#pragma once
// The lists window: the eight lists of tested persons, edited in place, read
// from and written into the instrument; a double click on a person opens
// the statistics window on that person.

#include <QDialog>

class QGroupBox;
class QPlainTextEdit;
class QShowEvent;
class QTableWidget;
class QTableWidgetItem;
class QToolButton;

class TListF : public QDialog {
    Q_OBJECT
public:
    explicit TListF(QWidget *parent = nullptr);

    QPlainTextEdit *Memo1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QTableWidget *GridName = nullptr;
    QTableWidget *GridFIO = nullptr;
    QToolButton *KeyInput = nullptr;
    QToolButton *Key_InputSel = nullptr;
    QToolButton *Key_OutputSel = nullptr;
    QToolButton *init_EEPROM = nullptr;
    QToolButton *Key_Exit = nullptr;

    void FormActivate();
    void ShowLists();
    void ShowPersons(int list);
    void GridNameSelectCell(int row);
    void GridNameSetEditText(int row, const QString &text);
    void GridFIOSelectCell(int row);
    void GridFIOSetEditText(int row, const QString &text);
    void GridFIODblClick(int row);
    void KeyInputClick();
    void Key_InputSelClick();
    void Key_OutputSelClick();
    void init_EEPROMClick();
    void Key_ExitClick();

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildButtons();
    void SetCell(QTableWidget *grid, int row, int column, const QString &text);

    void NameCommitted(QTableWidgetItem *item);
    void PersonCommitted(QTableWidgetItem *item);

    // The list this window shows and acts on. The statistics window, open
    // beside it, may choose another list for itself.
    int m_list = 1;
    bool m_saveOnClose = false;   // the lists were changed since the file was read
    bool m_fileRead = false;      // the file gave the lists, or took the new ones
    bool m_listSaveFailed = false;   // a save for the statistics window failed
};

extern TListF *ListF;
// The window, made on its first use (shell/FirstUse.h).
TListF *ListWindow();
