#include "views/Stat.h"

TStatF *StatF = nullptr;

TStatF::TStatF(QWidget *parent) : QDialog(parent)
{
    setObjectName("StatF");
    setWindowTitle(QStringLiteral("Статистика"));
    resize(400, 300);
}
