#pragma once
// "Найти адаптер": the serial devices present, and binding one of them to a
// port name by the link COMn in the working folder.

#include <QDialog>
#include <QList>

#include "serial/PortFinder.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

class TPortDevF : public QDialog {
    Q_OBJECT
public:
    // `root` stands for the file system's root, `workDir` for the folder the
    // port names live in; the program passes "/" and its working folder.
    TPortDevF(const QString &root, const QString &workDir, int portNumber, QWidget *parent = nullptr);

    QTableWidget *GridDevices = nullptr;
    QComboBox *box_Com = nullptr;
    QPushButton *Key_Bind = nullptr;
    QPushButton *Key_Refresh = nullptr;
    QPushButton *Key_Close = nullptr;
    QLabel *LBindNote = nullptr;

    // The port name last bound while the window was open; 0 when none.
    int BoundPort() const { return m_bound; }

    void Key_BindClick();
    void Key_RefreshClick();

private:
    QString m_root;
    QString m_workDir;
    QList<SerialDevice> m_devices;
    int m_bound = 0;
};
