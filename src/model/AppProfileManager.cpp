#include "model/AppProfileManager.h"

#include "common/AtomicFile.h"

#include "common/Log.h"
#include "model/ModelJson.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

Q_LOGGING_CATEGORY(lcProfiles, "rondix.model.profiles")

namespace {

const QString kFileName = QStringLiteral("profiles.json");
const QString kFolderName = QStringLiteral("Rondix");
const QString kOldFolderName = QStringLiteral("Whirlo");

void logSaveFailure(const QString& description)
{
    logLine(QStringLiteral("[AppProfileManager] Failed to save profiles: ") + description);
}

// Position of the first ring without bundle identifier, or -1.
int indexOfGlobal(const QList<RingProfile>& profiles)
{
    for (int i = 0; i < profiles.size(); ++i) {
        if (!profiles.at(i).bundleIdentifier)
            return i;
    }
    return -1;
}

QList<ActionSlot> emptySlots()
{
    QList<ActionSlot> slots;
    for (qint64 sector = 0; sector < 8; ++sector)
        slots.append(ActionSlot::empty(sector));
    return slots;
}

} // namespace

AppProfileManager::AppProfileManager(const QString& dataDirectory, QObject* parent)
    : QObject(parent)
{
    const QString newDirectory = QDir(dataDirectory).filePath(kFolderName);
    const QString newFile = storeFilePath(dataDirectory);
    const QString oldFile = legacyStoreFilePath(dataDirectory);

    // Earlier releases stored rings under the old product name; copy, never move.
    if (!QFileInfo::exists(newFile) && QFileInfo::exists(oldFile)) {
        QDir().mkpath(newDirectory);
        if (QFile::copy(oldFile, newFile))
            qCDebug(lcProfiles) << "copied rings from" << oldFile;
    }

    m_saveDirectory = newDirectory;
    m_saveFilePath = newFile;
    loadProfiles();
    if (!m_profiles.isEmpty())
        m_selectedProfileId = m_profiles.first().id;
}

AppProfileManager::~AppProfileManager() = default;

AppProfileManager& AppProfileManager::shared()
{
    static AppProfileManager* instance = new AppProfileManager(defaultDataDirectory());
    return *instance;
}

QString AppProfileManager::defaultDataDirectory()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::home().filePath(QStringLiteral(".local/share"));
}

QString AppProfileManager::storeFilePath(const QString& dataDirectory)
{
    return QDir(QDir(dataDirectory).filePath(kFolderName)).filePath(kFileName);
}

QString AppProfileManager::legacyStoreFilePath(const QString& dataDirectory)
{
    return QDir(QDir(dataDirectory).filePath(kOldFolderName)).filePath(kFileName);
}

void AppProfileManager::setProfiles(const QList<RingProfile>& profiles)
{
    if (m_profiles == profiles)
        return;
    m_profiles = profiles;
    Q_EMIT profilesChanged();
}

void AppProfileManager::setSelectedProfileId(const std::optional<QUuid>& id)
{
    if (m_selectedProfileId == id)
        return;
    m_selectedProfileId = id;
    Q_EMIT selectedProfileIdChanged();
}

int AppProfileManager::indexOfId(const QUuid& id) const
{
    for (int i = 0; i < m_profiles.size(); ++i) {
        if (m_profiles.at(i).id == id)
            return i;
    }
    return -1;
}

RingProfile AppProfileManager::profileFor(const std::optional<QString>& bundleId) const
{
    if (bundleId && !bundleId->isEmpty()) {
        for (const RingProfile& profile : m_profiles) {
            if (profile.bundleIdentifier == *bundleId)
                return profile;
        }
    }
    return universalProfile();
}

RingProfile AppProfileManager::universalProfile() const
{
    const int i = indexOfGlobal(m_profiles);
    return i >= 0 ? m_profiles.at(i) : PresetProfiles::globalDefault();
}

