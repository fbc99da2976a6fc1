#pragma once

#include "model/RingProfile.h"

#include <optional>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QUuid>

Q_DECLARE_LOGGING_CATEGORY(lcProfiles)

Q_DECLARE_METATYPE(std::optional<QUuid>)

// Owns every ring: loads them from <data>/Rondix/profiles.json, resolves the ring
// for an application and writes the whole list back after each edit. Main thread only.
class AppProfileManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<RingProfile> profiles READ profiles WRITE setProfiles NOTIFY profilesChanged)
    Q_PROPERTY(std::optional<QUuid> selectedProfileId READ selectedProfileId WRITE setSelectedProfileId NOTIFY
                   selectedProfileIdChanged)
    Q_PROPERTY(QString saveBlockedPath READ saveBlockedPath NOTIFY saveBlockedPathChanged)

public:
    // `dataDirectory` is the per-user data folder ($XDG_DATA_HOME); the store lives in
    // its "Rondix" subfolder. Loads at once.
    explicit AppProfileManager(const QString& dataDirectory, QObject* parent = nullptr);
    ~AppProfileManager() override;

    // The instance wired to the real data folder; made on first use, never destroyed.
    static AppProfileManager& shared();
    static QString defaultDataDirectory();
    // The store file under a data folder, and the file of the older product name
    // that a first start copies from.
    static QString storeFilePath(const QString& dataDirectory);
    static QString legacyStoreFilePath(const QString& dataDirectory);

    QList<RingProfile> profiles() const { return m_profiles; }
    // Publishes without saving (the settings list binds to these).
    void setProfiles(const QList<RingProfile>& profiles);
    std::optional<QUuid> selectedProfileId() const { return m_selectedProfileId; }
    void setSelectedProfileId(const std::optional<QUuid>& id);

    QString saveDirectory() const { return m_saveDirectory; }
    QString saveFilePath() const { return m_saveFilePath; }
    // Where an unreadable store file was copied aside; empty when none was.
    QString keptCopyPath() const { return m_keptCopyPath; }
    // The unreadable store file that could not be copied aside. While it is set,
    // no save replaces that file, so no change to the rings is kept; empty
    // while saves work.
    QString saveBlockedPath() const { return m_unreadableFilePending ? m_saveFilePath : QString(); }

    // The ring for an application; the global ring when the id is absent, empty or unknown.
    RingProfile profileFor(const std::optional<QString>& bundleId) const;

    // First ring without bundle identifier, or a fresh default ring (not added).
    RingProfile universalProfile() const;
    void setUniversalProfile(const RingProfile& profile);

    // The selected ring, else the global ring.
    RingProfile selectedProfile() const;
    // Replaces the ring with the same id and saves; nothing for an unknown id or nothing.
    void setSelectedProfile(const std::optional<RingProfile>& profile);

    int customProfilesCount() const;

    RingProfile addProfile(const QString& appName, const QString& bundleId,
                           const std::optional<QString>& iconPath);
    // Merges a ring read from a file, selects it and saves; false when there was
    // no ring to take a global ring's slots or the save failed.
    bool importProfile(const RingProfile& profile);
    void deleteProfile(const RingProfile& profile);
    void clearAllSlots(const QUuid& ringId);
    void updateSlot(const QUuid& ringId, const ActionSlot& slot);
    void resetToDefaults();
    // Writes the whole list atomically; false (and one log line) when that failed.
    bool saveProfiles();

Q_SIGNALS:
    void profilesChanged();
    void selectedProfileIdChanged();
    void saveBlockedPathChanged();

private:
    void loadProfiles();
    void resetProfilesToDefault();
    bool keepUnreadableFile();
    void setUnreadableFilePending(bool pending);
    int indexOfId(const QUuid& id) const;

    QList<RingProfile> m_profiles;
    std::optional<QUuid> m_selectedProfileId;
    QString m_saveDirectory;
    QString m_saveFilePath;
    // Set while an unreadable store file could not be copied aside: it must not be
    // overwritten until a copy exists.
    bool m_unreadableFilePending = false;
    QString m_keptCopyPath;
};
