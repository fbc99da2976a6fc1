#pragma once

#include "platform/LoginItem.h"

#include <QString>

// Starts Rondix at login through the freedesktop autostart folder:
// $XDG_CONFIG_HOME/autostart/org.rondix.Rondix.desktop, whose Exec runs the
// binary that registered it.
class AutostartLoginItem : public LoginItem
{
    Q_OBJECT
public:
    // Empty arguments mean: the user's config folder, the running binary.
    explicit AutostartLoginItem(const QString& configHome = {}, const QString& executable = {},
                                QObject* parent = nullptr);

    bool registerItem(QString* error) override;
    bool unregisterItem(QString* error) override;
    bool isRegistered() override;

    QString filePath() const;
    // The whole desktop entry written for `executable`.
    static QByteArray entryContent(const QString& executable);
    // One Exec argument, quoted and escaped as desktop entries require.
    static QString quoteExecArgument(const QString& argument);

private:
    QString m_configHome;
    QString m_executable;
};
