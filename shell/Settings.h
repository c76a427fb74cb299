#pragma once
// The program's own settings, kept in orba.ini beside its other files; the
// configuration file orbisk_m.cnf keeps only what the instrument's program
// has always kept there. A missing or unreadable file means every setting at
// its default.

#include <QString>

inline const QString SettingsFileName = QStringLiteral("orba.ini");

// The fast exchange (off by default).
bool LoadFastExchangeSetting();
// False when the file could not take the change; the setting then stays as it
// was in the file.
bool SaveFastExchangeSetting(bool on);
