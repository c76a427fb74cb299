#pragma once

#include <QDialog>

class QLabel;
class QTableWidget;
class QWidget;

// A window whose contents come with its own part of the program; for now it
// is an empty window of the right class and caption.
class TDebugF : public QDialog {
    Q_OBJECT
public:
    explicit TDebugF(QWidget *parent = nullptr);

    // The sensor table grid, filled by the breath-volume hand-off of the
    // exchange window. The service window's own work places and fills it.
    QTableWidget *GridS1 = nullptr;

    // The sensor data window hands its record back through these: it fills
    // GridS1, names the source in LData and shows the unlocked panel.
    QLabel *LData = nullptr;
    QWidget *PanelPW = nullptr;
    QWidget *PanelDebug = nullptr;
};

extern TDebugF *DebugF;
