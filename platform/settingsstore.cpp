#include "settingsstore.h"

#include "fileaccess.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace {

QString settingName(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

bool isFileOrNothing(const QString &path)
{
    const FileKind kind = fileKindAt(path);
    return kind == FileKind::Missing || kind == FileKind::Regular;
}

// The user's store for `application`. Where the native store is a file (an
// INI file in the user's configuration folder, with a lock file beside it
// while it is written), it is used only while both are regular files or not
// there yet: a device or a pipe in their place would be replaced by a plain
// file, or wait forever to be read. Such a store is left alone, and the
// settings keep their defaults.
std::unique_ptr<QSettings> openStore(const QString &application)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    const QString path = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                             .filePath(application + QStringLiteral(".conf"));
    if (!isFileOrNothing(path) || !isFileOrNothing(path + QStringLiteral(".lock")))
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, application);
#endif
}

} // namespace

QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    const std::unique_ptr<QSettings> store = openStore(application);
    return store ? store->value(settingName(section, key), defaultValue).toString() : defaultValue;
}

void SaveSetting(const QString &application, const QString &section, const QString &key, const QString &value)
{
    const std::unique_ptr<QSettings> store = openStore(application);
    if (!store)
        return;
    store->setValue(settingName(section, key), value);
    store->sync();
}
