#pragma once
// The archive window: every test ever read, searched by part of a name,
// list, instrument, period and result range together, sorted by any column,
// exported as the other windows export, and fed with old results files.

#include "store/Archive.h"

#include <QDialog>

class ArchiveModel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QTableView;
class QToolButton;

class TArchF : public QDialog {
    Q_OBJECT
public:
    explicit TArchF(QWidget *parent = nullptr);

    QLineEdit *edit_Name = nullptr;
    QComboBox *box_List = nullptr;
    QLineEdit *edit_Instrument = nullptr;
    QCheckBox *check_Period = nullptr;
    QDateEdit *date_From = nullptr;
    QDateEdit *date_To = nullptr;
    QLineEdit *edit_ResultFrom = nullptr;
    QLineEdit *edit_ResultTo = nullptr;
    QPushButton *key_Poisk = nullptr;
    QLabel *LabelCount = nullptr;
    QTableView *GridArch = nullptr;
    QPushButton *Key_Export = nullptr;
    QPushButton *Key_Import = nullptr;
    QToolButton *Key_Exit = nullptr;

    const ArchiveModel &Model() const { return *m_model; }
    // The search the fields ask for.
    ArchiveFilter Filter() const;

    void FormActivate();
    void key_PoiskClick();
    void Key_ExportClick();
    void Key_ImportClick();
    void Key_ExitClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildSearch();
    void FillListBox();

    ArchiveModel *m_model = nullptr;
    bool m_widthsSet = false;
};

extern TArchF *ArchF;
// The window, made on its first use (shell/FirstUse.h).
TArchF *ArchWindow();

// The message after an import: how many tests it added and how many the
// archive held already.
QString ImportedText(const ArchiveAdded &added);
