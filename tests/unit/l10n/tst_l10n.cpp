#include "common/AppSettings.h"
#include "l10n/AppLanguage.h"
#include "l10n/L10n.h"
#include "l10n/StringFormat.h"
#include "l10n/StringsFileReader.h"
#include "StdoutCapture.h"

#include <atomic>
#include <cstdio>
#include <QtConcurrent>
#include <QtTest>
#include <unistd.h>

using Table = QHash<QString, QString>;

namespace {

const QString kLanguageKey = QStringLiteral("app_language");

void writeTable(const QString& dir, const QString& code, const QByteArray& bytes)
{
    QDir(dir).mkpath(code + QStringLiteral(".lproj"));
    QFile file(dir + u'/' + code + QStringLiteral(".lproj/Localizable.strings"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// One QString column per name, then rows of {row name, values...}; nullptr gives a null string.
void stringRows(const QList<const char*>& columns, const QList<QList<const char*>>& rows)
{
    for (const char* column : columns)
        QTest::addColumn<QString>(column);
    for (const auto& row : rows) {
        auto& data = QTest::newRow(row.first());
        for (const char* value : row.mid(1))
            data << (value ? QString::fromUtf8(value) : QString());
    }
}

} // namespace

class TestL10n : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_tables;

    // An instance over the small test tables; an empty `stored` leaves "app_language" unset.
    std::unique_ptr<L10n> makeL10n(const QString& stored, const QString& preferred = QStringLiteral("en-US"))
    {
        AppSettings::remove(kLanguageKey);
        if (!stored.isEmpty())
            AppSettings::setValue(kLanguageKey, stored);
        const QStringList languages = preferred.split(u',', Qt::SkipEmptyParts);
        return std::make_unique<L10n>([languages] { return languages; }, m_tables.path());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qunsetenv("RONDIX_L10N_DIR");
        // Tables with known gaps, so every step of the lookup order is visible.
        writeTable(m_tables.path(), QStringLiteral("en"),
                   "\"both\" = \"EN both\";\n\"en.only\" = \"EN only\";\n\"same.ja\" = \"EN same\";\n"
                   "\"same.en\" = \"same.en\";\n\"fmt\" = \"%2$@ has %1$d\";\n");
        writeTable(m_tables.path(), QStringLiteral("ja"),
                   "\"both\" = \"JA both\";\n\"same.ja\" = \"same.ja\";\n\"fmt\" = \"%2$@ は %1$d\";\n");
        writeTable(m_tables.path(), QStringLiteral("zh-Hans"), "\"both\" = \"ZH both\";\n");
    }

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
        L10n::shared().setLanguage(QStringLiteral("ja"));
        QTRY_VERIFY(deliveredOn != nullptr);
        QCOMPARE(deliveredOn, thread());
        QCOMPARE(L10n::string(QStringLiteral("common.cancel")), QStringLiteral("キャンセル"));
        disconnect(&L10n::shared(), &L10n::languageChanged, this, nullptr);

        L10n::shared().setLanguage(QStringLiteral("en"));
        QCOMPARE(AppLanguages::displayName(AppLanguage::system), QStringLiteral("Follow System"));
    }

    void reader_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<Table>("expected");
        QTest::addColumn<int>("errorLine");
        QTest::addColumn<QString>("message");
        const auto accepts = [](const char* name, const QByteArray& input, const Table& expected) {
            QTest::newRow(name) << input << expected << 0 << QString();
        };
        accepts("only comments", "/* a */\n// b\n  /* multi\nline */\n", {});
        accepts("comments between tokens", "\"k\"/*c*/=\n// note\n \"v\" /* x */ ;\n\"k2\"=\"v2\";",
                {{"k", "v"}, {"k2", "v2"}});
        accepts("comment markers inside strings", "\"url\" = \"http://x/*y*/\";", {{"url", "http://x/*y*/"}});
        accepts("escapes", "\"k\" = \"q\\\" b\\\\ n\\n t\\t r\\r a\\'\";", {{"k", "q\" b\\ n\n t\t r\r a'"}});
        accepts("\\u escapes", "\"k\" = \"\\U00E9\\u4e2d\\UD83D\\UDE00\";", {{"k", QStringLiteral("é中😀")}});
        accepts("utf-8 bom", "\xEF\xBB\xBF\"k\" = \"设置…\";", {{"k", QStringLiteral("设置…")}});
        accepts("unquoted key, key without value", "menu.quit = \"Quit\";\n\"solo\";",
                {{"menu.quit", "Quit"}, {"solo", "solo"}});
        const QByteArray utf16le =
            QByteArray("\xFF\xFE", 2)
                .append(QStringEncoder(QStringEncoder::Utf16LE).encode(QStringLiteral("\"k\" = \"日本\";")));
        accepts("utf-16 le bom", utf16le, {{"k", QStringLiteral("日本")}});

        const auto rejects = [](const char* name, const QByteArray& input, int line, const QString& message) {
            QTest::newRow(name) << input << Table() << line << message;
        };
        // A missing ';' is blamed on the line where the entry ended, not where the next one starts.
        rejects("missing ; mid-file", "\"a\" = \"1\";\n\"b\" = \"2\"\n\"c\" = \"3\";\n", 2, "expected ';'");
        rejects("missing ; at end of file", "\"a\" = \"1\";\n\n\"b\"\n\n", 3, "expected ';'");
        rejects("unterminated string", "\"a\" = \"1\";\n\"b\" = \"open\n;\n", 2, "unterminated string");
        rejects("backslash at end", "\"b\" = \"x\\", 1, "unterminated string");
        rejects("unterminated comment", "\"a\" = \"1\";\n/* never\nclosed", 2, "unterminated comment");
        rejects("value at end of file", "\"a\" =", 1, "expected value");
        rejects("unknown escape", "\n\"a\" = \"\\q\";", 2, "unknown escape");
        rejects("short unicode escape", "\"a\" = \"\\u12\";", 1, "four hex digits");
        rejects("stray character", "\"a\" = \"1\";\n/* x\n */ @", 3, "expected key");
        rejects("duplicate key", "\"a\" = \"1\";\n\"a\" =\n\"2\";", 2, "duplicate key");
        rejects("invalid utf-8", "\"a\" = \"\xC3\x28\";", 1, "UTF");
        // What the table says is quoted escaped and cut short, never as it stands.
        rejects("duplicate key with a terminal escape", "\"\x1B[2J\" = \"1\";\n\"\x1B[2J\" = \"2\";", 2,
                "duplicate key \"\\x1B[2J\"");
        rejects("duplicate long key", "\"" + QByteArray(500, 'k') + "\";\"" + QByteArray(500, 'k') + "\";", 1,
                "duplicate key \"" + QString(80, 'k') + QChar(0x2026) + "\"");
        rejects("escaped control character", "\"a\" = \"\\\xC2\x9B\";", 1, "unknown escape '\\\\x9B'");
    }

