#include "volume/DebVol.h"

TDebVolF *DebVolF = nullptr;

TDebVolF::TDebVolF(QWidget *parent) : QDialog(parent)
{
    setObjectName("DebVolF");
    setWindowTitle(QStringLiteral("Объем  выдоха"));
    resize(400, 300);
}
