#include "PanelRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "panel/MemPage.h"
#include "store/OrbADat.h"

#include <QCoreApplication>

PanelRig::PanelRig(const RigSetup &setup) : rig(setup)
{
    ResetMemView();
    FixPcNow(FixedPcTime());
    PriborF = &panel;
}

PanelRig::~PanelRig()
{
    PriborF = nullptr;
    FixPcNow({});
}

QDateTime PanelRig::FixedPcTime()
{
    return QDateTime(QDate(2009, 3, 5), QTime(14, 7, 30));
}

void PanelRig::open(bool connect, bool sensor, bool linkTest, bool clock)
{
    panel.AutoConnect = connect;
    panel.AutoSensor = sensor;
    panel.AutoLinkTest = linkTest;
    panel.AutoClock = clock;
    panel.hide();
    panel.show();
    // The activation is queued behind the show; its exchanges run to the end
    // inside it.
    QCoreApplication::processEvents();
}

std::vector<QByteArray> PanelRig::newFrames()
{
    const std::vector<QByteArray> all = rig.frames();
    std::vector<QByteArray> fresh(all.begin() + static_cast<std::ptrdiff_t>(std::min(m_seen, all.size())), all.end());
    m_seen = all.size();
    return fresh;
}

bool PanelRig::setInstrumentRegisters(const QByteArray &registers)
{
    // Registers 25..31 by the clock write, then 31 and 32 by a write of two.
    std::copy_n(registers.begin(), ClockImage.size(), ClockImage.begin());
    if (!WriteClock())
        return false;
    ClockImage[0] = static_cast<uint8_t>(registers[6]);
    ClockImage[1] = static_cast<uint8_t>(registers[7]);
    ExchAddress = ClockAddress + 6;
    ExchCount = 2;
    ExchMode = ModeWriteClock;
    ObmenF->exec();
    newFrames();
    return !NoLink;
}
