#pragma once
// The one place where the CP1251 bytes of the files and the instrument meet
// the Unicode texts of the windows.

#include <QByteArray>
#include <QString>

// Every byte has a character, so bytes survive a trip through a QString
// unchanged (the one unassigned code, 0x98, stands for U+0098).
QString FromCp1251(const QByteArray &bytes);

// Characters without a CP1251 code become '?'.
QByteArray ToCp1251(const QString &text);
