#pragma once

#include <QPixmap>

// The picture of the instrument on the main window.
QPixmap DrawInstrumentPicture(const QSize &size);
