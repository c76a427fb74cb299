#pragma once

#include <QDialog>

// A window whose contents come with its own part of the program; for now it
// is an empty window of the right class and caption.
class TListF : public QDialog {
    Q_OBJECT
public:
    explicit TListF(QWidget *parent = nullptr);
};

extern TListF *ListF;
