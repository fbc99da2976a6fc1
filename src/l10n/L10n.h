#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

Q_DECLARE_LOGGING_CATEGORY(lcL10n)

// Text lookup by dotted key. The order is: the effective language's table,
// the English table, the call site's fallback, the key itself. A translation
// equal to its key counts as missing.
//
// Lookups may come from any thread: the effective code and the active table
// are read together under one lock and replaced together by a rebuild.
class L10n : public QObject
{
    Q_OBJECT
    Q_PROPERTY(
        QString currentLanguage READ currentLanguage WRITE setCurrentLanguage NOTIFY currentLanguageChanged)
    Q_PROPERTY(QString effectiveLanguageCode READ effectiveLanguageCode NOTIFY languageChanged)

public:
    using StringTable = QHash<QString, QString>;
    using PreferredLanguages = std::function<QStringList()>;

    // preferredLanguages defaults to the system's UI languages. tablesDirectory
    // holds "<code>.lproj/Localizable.strings"; empty means $RONDIX_L10N_DIR when
    // set, else the compiled-in tables.
    explicit L10n(PreferredLanguages preferredLanguages = {}, const QString& tablesDirectory = {},
                  QObject* parent = nullptr);
    ~L10n() override;

    static L10n& shared();

    static QString string(const QString& key, const std::optional<QString>& fallback = std::nullopt);
    static QString format(const QString& key, const std::optional<QString>& fallback,
                          const QVariantList& args);

    // The same lookups against this instance.
    QString lookup(const QString& key, const std::optional<QString>& fallback = std::nullopt) const;
    QString lookupFormat(const QString& key, const std::optional<QString>& fallback,
                         const QVariantList& args) const;

    // The user's choice: "system" or a language code.
    QString currentLanguage() const;
    // Every assignment stores "app_language", rebuilds the tables and then,
    // queued on the main thread, emits languageChanged().
    void setCurrentLanguage(const QString& language);
    void setLanguage(const QString& code);

    QString effectiveLanguageCode() const;

    // "system" resolves through the preferred list: "zh*" -> "zh-Hans",
    // "ja*" -> "ja", anything else (or no entry) -> "en". Any other choice is
    // taken as it is.
    static QString resolveLanguageCode(const QString& choice, const QStringList& preferredLanguages);

    // Reads "<directory>/<code>.lproj/Localizable.strings". Null when the file
    // is absent or malformed (malformed tables are logged).
    static std::shared_ptr<const StringTable> loadTable(const QString& directory, const QString& code);

    static QString defaultTablesDirectory();

Q_SIGNALS:
    void currentLanguageChanged(const QString& language);
    // After the tables switched; views redraw on it.
    void languageChanged();

private:
    void rebuildBundles();
    std::shared_ptr<const StringTable> tableFor(const QString& code) const;

    PreferredLanguages m_preferredLanguages;
    QString m_tablesDirectory;
    QString m_currentLanguage;

    mutable QMutex m_lock;
    QString m_cachedEffectiveLanguage = QStringLiteral("en");
    std::shared_ptr<const StringTable> m_activeTable;
    // Loaded tables by code, including failures (null) so each is read and
    // reported once.
    mutable QHash<QString, std::shared_ptr<const StringTable>> m_tables;
};