void AppProfileManager::setUniversalProfile(const RingProfile& profile)
{
    QList<RingProfile> list = m_profiles;
    const int i = indexOfGlobal(m_profiles);
    if (i >= 0)
        list[i] = profile;
    else
        list.prepend(profile);
    setProfiles(list);
    saveProfiles();
}

RingProfile AppProfileManager::selectedProfile() const
{
    if (m_selectedProfileId) {
        const int i = indexOfId(*m_selectedProfileId);
        if (i >= 0)
            return m_profiles.at(i);
    }
    return universalProfile();
}

void AppProfileManager::setSelectedProfile(const std::optional<RingProfile>& profile)
{
    if (!profile)
        return;
    const int i = indexOfId(profile->id);
    if (i < 0)
        return;
    QList<RingProfile> list = m_profiles;
    list[i] = *profile;
    setProfiles(list);
    saveProfiles();
}

int AppProfileManager::customProfilesCount() const
{
    return int(std::count_if(m_profiles.cbegin(), m_profiles.cend(),
                             [](const RingProfile& p) { return p.bundleIdentifier.has_value(); }));
}

RingProfile AppProfileManager::addProfile(const QString& appName, const QString& bundleId,
                                          const std::optional<QString>& iconPath)
{
    for (const RingProfile& existing : m_profiles) {
        if (existing.bundleIdentifier == bundleId) {
            setSelectedProfileId(existing.id);
            return existing;
        }
    }
    const RingProfile profile(QUuid::createUuid(), appName, bundleId, iconPath, emptySlots(), false);
    QList<RingProfile> list = m_profiles;
    list.append(profile);
    setProfiles(list);
    setSelectedProfileId(profile.id);
    saveProfiles();
    return profile;
}

bool AppProfileManager::importProfile(const RingProfile& incoming)
{
    QList<RingProfile> list = m_profiles;
    std::optional<QUuid> selection;
    if (!incoming.bundleIdentifier) {
        const int i = indexOfGlobal(m_profiles);
        if (i >= 0) {
            list[i].slots = incoming.slots;
            selection = list[i].id;
        }
    } else {
        for (RingProfile& existing : list) {
            if (existing.bundleIdentifier == incoming.bundleIdentifier) {
                existing.slots = incoming.slots;
                existing.name = incoming.name;
                selection = existing.id;
                break;
            }
        }
        if (!selection) {
            // The file's id is never trusted as an identity: it may collide with a ring we have.
            RingProfile copy = incoming;
            copy.id = QUuid::createUuid();
            list.append(copy);
            selection = copy.id;
        }
    }
    setProfiles(list);
    if (!selection)
        return false;
    setSelectedProfileId(selection);
    return saveProfiles();
}

void AppProfileManager::deleteProfile(const RingProfile& profile)
{
    if (!profile.bundleIdentifier)
        return;
    QList<RingProfile> list = m_profiles;
    // A stale value must not take the global ring with it.
    const auto removed = list.removeIf(
        [&](const RingProfile& p) { return p.id == profile.id && p.bundleIdentifier.has_value(); });
    if (removed == 0)
        return;
    setProfiles(list);
    if (m_selectedProfileId == profile.id)
        setSelectedProfileId(universalProfile().id);
    saveProfiles();
}

void AppProfileManager::clearAllSlots(const QUuid& ringId)
{
    const int i = indexOfId(ringId);
    if (i < 0)
        return;
    QList<RingProfile> list = m_profiles;
    list[i].slots = emptySlots();
    setProfiles(list);
    saveProfiles();
}

void AppProfileManager::updateSlot(const QUuid& ringId, const ActionSlot& slot)
{
    const int i = indexOfId(ringId);
    if (i < 0)
        return;
    QList<RingProfile> list = m_profiles;
    list[i].updateSlot(slot);
    setProfiles(list);
    saveProfiles();
}

void AppProfileManager::resetToDefaults()
{
    const RingProfile profile = PresetProfiles::globalDefault();
    setProfiles({profile});
    setSelectedProfileId(profile.id);
    saveProfiles();
}

