#include "common/AppSettings.h"
#include "l10n/AppLanguage.h"
#include "l10n/L10n.h"
#include "l10n/StringFormat.h"
#include "l10n/StringsFileReader.h"

#include <atomic>
#include <cstdio>
#include <QtConcurrent>
#include <QtTest>
#include <unistd.h>

using Table = QHash<QString, QString>;

namespace {

const QStringList kLanguages = {QStringLiteral("en"), QStringLiteral("zh-Hans"), QStringLiteral("ja")};

QStringList flatten(const Table& table)
{
    QStringList out;
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        out << it.key() + u'=' + it.value();
    out.sort();
    return out;
}

Table compiledTable(const QString& code)
{
    QFile file(QStringLiteral(":/l10n/%1.lproj/Localizable.strings").arg(code));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return StringsFileReader::parse(file.readAll(), code).entries;
}

void writeTable(const QString& dir, const QString& code, const QByteArray& bytes)
{
    QDir().mkpath(dir + u'/' + code + QStringLiteral(".lproj"));
    QFile file(dir + u'/' + code + QStringLiteral(".lproj/Localizable.strings"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QStringList preferred(const QString& list)
{
    return list.isEmpty() ? QStringList() : list.split(u',');
}

// Captures what the code under test prints to standard output.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        m_saved = dup(fileno(stdout));
        m_file.open();
        dup2(m_file.handle(), fileno(stdout));
    }
    ~StdoutCapture() { finish(); }
    QString finish()
    {
        if (m_saved >= 0) {
            std::fflush(stdout);
            dup2(m_saved, fileno(stdout));
            close(m_saved);
            m_saved = -1;
            m_file.seek(0);
            m_text = QString::fromUtf8(m_file.readAll());
        }
        return m_text;
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
    QString m_text;
};

} // namespace

class TestL10n : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_tables;

    std::unique_ptr<L10n> makeL10n(const QString& stored,
                                   const QString& preferredList = QStringLiteral("en-US"))
    {
        if (stored.isEmpty())
            AppSettings::remove(QStringLiteral("app_language"));
        else
            AppSettings::setValue(QStringLiteral("app_language"), stored);
        const QStringList languages = preferred(preferredList);
        return std::make_unique<L10n>([languages] { return languages; }, m_tables.path());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qunsetenv("RONDIX_L10N_DIR");
        // A small set of tables with known gaps, so every step of the lookup order is visible.
        writeTable(m_tables.path(), QStringLiteral("en"),
                   "\"both\" = \"EN both\";\n\"en.only\" = \"EN only\";\n\"same.ja\" = \"EN same\";\n"
                   "\"same.en\" = \"same.en\";\n\"fmt\" = \"%2$@ has %1$d\";\n");
        writeTable(m_tables.path(), QStringLiteral("ja"),
                   "\"both\" = \"JA both\";\n\"same.ja\" = \"same.ja\";\n\"fmt\" = \"%2$@ は %1$d\";\n");
        writeTable(m_tables.path(), QStringLiteral("zh-Hans"), "\"both\" = \"ZH both\";\n");
    }

    void init() { AppSettings::remove(QStringLiteral("app_language")); }

    // Runs first: the process-wide instance may be created by a lookup on a worker
    // thread, yet its change notice must still arrive on the main thread.
    void sharedInstanceFirstUsedFromWorkerThread()
    {
        QThread* worker = nullptr;
        const QString text = QtConcurrent::run([&worker] {
                                 worker = QThread::currentThread();
                                 return L10n::string(QStringLiteral("common.cancel"), QStringLiteral("取消"));
                             }).result();
        QVERIFY(worker && worker != thread());
        QVERIFY(QStringList({"Cancel", QStringLiteral("取消"), QStringLiteral("キャンセル")}).contains(text));
        QCOMPARE(L10n::shared().thread(), thread());

        QThread* deliveredOn = nullptr;
        connect(&L10n::shared(), &L10n::languageChanged, this,
                [&] { deliveredOn = QThread::currentThread(); });
        QtConcurrent::run([] { L10n::string(QStringLiteral("menu.quit")); }).waitForFinished();
        L10n::shared().setLanguage(QStringLiteral("ja"));
        QTRY_VERIFY(deliveredOn != nullptr);
        QCOMPARE(deliveredOn, thread());
        QCOMPARE(L10n::string(QStringLiteral("common.cancel")), QStringLiteral("キャンセル"));
        disconnect(&L10n::shared(), &L10n::languageChanged, this, nullptr);
    }

    // ---- strings-file reader ----

    void readerAccepts_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("only comments") << QByteArray("/* a */\n// b\n  /* multi\nline */\n") << QStringList();
        QTest::newRow("one entry") << QByteArray("\"a.b\" = \"Text\";") << QStringList{"a.b=Text"};
        QTest::newRow("spacing and comments between tokens")
            << QByteArray("  \"k\"/*c*/=\n  // note\n \"v\" /* x */ ;\n\"k2\"=\"v2\";")
            << QStringList{"k2=v2", "k=v"};
        QTest::newRow("comment markers inside strings")
            << QByteArray("\"url\" = \"http://x/*y*/\";") << QStringList{"url=http://x/*y*/"};
        QTest::newRow("escapes") << QByteArray("\"k\" = \"q\\\" b\\\\ n\\n t\\t r\\r a\\'\";")
                                 << QStringList{QStringLiteral("k=q\" b\\ n\n t\t r\r a'")};
        QTest::newRow("unicode escapes") << QByteArray("\"k\" = \"\\U00E9\\u4e2d\\UD83D\\UDE00\";")
                                         << QStringList{QStringLiteral("k=é中😀")};
        QTest::newRow("utf-8 text") << QByteArray("\"k\" = \"设置…\";")
                                    << QStringList{QStringLiteral("k=设置…")};
        QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF\"k\" = \"v\";") << QStringList{"k=v"};
        QTest::newRow("unquoted key") << QByteArray("menu.quit = \"Quit\";") << QStringList{"menu.quit=Quit"};
        QTest::newRow("key without value") << QByteArray("\"solo\";") << QStringList{"solo=solo"};
        QTest::newRow("literal line break in value")
            << QByteArray("\"k\" = \"a\nb\";") << QStringList{QStringLiteral("k=a\nb")};
        QTest::newRow("percent signs kept") << QByteArray("\"k\" = \"%d%% %@\";") << QStringList{"k=%d%% %@"};

