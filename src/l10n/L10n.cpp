#include "l10n/L10n.h"

#include "common/AppSettings.h"
#include "common/Log.h"
#include "l10n/StringFormat.h"
#include "l10n/StringsFileReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QMutexLocker>
#include <QThread>

Q_LOGGING_CATEGORY(lcL10n, "rondix.l10n", QtInfoMsg)

namespace {

const QString kLanguageKey = QStringLiteral("app_language");
const QString kSystem = QStringLiteral("system");
const QString kEnglish = QStringLiteral("en");
const QString kTableFile = QStringLiteral("Localizable.strings");

} // namespace

L10n::L10n(PreferredLanguages preferredLanguages, const QString& tablesDirectory, QObject* parent)
    : QObject(parent)
    , m_preferredLanguages(std::move(preferredLanguages))
    , m_tablesDirectory(tablesDirectory.isEmpty() ? defaultTablesDirectory() : tablesDirectory)
{
    if (!m_preferredLanguages)
        m_preferredLanguages = [] { return QLocale::system().uiLanguages(); };
    const QString stored = AppSettings::value(kLanguageKey).toString();
    m_currentLanguage = stored.isEmpty() ? kSystem : stored;
    rebuildBundles();
}

L10n::~L10n() = default;

L10n& L10n::shared()
{
    // Lookups may arrive from worker threads before the main thread touched
    // L10n; the instance still belongs to the main thread so that the queued
    // change notification is delivered there.
    static L10n* instance = [] {
        auto* l10n = new L10n();
        if (auto* app = QCoreApplication::instance(); app && l10n->thread() != app->thread())
            l10n->moveToThread(app->thread());
        return l10n;
    }();
    return *instance;
}

QString L10n::string(const QString& key, const std::optional<QString>& fallback)
{
    return shared().lookup(key, fallback);
}

QString L10n::format(const QString& key, const std::optional<QString>& fallback, const QVariantList& args)
{
    return shared().lookupFormat(key, fallback, args);
}

QString L10n::defaultTablesDirectory()
{
    const QString overridden = qEnvironmentVariable("RONDIX_L10N_DIR");
    return overridden.isEmpty() ? QStringLiteral(":/l10n") : overridden;
}

QString L10n::resolveLanguageCode(const QString& choice, const QStringList& preferredLanguages)
{
    if (choice != kSystem)
        return choice;
    const QString first = preferredLanguages.isEmpty() ? kEnglish : preferredLanguages.first();
    if (first.startsWith(QLatin1String("zh")))
        return QStringLiteral("zh-Hans");
    if (first.startsWith(QLatin1String("ja")))
        return QStringLiteral("ja");
    return kEnglish;
}

std::shared_ptr<const L10n::StringTable> L10n::loadTable(const QString& directory, const QString& code)
{
    // A code is used as a folder name: refuse anything that could leave the directory.
    if (code.isEmpty() || code.contains(u'/') || code.contains(u'\\') || code.startsWith(u'.'))
        return nullptr;
    const QString relative = code + QStringLiteral(".lproj/") + kTableFile;
    QFile file(directory + u'/' + relative);
    if (!file.exists())
        return nullptr;
    if (!file.open(QIODevice::ReadOnly)) {
        logLine(QStringLiteral("[L10n] %1: %2").arg(relative, file.errorString()));
        return nullptr;
    }
    const StringsFileReader::Result result = StringsFileReader::parse(file.readAll(), relative);
    if (!result.ok()) {
        logLine(QStringLiteral("[L10n] ") + result.error);
        return nullptr;
    }
    qCDebug(lcL10n) << "loaded" << relative << "with" << result.entries.size() << "entries";
    return std::make_shared<const StringTable>(result.entries);
}

std::shared_ptr<const L10n::StringTable> L10n::tableFor(const QString& code) const
{
    // Called with m_lock held.
    auto it = m_tables.constFind(code);
    if (it != m_tables.cend())
        return it.value();
    auto table = loadTable(m_tablesDirectory, code);
    m_tables.insert(code, table);
    return table;
}

void L10n::rebuildBundles()
{
    const QString code = resolveLanguageCode(m_currentLanguage, m_preferredLanguages());
    QMutexLocker locker(&m_lock);
    m_activeTable = tableFor(code);
    m_cachedEffectiveLanguage = code;
}

QString L10n::lookup(const QString& key, const std::optional<QString>& fallback) const
{
    QString language;
    std::shared_ptr<const StringTable> active;
    {
        QMutexLocker locker(&m_lock);
        language = m_cachedEffectiveLanguage;
        active = m_activeTable;
    }
    if (active) {
        const auto it = active->constFind(key);
        if (it != active->cend() && it.value() != key)
            return it.value();
    }
    if (language != kEnglish) {
        std::shared_ptr<const StringTable> english;
        {
            QMutexLocker locker(&m_lock);
            english = tableFor(kEnglish);
        }
        if (english) {
            const auto it = english->constFind(key);
            if (it != english->cend() && it.value() != key)
                return it.value();
        }
    }
    return fallback.value_or(key);
}

QString L10n::lookupFormat(const QString& key, const std::optional<QString>& fallback,
                           const QVariantList& args) const
{
    return StringFormat::apply(lookup(key, fallback), args);
}

QString L10n::currentLanguage() const
{
    return m_currentLanguage;
}

void L10n::setCurrentLanguage(const QString& language)
{
    const bool changed = language != m_currentLanguage;
    m_currentLanguage = language;
    if (changed)
        Q_EMIT currentLanguageChanged(m_currentLanguage);
    AppSettings::setValue(kLanguageKey, language);
    rebuildBundles();
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT languageChanged(); }, Qt::QueuedConnection);
}

void L10n::setLanguage(const QString& code)
{
    setCurrentLanguage(code);
}

QString L10n::effectiveLanguageCode() const
{
    QMutexLocker locker(&m_lock);
    return m_cachedEffectiveLanguage;
}
