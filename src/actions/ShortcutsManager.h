#pragma once

#include <functional>
#include <optional>
#include <QDateTime>
#include <QObject>
#include <QStringList>

// The user's scripts: executable files in $XDG_DATA_HOME/Rondix/shortcuts/.
// Lists them for the slot editor (in the background) and runs one by name.
class ShortcutsManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList installedShortcuts READ installedShortcuts NOTIFY installedShortcutsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QDateTime lastRefreshed READ lastRefreshedOrNull NOTIFY lastRefreshedChanged)
public:
    // Starts a program file detached; false when it could not be started.
    using Launcher = std::function<bool(const QString& program)>;

    // Starts a refresh at once, as the shared instance does on first use.
    explicit ShortcutsManager(const QString& folder, Launcher launcher = {}, QObject* parent = nullptr);

    static ShortcutsManager& shared();
    static QString defaultFolder();

    QString folder() const { return m_folder; }
    QStringList installedShortcuts() const { return m_installedShortcuts; }
    bool isLoading() const { return m_isLoading; }
    std::optional<QDateTime> lastRefreshed() const { return m_lastRefreshed; }

    void refreshShortcuts();
    void runShortcut(const QString& name);
    // Creates the folder so the user has somewhere to put scripts.
    bool ensureFolder();

    // Names of the executable regular files, by name; trimmed, blanks dropped.
    // A folder that does not exist lists nothing. *error is set when the folder
    // exists but cannot be read.
    static QStringList listFolder(const QString& folder, QString* error = nullptr);
    static QString suggestedSymbol(const QString& name);

Q_SIGNALS:
    void installedShortcutsChanged();
    void isLoadingChanged();
    void lastRefreshedChanged();

private:
    QDateTime lastRefreshedOrNull() const { return m_lastRefreshed.value_or(QDateTime()); }
    void publish(const QStringList& list);
    // The script file a (trimmed) name stands for; empty when there is none.
    QString resolveScript(const QString& name) const;

    QString m_folder;
    Launcher m_launcher;
    QStringList m_installedShortcuts;
    bool m_isLoading = false;
    std::optional<QDateTime> m_lastRefreshed;
};
