#include "panel/Pribor.h"

TPriborF *PriborF = nullptr;

TPriborF::TPriborF(QWidget *parent) : QDialog(parent)
{
    setObjectName("PriborF");
    setWindowTitle(QStringLiteral("Прибор: \"Орбиск  7м\""));
    resize(400, 300);
}
