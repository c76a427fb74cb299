#include "views/Res.h"

TResF *ResF = nullptr;

TResF::TResF(QWidget *parent) : QDialog(parent)
{
    setObjectName("ResF");
    setWindowTitle(QStringLiteral("Результаты  тестов"));
    resize(400, 300);
}
