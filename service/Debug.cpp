#include "service/Debug.h"

#include "panel/SensorGrid.h"

#include <QLabel>
#include <QTableWidget>

TDebugF *DebugF = nullptr;

TDebugF::TDebugF(QWidget *parent) : QDialog(parent)
{
    setObjectName("DebugF");
    setWindowTitle(QStringLiteral("Наладка"));
    resize(400, 300);

    PanelPW = new QWidget(this);
    PanelPW->setObjectName("PanelPW");
    PanelDebug = new QWidget(this);
    PanelDebug->setObjectName("PanelDebug");
    PanelDebug->hide();
    LData = new QLabel(QStringLiteral("Прочитано  из  прибора"), PanelDebug);
    LData->setObjectName("LData");

    GridS1 = new QTableWidget(SensorGridRows, 2, PanelDebug);
    GridS1->setObjectName("GridS1");
    PrepareSensorGrid(GridS1);
}
