#include "settingsstore.h"

#include <QSettings>

static QString settingName(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, application);
    return store.value(settingName(section, key), defaultValue).toString();
}

void SaveSetting(const QString &application, const QString &section, const QString &key, const QString &value)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, application);
    store.setValue(settingName(section, key), value);
    store.sync();
}
