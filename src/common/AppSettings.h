#pragma once

#include <QObject>
#include <QSettings>
#include <QString>

#include <memory>

// The user's settings: an INI file at $XDG_CONFIG_HOME/Rondix/Rondix.conf,
// using the same key names on every platform ("soundEnabled", "app_language", ...).
// Announces each key written or removed through AppSettings in this process,
// so that open windows and the ring follow a changed setting at once.
class AppSettingsNotifier : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void valueChanged(const QString& key);
};

namespace AppSettings {

AppSettingsNotifier& notifier();

// Path of the settings file for the current environment.
QString filePath();

// A settings object bound to filePath(). Cheap to create; create one per use
// so that a changed XDG_CONFIG_HOME (tests) is honoured.
std::unique_ptr<QSettings> open();

bool boolValue(const QString& key, bool absentValue);
bool contains(const QString& key);
void setValue(const QString& key, const QVariant& value);
void remove(const QString& key);
QVariant value(const QString& key, const QVariant& absentValue = {});

} // namespace AppSettings