        QByteArray utf16le("\xFF\xFE", 2);
        for (QChar c : QStringLiteral("\"k\" = \"日本\";"))
            utf16le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        QTest::newRow("utf-16 le bom") << utf16le << QStringList{QStringLiteral("k=日本")};
        QByteArray utf16be("\xFE\xFF", 2);
        for (QChar c : QStringLiteral("\"k\" = \"v\";"))
            utf16be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        QTest::newRow("utf-16 be bom") << utf16be << QStringList{"k=v"};
    }

    void readerAccepts()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, expected);
        const auto result = StringsFileReader::parse(input, QStringLiteral("t.strings"));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(flatten(result.entries), expected);
    }

    void readerRejects_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("message");

        QTest::newRow("missing semicolon before next entry")
            << QByteArray("\"a\" = \"1\";\n\"b\" = \"2\"\n\"c\" = \"3\";\n") << 2 << "expected ';'";
        QTest::newRow("missing semicolon at end of file")
            << QByteArray("\"a\" = \"1\";\n\n\"b\" = \"2\"\n\n") << 3 << "expected ';'";
        QTest::newRow("missing semicolon after bare key") << QByteArray("\"a\"\n") << 1 << "expected ';'";
        QTest::newRow("unterminated string")
            << QByteArray("\"a\" = \"1\";\n\"b\" = \"open\n;\n") << 2 << "unterminated string";
        QTest::newRow("unterminated key") << QByteArray("\n\n\"b") << 3 << "unterminated string";
        QTest::newRow("backslash at end") << QByteArray("\"b\" = \"x\\") << 1 << "unterminated string";
        QTest::newRow("unterminated comment")
            << QByteArray("\"a\" = \"1\";\n/* never\nclosed") << 2 << "unterminated comment";
        QTest::newRow("missing value") << QByteArray("\"a\" = ;") << 1 << "expected value";
        QTest::newRow("value at end of file") << QByteArray("\"a\" =") << 1 << "expected value";
        QTest::newRow("unknown escape") << QByteArray("\n\"a\" = \"\\q\";") << 2 << "unknown escape";
        QTest::newRow("short unicode escape") << QByteArray("\"a\" = \"\\u12\";") << 1 << "four hex digits";
        QTest::newRow("stray character") << QByteArray("\"a\" = \"1\";\n@") << 2 << "expected key";
        QTest::newRow("duplicate key")
            << QByteArray("\"a\" = \"1\";\n\"a\" = \"2\";") << 2 << "duplicate key";
        QTest::newRow("invalid utf-8") << QByteArray("\"a\" = \"\xC3\x28\";") << 1 << "UTF";
    }

    void readerRejects()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, line);
        QFETCH(QString, message);
        const auto result = StringsFileReader::parse(input, QStringLiteral("ja.lproj/Localizable.strings"));
        QVERIFY(!result.ok());
        QCOMPARE(result.errorLine, line);
        QVERIFY2(result.error.startsWith(QStringLiteral("ja.lproj/Localizable.strings:%1: ").arg(line)),
                 qPrintable(result.error));
        QVERIFY2(result.error.contains(message), qPrintable(result.error));
        // Nothing of a broken table is kept, not even the entries before the fault.
        QVERIFY(result.entries.isEmpty());
    }

    // ---- formats ----

    void formatting_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("expected");

        QTest::newRow("text") << "Summon Ring (%@)" << QVariantList{"⌥Space"} << "Summon Ring (⌥Space)";
        QTest::newRow("integer") << "Mouse Button %d" << QVariantList{8} << "Mouse Button 8";
        QTest::newRow("long integer")
            << "%ld items" << QVariantList{qint64(5000000000)} << "5000000000 items";
        QTest::newRow("long long and unsigned") << "%lld/%lu" << QVariantList{-3, 4} << "-3/4";
        QTest::newRow("integer from text") << "%d" << QVariantList{"12"} << "12";
        QTest::newRow("percent") << "100%% done %d%%" << QVariantList{50} << "100% done 50%";
        QTest::newRow("positional") << "%2$@ before %1$@" << QVariantList{"a", "b"} << "b before a";
        QTest::newRow("positional mixed kinds")
            << "Sector %1$d · %2$@" << QVariantList{3, "East"} << "Sector 3 · East";
        QTest::newRow("argument used twice") << "%1$@-%1$@" << QVariantList{"x"} << "x-x";
        QTest::newRow("missing argument") << "A %@ B %d C" << QVariantList{"x"} << "A x B  C";
        QTest::newRow("no arguments") << "%@|%d|%2$@" << QVariantList{} << "||";
        QTest::newRow("positional out of range") << "%3$@!" << QVariantList{"a"} << "!";
        QTest::newRow("extra arguments ignored") << "%@" << QVariantList{"a", "b"} << "a";
        QTest::newRow("lone percent at end") << "50%" << QVariantList{} << "50%";
        QTest::newRow("percent before space") << "50 % off" << QVariantList{} << "50 % off";
        QTest::newRow("unknown conversion kept") << "%k %@" << QVariantList{"a"} << "%k a";
        QTest::newRow("width") << "[%3d]" << QVariantList{7} << "[  7]";
        QTest::newRow("zero padding") << "[%03d]" << QVariantList{-7} << "[-07]";
        QTest::newRow("precision") << "%.1f%%" << QVariantList{33.46} << "33.5%";
        QTest::newRow("text argument with percent") << "%@ %d" << QVariantList{"%d", 2} << "%d 2";
        QTest::newRow("huge width is bounded")
            << "%99999999999d" << QVariantList{1} << QString(100000 - 1, u' ') + u'1';
    }

    void formatting()
    {
        QFETCH(QString, format);
        QFETCH(QVariantList, args);
        QFETCH(QString, expected);
        QCOMPARE(StringFormat::apply(format, args), expected);
    }

    void signature_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("none") << "Plain 100%% text" << QStringList();
        QTest::newRow("sequential") << "%@ and %d" << QStringList{"1:@", "2:d"};
        QTest::newRow("length modifiers are integers")
            << "%ld %lld %u %i" << QStringList{"1:d", "2:d", "3:d", "4:d"};
        QTest::newRow("reordered positional") << "%2$@ は %1$d" << QStringList{"1:d", "2:@"};
        QTest::newRow("conflicting reuse") << "%1$@ %1$d" << QStringList{"1:@|d"};
        QTest::newRow("number") << "%.1f" << QStringList{"1:f"};
    }

    void signature()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, expected);
        QCOMPARE(StringFormat::signature(format), expected);
    }

    // ---- language choice ----

    void resolve_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("preferredList");
        QTest::addColumn<QString>("expected");

        QTest::newRow("traditional chinese maps to simplified") << "system"
                                                                << "zh-Hant-TW,en"
                                                                << "zh-Hans";
        QTest::newRow("simplified chinese") << "system"
                                            << "zh-Hans-CN"
                                            << "zh-Hans";
        QTest::newRow("bare zh") << "system"
                                 << "zh"
                                 << "zh-Hans";
        QTest::newRow("japanese") << "system"
                                  << "ja-JP"
                                  << "ja";
        QTest::newRow("french falls to english") << "system"
                                                 << "fr-FR,ja-JP"
                                                 << "en";
        QTest::newRow("only the first entry counts") << "system"
                                                     << "en-GB,zh-Hans"
                                                     << "en";
        QTest::newRow("empty list") << "system"
                                    << ""
                                    << "en";
        QTest::newRow("prefix test is case-sensitive") << "system"
                                                       << "ZH-Hans"
                                                       << "en";
        QTest::newRow("explicit choice ignores the list") << "ja"
                                                          << "zh-Hans"
                                                          << "ja";
        QTest::newRow("explicit unknown code kept") << "fr"
                                                    << "ja-JP"
                                                    << "fr";
        QTest::newRow("System in capitals is not system") << "System"
                                                          << "ja-JP"
                                                          << "System";
    }

    void resolve()
    {
        QFETCH(QString, choice);
        QFETCH(QString, preferredList);
        QFETCH(QString, expected);
        QCOMPARE(L10n::resolveLanguageCode(choice, preferred(preferredList)), expected);
        // The same through construction from the stored choice.
        auto l10n = makeL10n(choice, preferredList);
        QCOMPARE(l10n->currentLanguage(), choice);
        QCOMPARE(l10n->effectiveLanguageCode(), expected);
    }

    void absentChoiceMeansSystem()
    {
        auto l10n = makeL10n(QString(), QStringLiteral("ja-JP"));
        QCOMPARE(l10n->currentLanguage(), QStringLiteral("system"));
        QCOMPARE(l10n->effectiveLanguageCode(), QStringLiteral("ja"));
        QVERIFY(!AppSettings::contains(QStringLiteral("app_language")));
    }

    // ---- lookup order ----

    void lookupOrder_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("hasFallback");
        QTest::addColumn<QString>("expected");

        QTest::newRow("ja: own table") << "ja"
                                       << "both" << true << "JA both";
        QTest::newRow("ja: missing key falls to english, not the fallback") << "ja"
                                                                            << "en.only" << true << "EN only";
        QTest::newRow("ja: missing everywhere gives the fallback") << "ja"
                                                                   << "nowhere" << true << "FALLBACK";
        QTest::newRow("ja: missing everywhere without fallback gives the key")
            << "ja"
            << "nowhere" << false << "nowhere";
        QTest::newRow("ja: translation equal to key counts as missing") << "ja"
                                                                        << "same.ja" << true << "EN same";
        QTest::newRow("en: own table") << "en"
                                       << "both" << true << "EN both";
        QTest::newRow("en: missing key gives the fallback") << "en"
                                                            << "nowhere" << true << "FALLBACK";
        QTest::newRow("en: missing key without fallback gives the key") << "en"
                                                                        << "nowhere" << false << "nowhere";
        QTest::newRow("en: entry equal to key gives the fallback") << "en"
                                                                   << "same.en" << true << "FALLBACK";
        QTest::newRow("zh-Hans: missing key falls to english") << "zh-Hans"
                                                               << "en.only" << false << "EN only";
        QTest::newRow("fr: no table, english first") << "fr"
                                                     << "both" << true << "EN both";
        QTest::newRow("fr: then the fallback") << "fr"
                                               << "nowhere" << true << "FALLBACK";
        QTest::newRow("fr: then the key") << "fr"
                                          << "nowhere" << false << "nowhere";
        QTest::newRow("path-like code finds no table") << "../ja"
                                                       << "both" << false << "EN both";
        QTest::newRow("system resolving to ja") << "system"
                                                << "both" << false << "JA both";
    }

    void lookupOrder()
    {
        QFETCH(QString, choice);
        QFETCH(QString, key);
        QFETCH(bool, hasFallback);
        QFETCH(QString, expected);
        auto l10n = makeL10n(choice, QStringLiteral("ja-JP"));
        const std::optional<QString> fallback =
            hasFallback ? std::optional<QString>(QStringLiteral("FALLBACK")) : std::nullopt;
        QCOMPARE(l10n->lookup(key, fallback), expected);
    }

    void formatLooksUpThenFills()
    {
        auto l10n = makeL10n(QStringLiteral("ja"));
        QCOMPARE(l10n->lookupFormat(QStringLiteral("fmt"), std::nullopt, {3, QStringLiteral("X")}),
                 QStringLiteral("X は 3"));
        QCOMPARE(l10n->lookupFormat(QStringLiteral("nowhere"), QStringLiteral("共 %d 个"), {4}),
                 QStringLiteral("共 4 个"));
        l10n->setLanguage(QStringLiteral("en"));
        QCOMPARE(l10n->lookupFormat(QStringLiteral("fmt"), std::nullopt, {3}), QStringLiteral(" has 3"));
    }

    void malformedTableIsRejectedWholeAndLoggedOnce()
    {
        QTemporaryDir dir;
        writeTable(dir.path(), QStringLiteral("en"), "\"a\" = \"EN a\";\n\"b\" = \"EN b\";\n");
        writeTable(dir.path(), QStringLiteral("ja"),
                   "\"a\" = \"JA a\";\n\"b\" = \"JA b\"\n\"c\" = \"JA c\";\n");
        AppSettings::setValue(QStringLiteral("app_language"), QStringLiteral("ja"));
        StdoutCapture capture;
        {
            L10n l10n({}, dir.path());
            // The entry before the fault is not served either: the table is all or nothing.
            QCOMPARE(l10n.lookup(QStringLiteral("a")), QStringLiteral("EN a"));
            QCOMPARE(l10n.lookup(QStringLiteral("b")), QStringLiteral("EN b"));
            QCOMPARE(l10n.lookup(QStringLiteral("c"), QStringLiteral("fb")), QStringLiteral("fb"));
            l10n.setLanguage(QStringLiteral("en"));
            l10n.setLanguage(QStringLiteral("ja"));
            QCOMPARE(l10n.lookup(QStringLiteral("a")), QStringLiteral("EN a"));
        }
        const QString out = capture.finish();
        const QString expectedLine = QStringLiteral("[L10n] ja.lproj/Localizable.strings:2: expected ';'\n");
        QVERIFY2(out.contains(expectedLine), qPrintable(out));
        QCOMPARE(out.count(QStringLiteral("[L10n]")), 1);
    }

    void environmentOverridesTablesDirectory()
    {
        QTemporaryDir dir;
        writeTable(dir.path(), QStringLiteral("en"), "\"menu.quit\" = \"Leave\";\n");
        qputenv("RONDIX_L10N_DIR", dir.path().toUtf8());
        AppSettings::setValue(QStringLiteral("app_language"), QStringLiteral("en"));
        L10n overridden;
        qunsetenv("RONDIX_L10N_DIR");
        L10n compiled;
        QCOMPARE(overridden.lookup(QStringLiteral("menu.quit")), QStringLiteral("Leave"));
        QCOMPARE(compiled.lookup(QStringLiteral("menu.quit")), QStringLiteral("Quit Rondix"));
    }

    // ---- changing the language ----

    void changeSequence()
    {
        auto l10n = makeL10n(QString(), QStringLiteral("zh-Hant-TW"));
        QCOMPARE(l10n->lookup(QStringLiteral("both")), QStringLiteral("ZH both"));
        QSignalSpy choice(l10n.get(), &L10n::currentLanguageChanged);
        QSignalSpy changed(l10n.get(), &L10n::languageChanged);
        QString textWhenNotified;
        connect(l10n.get(), &L10n::languageChanged, this,
                [&] { textWhenNotified = l10n->lookup(QStringLiteral("both")); });

        l10n->setCurrentLanguage(QStringLiteral("ja"));
        // Stored and switched at once; the redraw notice comes later, from the event loop.
        QCOMPARE(AppSettings::value(QStringLiteral("app_language")).toString(), QStringLiteral("ja"));
        QCOMPARE(l10n->effectiveLanguageCode(), QStringLiteral("ja"));
        QCOMPARE(l10n->lookup(QStringLiteral("both")), QStringLiteral("JA both"));
        QCOMPARE(choice.count(), 1);
        QCOMPARE(changed.count(), 0);
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(textWhenNotified, QStringLiteral("JA both"));

        // The next start uses the stored choice.
        L10n next([] { return QStringList{QStringLiteral("zh-Hans")}; }, m_tables.path());
        QCOMPARE(next.currentLanguage(), QStringLiteral("ja"));
        QCOMPARE(next.effectiveLanguageCode(), QStringLiteral("ja"));

        // Back to system follows the preferred list again.
        l10n->setLanguage(QStringLiteral("system"));
        QCOMPARE(l10n->effectiveLanguageCode(), QStringLiteral("zh-Hans"));
        QCOMPARE(AppSettings::value(QStringLiteral("app_language")).toString(), QStringLiteral("system"));
        QTRY_COMPARE(changed.count(), 2);
    }

    void reassigningTheSameChoiceStillNotifies()
    {
        auto l10n = makeL10n(QStringLiteral("en"));
        QSignalSpy choice(l10n.get(), &L10n::currentLanguageChanged);
        QSignalSpy changed(l10n.get(), &L10n::languageChanged);
        AppSettings::remove(QStringLiteral("app_language"));
        l10n->setCurrentLanguage(QStringLiteral("en"));
        QCOMPARE(choice.count(), 0);
        QCOMPARE(AppSettings::value(QStringLiteral("app_language")).toString(), QStringLiteral("en"));
        QTRY_COMPARE(changed.count(), 1);
    }

    void concurrentLookupsDuringLanguageChanges()
    {
        auto l10n = makeL10n(QStringLiteral("en"));
        const QSet<QString> valid = {QStringLiteral("EN both"), QStringLiteral("JA both"),
                                     QStringLiteral("ZH both")};
        std::atomic<bool> stop{false};
        std::atomic<int> bad{0};
        std::atomic<int> done{0};
        QList<QFuture<void>> workers;
        for (int t = 0; t < 4; ++t) {
            workers << QtConcurrent::run([&] {
                while (!stop.load()) {
                    if (!valid.contains(l10n->lookup(QStringLiteral("both"))))
                        ++bad;
                    if (l10n->lookup(QStringLiteral("en.only")) != QStringLiteral("EN only"))
                        ++bad;
                    const QString f = l10n->lookupFormat(QStringLiteral("fmt"), std::nullopt, {1, "x"});
                    if (f != QStringLiteral("x has 1") && f != QStringLiteral("x は 1"))
                        ++bad;
                    ++done;
                }
            });
        }
        const QStringList cycle = {QStringLiteral("ja"), QStringLiteral("zh-Hans"), QStringLiteral("fr"),
                                   QStringLiteral("system"), QStringLiteral("en")};
        for (int i = 0; i < 300; ++i)
            l10n->setCurrentLanguage(cycle.at(i % cycle.size()));
        QTRY_VERIFY(done.load() > 1000);
        stop = true;
        for (auto& w : workers)
            w.waitForFinished();
        QCOMPARE(bad.load(), 0);
        QCoreApplication::processEvents();
    }

    // ---- AppLanguage ----

    void appLanguageRawValues_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<bool>("valid");
        QTest::newRow("system") << "system" << true;
        QTest::newRow("en") << "en" << true;
        QTest::newRow("zh-Hans") << "zh-Hans" << true;
        QTest::newRow("ja") << "ja" << true;
        QTest::newRow("lower-case zh-hans") << "zh-hans" << false;
        QTest::newRow("EN") << "EN" << false;
        QTest::newRow("zh") << "zh" << false;
        QTest::newRow("fr") << "fr" << false;
        QTest::newRow("empty") << "" << false;
    }

    void appLanguageRawValues()
    {
        QFETCH(QString, raw);
        QFETCH(bool, valid);
        const auto language = AppLanguages::fromRawValue(raw);
        QCOMPARE(language.has_value(), valid);
        if (language)
            QCOMPARE(AppLanguages::rawValue(*language), raw);
    }

    void appLanguageOrderAndNames()
    {
        QStringList raws, names;
        for (AppLanguage language : AppLanguages::allCases()) {
            raws << AppLanguages::rawValue(language);
            names << AppLanguages::displayName(language);
        }
        QCOMPARE(raws, (QStringList{"system", "en", "zh-Hans", "ja"}));
        QCOMPARE(names.mid(1),
                 (QStringList{"English", QStringLiteral("简体中文"), QStringLiteral("日本語")}));
        QVERIFY(!names.first().isEmpty());
        QVERIFY(names.first() != QStringLiteral("lang.system"));
    }

    // ---- the shipped tables ----

    void shippedTablesParse_data()
    {
        QTest::addColumn<QString>("code");
        for (const QString& code : kLanguages)
            QTest::newRow(qPrintable(code)) << code;
    }

    void shippedTablesParse()
    {
        QFETCH(QString, code);
        QFile file(QStringLiteral(":/l10n/%1.lproj/Localizable.strings").arg(code));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto result = StringsFileReader::parse(file.readAll(), code);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QVERIFY(result.entries.size() > 200);
        // The compiled-in table and the checked-in file are the same bytes.
        QFile source(
            QStringLiteral(RONDIX_SOURCE_DIR "/resources/l10n/%1.lproj/Localizable.strings").arg(code));
        QVERIFY(source.open(QIODevice::ReadOnly));
        file.seek(0);
        QCOMPARE(source.readAll(), file.readAll());
    }

    void shippedTablesHoldEveryKey_data()
    {
        QTest::addColumn<QString>("code");
        for (const QString& code : kLanguages)
            QTest::newRow(qPrintable(code)) << code;
    }

    void shippedTablesHoldEveryKey()
    {
        QFETCH(QString, code);
        QFile list(QStringLiteral(RONDIX_SOURCE_DIR "/tests/unit/l10n/expected_keys.txt"));
        QVERIFY(list.open(QIODevice::ReadOnly | QIODevice::Text));
        QStringList expected;
        for (const QByteArray& raw : list.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (!line.isEmpty() && !line.startsWith(u'#'))
                expected << line;
        }
        QVERIFY(expected.size() > 250);
        const Table table = compiledTable(code);
        QStringList missing;
        for (const QString& key : expected) {
            if (table.value(key).isEmpty() || table.value(key) == key)
                missing << key;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u' ')));
    }

    void shippedTablesAgree_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("zh-Hans") << "zh-Hans";
        QTest::newRow("ja") << "ja";
    }

    // Same keys as English, and per key the same placeholders (kind, count, position).
    void shippedTablesAgree()
    {
        QFETCH(QString, code);
        const Table english = compiledTable(QStringLiteral("en"));
        const Table other = compiledTable(code);
        QVERIFY(!english.isEmpty() && !other.isEmpty());
        QStringList onlyEnglish, onlyOther, placeholderMismatch;
        for (auto it = english.cbegin(); it != english.cend(); ++it) {
            if (!other.contains(it.key()))
                onlyEnglish << it.key();
            else if (StringFormat::signature(it.value()) != StringFormat::signature(other.value(it.key())))
                placeholderMismatch << it.key();
        }
        for (auto it = other.cbegin(); it != other.cend(); ++it) {
            if (!english.contains(it.key()))
                onlyOther << it.key();
        }
        QVERIFY2(onlyEnglish.isEmpty(), qPrintable(u"missing: " + onlyEnglish.join(u' ')));
        QVERIFY2(onlyOther.isEmpty(), qPrintable(u"extra: " + onlyOther.join(u' ')));
        QVERIFY2(placeholderMismatch.isEmpty(),
                 qPrintable(u"placeholders: " + placeholderMismatch.join(u' ')));
    }

    void formatKeysTakeTheirArguments_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("signature");
        const QStringList text{"1:@"}, integer{"1:d"};
        for (const char* key :
             {"menu.summon", "menu.current_app", "menu.tooltip_hotkey", "action.launch_app",
              "action.open_url", "settings.summon_test", "slot.current_action", "market.installed",
              "market.err.network", "icon.help_launch_app", "profile.export_success_msg",
              "profile.import_failed_msg", "profile.import_success_msg"})
            QTest::newRow(key) << key << text;
        for (const char* key : {"mouse.btn_custom", "ring.sector_num", "slot.paste_text.count",
                                "icon.search_count", "icon.curated_count", "icon.installed_apps_count"})
            QTest::newRow(key) << key << integer;
        QTest::newRow("slot.sector_title") << "slot.sector_title" << QStringList{"1:d", "2:@"};
        for (const char* key : {"menu.click_to_summon", "menu.tooltip_nohotkey", "menu.settings", "menu.quit",
                                "market.empty", "settings.summon_test_nohotkey", "hud.unassigned"})
            QTest::newRow(key) << key << QStringList();
    }

    void formatKeysTakeTheirArguments()
    {
        QFETCH(QString, key);
        QFETCH(QStringList, signature);
        for (const QString& code : kLanguages) {
            const QString text = compiledTable(code).value(key);
            QVERIFY2(!text.isEmpty(), qPrintable(code + u' ' + key));
            QVERIFY2(StringFormat::signature(text) == signature, qPrintable(code + u": " + text));
        }
    }

    void linuxWording_data()
    {
        QTest::addColumn<QString>("code");
        for (const QString& code : kLanguages)
            QTest::newRow(qPrintable(code)) << code;
    }

    // Shortcut presets use Control on Linux, and no text sends the user to macOS places.
    void linuxWording()
    {
        QFETCH(QString, code);
        const Table table = compiledTable(code);
        const QHash<QString, QString> presets = {{"copy", "C"},       {"paste", "V"},   {"cut", "X"},
                                                 {"undo", "Z"},       {"save", "S"},    {"new_tab", "T"},
                                                 {"close_tab", "W"},  {"refresh", "R"}, {"next_tab", "Tab"},
                                                 {"prev_tab", "⇧Tab"}};
        for (auto it = presets.cbegin(); it != presets.cend(); ++it) {
            const QString text = table.value(QStringLiteral("slot.preset.") + it.key());
            QVERIFY2(text.endsWith(QStringLiteral(" (⌃%1)").arg(it.value())), qPrintable(text));
        }
        const QStringList macOnly = {"⌘",
                                     "macOS",
                                     "Mac ",
                                     "Finder",
                                     "访达",
                                     "Dock",
                                     "程序坞",
                                     "ファインダー",
                                     "Spotlight",
                                     "Mission Control",
                                     "调度中心",
                                     "聚焦搜索",
                                     "/Applications",
                                     "Library/Application Support",
                                     ".app)"};
        QStringList offenders;
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            for (const QString& word : macOnly) {
                if (it.value().contains(word))
                    offenders << it.key() + u':' + word;
            }
        }
        QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(u' ')));
    }

    void sharedInstanceUsesCompiledTables()
    {
        L10n::shared().setLanguage(QStringLiteral("zh-Hans"));
        QCOMPARE(L10n::string(QStringLiteral("menu.settings")), QStringLiteral("设置…"));
        QCOMPARE(
            L10n::format(QStringLiteral("mouse.btn_custom"), QStringLiteral("鼠标自定义按键 (编号 %d)"), {8}),
            QStringLiteral("鼠标自定义按键 (编号 8)"));
        QCOMPARE(L10n::string(QStringLiteral("not.a.key"), QStringLiteral("备用")), QStringLiteral("备用"));
        L10n::shared().setLanguage(QStringLiteral("en"));
        QCOMPARE(L10n::format(QStringLiteral("menu.summon"), std::nullopt, {QStringLiteral("⌥Space")}),
                 QStringLiteral("Summon Ring (⌥Space)"));
        QCOMPARE(AppLanguages::displayName(AppLanguage::system), QStringLiteral("Follow System"));
    }
};

QTEST_GUILESS_MAIN(TestL10n)
#include "tst_l10n.moc"
