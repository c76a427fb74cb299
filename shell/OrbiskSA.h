#pragma once
// The main window: tool buttons and menus that open the other windows, the
// port choice, the status bar and the help panel.

#include <QMainWindow>
#include <QStyle>

class QAction;
class QLabel;
class QMenu;
class QToolButton;

class TOrbiskSAF : public QMainWindow {
    Q_OBJECT
public:
    explicit TOrbiskSAF(QWidget *parent = nullptr);

    QString StatusPanelText(int panel) const;
    // The folder the program keeps its files in, as the status bar names it.
    QString FolderPanelText() const;
    // Chooses port `number` (1..9) at the next activation, as the port menu
    // does; 0 keeps the configured port.
    void StartOnPort(int number) { PortAtStart = number; }
    QMenu *PortMenu() const { return Menu_Port; }

public slots:
    void FormActivate();

    void KeyPriborClick();
    void Key_ResultClick();
    void Key_StatClick();
    void KeyListClick();
    void Key_ArchClick();   // "Архив", also in the menu
    void Key_NastrClick();
    void Key_ExitClick();

    void N2Click();    // "Результаты"
    void N3Click();    // "Статистика"
    void N5Click();    // "Выход"
    void N6Click();    // "Подключение"
    void N7Click();    // "Сенсор"
    void N8Click();    // "Часы"
    void N10Click();   // "Выбор  порта"
    void N11Click();   // "Тест  связи"
    void N_FastExchClick(bool on);   // "Быстрый обмен"
    void N_SaveLogClick();           // "Сохранить журнал"

    void COM11Click();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    void COM51Click();
    void COM61Click();
    void N13Click();   // COM7
    void COM81Click();
    void COM91Click();
    void PortDevClick();   // "Найти адаптер..."

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void BuildToolBar();
    void BuildBody();
    void BuildMenu();
    void BuildPortMenu();
    void ShowPortTargets();
    void BuildStatusBar();

    QToolButton *AddToolButton(const QString &name, int x, const QString &hint,
                               QStyle::StandardPixmap icon,
                               void (TOrbiskSAF::*handler)());
    void OpenPanel(bool connect, bool sensor, bool linkTest, bool clock);
    void ChoosePort(int number);
    void SetStatusPanel(int panel, const QString &text);

    QWidget *Key_Pribor = nullptr;       // the tool-button bar
    QToolButton *KeyPribor = nullptr;
    QToolButton *Key_Result = nullptr;
    QToolButton *Key_Stat = nullptr;
    QToolButton *KeyList = nullptr;
    QToolButton *Key_Nastr = nullptr;
    QToolButton *Key_Arch = nullptr;
    QToolButton *Key_Exit = nullptr;
    QMenu *Menu_Port = nullptr;
    QAction *N_FastExch = nullptr;
    QLabel *StatusPanels[3] = {};
    QLabel *StatusFolder = nullptr;
    int PortAtStart = 0;
};

extern TOrbiskSAF *OrbiskSAF;

// Creates the main window and makes it the owner of the other eight, which
// are made when they are first opened (shell/FirstUse.h).
TOrbiskSAF *CreateWindows();
// Destroys the main window with every window made since, and clears the
// pointers.
void DestroyWindows();
