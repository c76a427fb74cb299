#pragma once

#include <QDialog>

// A window whose contents come with its own part of the program; for now it
// is an empty window of the right class and caption.
class TResF : public QDialog {
    Q_OBJECT
public:
    explicit TResF(QWidget *parent = nullptr);
};

extern TResF *ResF;
