#pragma once

#include <QDialog>

class QLineEdit;

// A window whose contents come with its own part of the program; for now it
// is an empty window of the right class and caption.
class TDebVolF : public QDialog {
    Q_OBJECT
public:
    explicit TDebVolF(QWidget *parent = nullptr);

    // The breath-volume coefficient field, set by the exchange window's
    // hand-off. The window's own work places it among its controls.
    QLineEdit *edit_kVol = nullptr;
};

extern TDebVolF *DebVolF;