    void reader()
    {
        QFETCH(QByteArray, input);
        QFETCH(Table, expected);
        QFETCH(int, errorLine);
        QFETCH(QString, message);
        const auto result = StringsFileReader::parse(input, QStringLiteral("ja.lproj/Localizable.strings"));
        QCOMPARE(result.errorLine, errorLine);
        const QString where = QStringLiteral("ja.lproj/Localizable.strings:%1: ").arg(errorLine);
        QVERIFY2(errorLine ? result.error.startsWith(where) && result.error.contains(message) : result.ok(),
                 qPrintable(result.error));
        for (const QChar c : result.error)
            QVERIFY2(c.category() != QChar::Other_Control, qPrintable(result.error));
        // Nothing of a broken table is kept, not even the entries before the fault.
        QCOMPARE(result.entries, expected);
    }

    void formatting_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("64-bit") << "%ld items" << QVariantList{qint64(5000000000)} << "5000000000 items";
        QTest::newRow("percent") << "100%% done %d%%" << QVariantList{50} << "100% done 50%";
        QTest::newRow("positional") << "%2$@ before %1$d" << QVariantList{1, "b"} << "b before 1";
        QTest::newRow("missing argument") << "A %@ B %d C" << QVariantList{"x"} << "A x B  C";
        QTest::newRow("non-directives kept") << "%k %@ 50%" << QVariantList{"a"} << "%k a 50%";
        QTest::newRow("zero padding after sign") << "[%03d]" << QVariantList{-7} << "[-07]";
        QTest::newRow("precision") << "%.1f%%" << QVariantList{33.46} << "33.5%";
        QTest::newRow("text argument with percent") << "%@ %d" << QVariantList{"%d", 2} << "%d 2";
        QTest::newRow("huge width") << "%99999999999d" << QVariantList{1} << QString(99999, u' ') + u'1';
    }

    void formatting()
    {
        QFETCH(QString, format);
        QFETCH(QVariantList, args);
        QFETCH(QString, expected);
        QCOMPARE(StringFormat::apply(format, args), expected);
    }

    void signature()
    {
        QCOMPARE(StringFormat::signature("%@ %ld %u %.1f 100%%"), (QStringList{"1:@", "2:d", "3:d", "4:f"}));
        // Reordered, and one argument used as two kinds: the conflict stays visible.
        QCOMPARE(StringFormat::signature("%2$@ は %1$lld %2$d"), (QStringList{"1:d", "2:@|d"}));
    }

    void resolve_data()
    {
        stringRows({"stored", "preferredList", "expected"},
                   {
                       {"traditional chinese to simplified", "system", "zh-Hant-TW,en", "zh-Hans"},
                       {"japanese", "system", "ja-JP", "ja"},
                       {"only the first entry counts", "system", "fr-FR,ja-JP", "en"},
                       {"empty list", "system", "", "en"},
                       {"nothing stored means system", "", "ja-JP", "ja"},
                       {"explicit choice ignores the list", "ja", "zh-Hans", "ja"},
                       {"stored unknown code kept", "fr", "ja-JP", "fr"},
                   });
    }

    void resolve()
    {
        QFETCH(QString, stored);
        QFETCH(QString, preferredList);
        QFETCH(QString, expected);
        auto l10n = makeL10n(stored, preferredList);
        const QString choice = stored.isEmpty() ? QStringLiteral("system") : stored;
        QCOMPARE(l10n->currentLanguage(), choice);
        QCOMPARE(l10n->effectiveLanguageCode(), expected);
        // Reading the choice never writes it.
        QCOMPARE(AppSettings::contains(kLanguageKey), !stored.isEmpty());
    }

    void lookupOrder_data()
    {
        stringRows({"choice", "key", "fallback", "expected"},
                   {
                       {"own table", "ja", "both", "FB", "JA both"},
                       {"missing key: english before fallback", "ja", "en.only", "FB", "EN only"},
                       {"missing everywhere: fallback", "ja", "nowhere", "FB", "FB"},
                       {"missing everywhere, no fallback: key", "ja", "nowhere", nullptr, "nowhere"},
                       {"translation equal to key: english", "ja", "same.ja", "FB", "EN same"},
                       {"english equal to key: fallback", "ja", "same.en", "FB", "FB"},
                       {"no table for language: english", "fr", "both", "FB", "EN both"},
                       {"path-like code finds no table", "../ja", "both", nullptr, "EN both"},
                   });
    }

    void lookupOrder()
    {
        QFETCH(QString, choice);
        QFETCH(QString, key);
        QFETCH(QString, fallback);
        QFETCH(QString, expected);
        auto l10n = makeL10n(choice, QStringLiteral("ja-JP"));
        QCOMPARE(l10n->lookup(key, fallback.isNull() ? std::nullopt : std::optional(fallback)), expected);
    }

    void malformedTableIsRejectedWholeAndLoggedOnce()
    {
        QTemporaryDir dir;
        writeTable(dir.path(), QStringLiteral("en"), "\"a\" = \"en\";\n");
        writeTable(dir.path(), QStringLiteral("ja"), "\"a\" = \"ja\";\n\"b\" = \"ja\"\n\"c\" = \"ja\";\n");
        AppSettings::setValue(kLanguageKey, QStringLiteral("ja"));
        QStringList seen;
        const QString out = captureStdout([&] {
            L10n l10n({}, dir.path());
            seen << l10n.lookup(QStringLiteral("a")) << l10n.lookup(QStringLiteral("c"), QStringLiteral("-"));
            l10n.setLanguage(QStringLiteral("en"));
            l10n.setLanguage(QStringLiteral("ja"));
            seen << l10n.lookup(QStringLiteral("a"));
        });
        // The entry before the fault is not served either: the table is all or nothing.
        QCOMPARE(seen, (QStringList{"en", "-", "en"}));
        QVERIFY2(out.contains("[L10n] ja.lproj/Localizable.strings:2: expected ';'\n"), qPrintable(out));
        QCOMPARE(out.count(QStringLiteral("[L10n]")), 1);
    }

    void changeSequence()
    {
        auto l10n = makeL10n(QString(), QStringLiteral("zh-Hant-TW"));
        QSignalSpy choice(l10n.get(), &L10n::currentLanguageChanged);
        QSignalSpy changed(l10n.get(), &L10n::languageChanged);
        QString notified;
        connect(l10n.get(), &L10n::languageChanged, this, [&] { notified = l10n->lookup("both"); });

        l10n->setCurrentLanguage(QStringLiteral("ja"));
        // Stored and switched at once; the redraw notice comes later, from the event loop.
        QCOMPARE(AppSettings::value(kLanguageKey).toString(), QStringLiteral("ja"));
        QCOMPARE(l10n->lookup(QStringLiteral("both")), QStringLiteral("JA both"));
        QCOMPARE(choice.count(), 1);
        QCOMPARE(changed.count(), 0);
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(notified, QStringLiteral("JA both"));

        // Assigning the same choice again still stores it and notifies the views.
        AppSettings::remove(kLanguageKey);
        l10n->setCurrentLanguage(QStringLiteral("ja"));
        QCOMPARE(choice.count(), 1);
        QCOMPARE(AppSettings::value(kLanguageKey).toString(), QStringLiteral("ja"));
        QTRY_COMPARE(changed.count(), 2);
    }

    void concurrentLookupsDuringLanguageChanges()
    {
        auto l10n = makeL10n(QStringLiteral("en"));
        std::atomic<int> bad{0};
        const auto lookups = [&] {
            for (int i = 0; i < 20000; ++i) {
                const QString text = l10n->lookupFormat(QStringLiteral("fmt"), std::nullopt, {1, "X"});
                bad += text != QStringLiteral("X has 1") && text != QStringLiteral("X は 1");
            }
        };
        QFuture<void> workers[] = {QtConcurrent::run(lookups), QtConcurrent::run(lookups)};
        for (int i = 0; !workers[0].isFinished() || !workers[1].isFinished(); ++i)
            l10n->setCurrentLanguage(QStringList{"ja", "zh-Hans", "fr", "system", "en"}.at(i % 5));
        QCOMPARE(bad.load(), 0);
    }

    void shippedTables_data() { stringRows({"code"}, {{"en", "en"}, {"zh-Hans", "zh-Hans"}, {"ja", "ja"}}); }

    void shippedTables()
    {
        QFETCH(QString, code);
        const auto table = L10n::loadTable(QStringLiteral(":/l10n"), code);
        const auto english = L10n::loadTable(QStringLiteral(":/l10n"), QStringLiteral("en"));
        QVERIFY(table && english);

        QFile list(QStringLiteral(RONDIX_SOURCE_DIR "/tests/unit/l10n/expected_keys.txt"));
        QVERIFY(list.open(QIODevice::ReadOnly) && list.size() > 4000);
        QStringList missing;
        for (const QString& key : QString::fromUtf8(list.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            if (!key.startsWith(u'#') && (table->value(key).isEmpty() || table->value(key) == key))
                missing << key;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(u"missing: " + missing.join(u' ')));

        // Same keys and placeholders as English, and no place or key that only exists on macOS.
        const QRegularExpression macOnly(
            QStringLiteral("⌘|macOS|Mac |Finder|访达|Dock|程序坞|ファインダー|Spotlight|"
                           "Mission Control|调度中心|聚焦搜索|/Applications|"
                           "Library/Application Support|\\.app\\)"));
        QStringList wrong;
        for (auto it = table->cbegin(); it != table->cend(); ++it) {
            if (!english->contains(it.key()) || it.value().contains(macOnly) ||
                StringFormat::signature(it.value()) != StringFormat::signature(english->value(it.key())))
                wrong << it.key();
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u' ')));
        QCOMPARE(table->size(), english->size());
    }
};

QTEST_GUILESS_MAIN(TestL10n)
#include "tst_l10n.moc"
