#pragma once

#include <QDialog>

// A window whose contents come with its own part of the program; for now it
// is an empty window of the right class and caption.
class TSensorF : public QDialog {
    Q_OBJECT
public:
    explicit TSensorF(QWidget *parent = nullptr);
};

extern TSensorF *SensorF;
