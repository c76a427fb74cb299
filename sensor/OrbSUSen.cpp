#include "sensor/OrbSUSen.h"

TSensorF *SensorF = nullptr;

TSensorF::TSensorF(QWidget *parent) : QDialog(parent)
{
    setObjectName("SensorF");
    setWindowTitle(QStringLiteral("Данные  по  сенсорам"));
    resize(400, 300);
}
