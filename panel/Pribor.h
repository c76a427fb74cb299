#pragma once

#include <QDialog>

// A window whose contents come with its own part of the program; for now it
// is an empty window of the right class and caption.
class TPriborF : public QDialog {
    Q_OBJECT
public:
    explicit TPriborF(QWidget *parent = nullptr);

    // What to do when the panel opens; the main window sets them.
    bool AutoConnect = false;
    bool AutoSensor = false;
    bool AutoLinkTest = false;
    bool AutoClock = false;
};

extern TPriborF *PriborF;
