#include "views/List.h"

TListF *ListF = nullptr;

TListF::TListF(QWidget *parent) : QDialog(parent)
{
    setObjectName("ListF");
    setWindowTitle(QStringLiteral("Списки  тестируемых"));
    resize(400, 300);
}