void AppProfileManager::resetProfilesToDefault()
{
    setProfiles(PresetProfiles::allDefaults());
}

bool AppProfileManager::saveProfiles()
{
    if (!QDir().mkpath(m_saveDirectory)) {
        logSaveFailure(QStringLiteral("could not create the folder ") + m_saveDirectory);
        return false;
    }
    // Nothing is left to protect once the unreadable file is gone (the user
    // moved it away); otherwise it must be copied aside before it is replaced.
    if (m_unreadableFilePending && !QFileInfo::exists(m_saveFilePath))
        setUnreadableFilePending(false);
    if (m_unreadableFilePending) {
        if (!keepUnreadableFile()) {
            logSaveFailure(
                QStringLiteral("the unreadable store file could not be copied aside, so it was not "
                               "overwritten: ") +
                m_saveFilePath);
            return false;
        }
    }
    QString error;
    if (!writeFileAtomically(m_saveFilePath, encodeRingProfiles(m_profiles, JsonLayout::Pretty), &error)) {
        logSaveFailure(error);
        return false;
    }
    return true;
}

// Copies the store file aside as "profiles.json.broken-<time>" before it is replaced.
// On success the pending flag is cleared and the copy's path is remembered.
bool AppProfileManager::keepUnreadableFile()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = m_saveFilePath + QStringLiteral(".broken-") + stamp;
    QString target = base;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    if (!QFileInfo(m_saveFilePath).isFile() || !QFile::copy(m_saveFilePath, target))
        return false;
    m_keptCopyPath = target;
    setUnreadableFilePending(false);
    return true;
}

void AppProfileManager::setUnreadableFilePending(bool pending)
{
    if (m_unreadableFilePending == pending)
        return;
    m_unreadableFilePending = pending;
    Q_EMIT saveBlockedPathChanged();
}

void AppProfileManager::loadProfiles()
{
    if (!QFileInfo::exists(m_saveFilePath)) {
        resetProfilesToDefault();
        saveProfiles();
        return;
    }

    QString error;
    std::optional<QList<RingProfile>> decoded;
    QFile file(m_saveFilePath);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
    } else {
        const QByteArray data = file.readAll();
        if (file.error() != QFileDevice::NoError)
            error = file.errorString();
        else
            decoded = decodeRingProfiles(data, &error);
    }

    if (!decoded) {
        const QString message =
            QStringLiteral("[AppProfileManager] Failed to load custom profiles, resetting to defaults: ") +
            error;
        resetProfilesToDefault();
        if (keepUnreadableFile()) {
            logLine(message + QStringLiteral(" (the unreadable file was kept as ") + m_keptCopyPath +
                    QLatin1Char(')'));
            saveProfiles();
        } else {
            // Without a copy the file is the only record of the user's rings: leave it alone.
            setUnreadableFilePending(true);
            logLine(message +
                    QStringLiteral(" (the unreadable file could not be copied aside, so it was left in "
                                   "place and the default ring is kept in memory only)"));
        }
        return;
    }

    QList<RingProfile> list = *decoded;
    if (list.isEmpty()) {
        resetProfilesToDefault();
        saveProfiles();
        return;
    }

    const int global = indexOfGlobal(list);
    if (global < 0) {
        list.prepend(PresetProfiles::globalDefault());
    } else {
        // Older default rings had Undo in the south-west sector; it became Finder.
        RingProfile& ring = list[global];
        const auto slot = ring.slotAt(5);
        if (slot && (slot->title == QStringLiteral("撤销") || slot->title == QStringLiteral("Undo"))) {
            ring.updateSlot(ActionSlot{QUuid::createUuid(), 5, QStringLiteral("访达"),
                                       IconInfo::sfSymbol(QStringLiteral("folder.fill")),
                                       ActionType::systemControl(SystemControlAction::openFinder), true});
        }
    }
    setProfiles(list);
}
