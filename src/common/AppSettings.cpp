#include "common/AppSettings.h"

#include <QStandardPaths>

namespace AppSettings {

AppSettingsNotifier& notifier()
{
    static AppSettingsNotifier instance;
    return instance;
}

QString filePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Rondix/Rondix.conf");
}

std::unique_ptr<QSettings> open()
{
    return std::make_unique<QSettings>(filePath(), QSettings::IniFormat);
}

bool boolValue(const QString& key, bool absentValue)
{
    return open()->value(key, absentValue).toBool();
}

bool contains(const QString& key)
{
    return open()->contains(key);
}

void setValue(const QString& key, const QVariant& value)
{
    auto s = open();
    s->setValue(key, value);
    s->sync();
    Q_EMIT notifier().valueChanged(key);
}

void remove(const QString& key)
{
    auto s = open();
    s->remove(key);
    s->sync();
    Q_EMIT notifier().valueChanged(key);
}

QVariant value(const QString& key, const QVariant& absentValue)
{
    return open()->value(key, absentValue);
}

} // namespace AppSettings
