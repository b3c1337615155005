#pragma once

#include <QString>

// The per-user settings store: text values by application, section and key.
// It is the user's native store, with the application name as its top level
// (HKEY_CURRENT_USER\\Software\\<application> on Windows; <application>.conf,
// an INI file, in the user's configuration folder elsewhere), and it
// returns exactly the text that was written.
QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue = QString());
void SaveSetting(const QString &application, const QString &section, const QString &key, const QString &value);
