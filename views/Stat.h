#pragma once

#include <QDialog>

// A window whose contents come with its own part of the program; for now it
// is an empty window of the right class and caption.
class TStatF : public QDialog {
    Q_OBJECT
public:
    explicit TStatF(QWidget *parent = nullptr);
};

extern TStatF *StatF;
