#pragma once

#include <QString>

// The per-user settings store: text values by application, section and key.
// It is the user's native store (the registry on Windows; an INI file named
// after the application under the user's configuration folder elsewhere),
// and it returns exactly the text that was written.
QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue = QString());
void SaveSetting(const QString &application, const QString &section, const QString &key, const QString &value);
