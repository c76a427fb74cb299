#include "volume/DebVol.h"

#include <QLineEdit>

TDebVolF *DebVolF = nullptr;

TDebVolF::TDebVolF(QWidget *parent) : QDialog(parent)
{
    setObjectName("DebVolF");
    setWindowTitle(QStringLiteral("Объем  выдоха"));
    resize(400, 300);

    edit_kVol = new QLineEdit(QStringLiteral("128"), this);
    edit_kVol->setObjectName("edit_kVol");
}
