#include "service/Debug.h"

#include "panel/SensorGrid.h"

#include <QTableWidget>

TDebugF *DebugF = nullptr;

TDebugF::TDebugF(QWidget *parent) : QDialog(parent)
{
    setObjectName("DebugF");
    setWindowTitle(QStringLiteral("Наладка"));
    resize(400, 300);

    GridS1 = new QTableWidget(SensorGridRows, 2, this);
    GridS1->setObjectName("GridS1");
    PrepareSensorGrid(GridS1);
}
