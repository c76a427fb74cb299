#include "service/Debug.h"

TDebugF *DebugF = nullptr;

TDebugF::TDebugF(QWidget *parent) : QDialog(parent)
{
    setObjectName("DebugF");
    setWindowTitle(QStringLiteral("Наладка"));
    resize(400, 300);
}
