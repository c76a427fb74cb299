#include "shell/Settings.h"

#include <QSettings>

namespace {

const QString FastExchangeKey = QStringLiteral("exchange/fast");

} // namespace

bool LoadFastExchangeSetting()
{
    const QSettings settings(SettingsFileName, QSettings::IniFormat);
    return settings.value(FastExchangeKey, false).toBool();
}

bool SaveFastExchangeSetting(bool on)
{
    QSettings settings(SettingsFileName, QSettings::IniFormat);
    settings.setValue(FastExchangeKey, on);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
