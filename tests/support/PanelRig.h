#pragma once
// The instrument panel on a line to the virtual instrument, with a fixed PC
// clock, the memory view at its start-up state and the frames counted from a
// mark.

#include "ExchangeRig.h"

#include "panel/Pribor.h"

#include <QDateTime>
#include <vector>

class PanelRig {
public:
    explicit PanelRig(const RigSetup &setup = {});
    ~PanelRig();

    bool ready() const { return rig.ready(); }

    // Shows the panel as the main window's menu item with these opening
    // flags would, and lets its activation run.
    void open(bool connect, bool sensor, bool linkTest, bool clock);

    // Frames the instrument received since the last call (or the start).
    std::vector<QByteArray> newFrames();

    // Puts `registers` into the instrument's internal registers 25..32
    // (seconds .. year, then the byte after the clock).
    bool setInstrumentRegisters(const QByteArray &registers);

    static QDateTime FixedPcTime();   // 5 March 2009, 14:07:30

    ExchangeRig rig;
    TPriborF panel;

private:
    size_t m_seen = 0;
};
