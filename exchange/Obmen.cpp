#include "exchange/Obmen.h"

TObmenF *ObmenF = nullptr;

TObmenF::TObmenF(QWidget *parent) : QDialog(parent)
{
    setObjectName("ObmenF");
    setWindowTitle(QStringLiteral("Обмен  с  прибором"));
    resize(400, 300);
}
