// The bundled catalogue in market/catalog: every ring is strict ring JSON for
// the application its entry names, with eight enabled shortcuts whose key
// codes, key names and symbols Rondix knows, and no chord twice.
#include "common/SymbolGlyphs.h"
#include "model/ModelJson.h"
#include "settings/KeyCodeHelper.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTest>

namespace {

const QString kCatalog = QStringLiteral(RONDIX_SOURCE_DIR "/market/catalog");

} // namespace

class TestMarketCatalog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entries_data()
    {
        QTest::addColumn<QString>("id");
        const QStringList items = QDir(kCatalog).entryList({"*.item.json"}, QDir::Files, QDir::Name);
        QVERIFY(items.size() >= 12);
        for (const QString& name : items)
            QTest::newRow(qPrintable(name)) << name.chopped(QStringLiteral(".item.json").size());
    }

    void entries()
    {
        QFETCH(QString, id);
        QJsonParseError error;
        const QJsonObject item =
            QJsonDocument::fromJson(readFile(kCatalog + "/" + id + ".item.json"), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(item["id"].toString(), id);
        for (const char* member : {"app_name", "bundle_id", "version", "summary", "author"})
            QVERIFY2(!item[member].toString().isEmpty(), member);
        // Entries are keyed by the desktop id the application's package installs.
        QCOMPARE(item["bundle_id"].toString(), id);

        QString decodeError;
        const auto ring = decodeRingProfile(readFile(kCatalog + "/" + id + ".rondix"), &decodeError);
        QVERIFY2(ring, qPrintable(decodeError));
        QCOMPARE(ring->bundleIdentifier, std::optional<QString>(id));
        QCOMPARE(ring->slots.size(), 8);
        QSet<QString> chords;
        for (int sector = 0; sector < 8; ++sector) {
            const auto slot = ring->slotAt(sector);
            QVERIFY(slot);
            QCOMPARE(slot->index, sector);
            QVERIFY(slot->isEnabled);
            QVERIFY(!slot->title.isEmpty());
            const auto* symbol = std::get_if<IconInfo::SfSymbol>(&slot->icon.value);
            QVERIFY2(symbol && SymbolGlyphs::isKnown(symbol->name), qPrintable(slot->title));
            const auto* shortcut = std::get_if<ActionType::Shortcut>(&slot->action.value);
            QVERIFY2(shortcut, qPrintable(slot->title));
            QCOMPARE(KeyCodeHelper::keyName(shortcut->keyCode), shortcut->key);
            const QString chord = QStringLiteral("%1/%2%3%4%5")
                                      .arg(shortcut->keyCode)
                                      .arg(shortcut->modifiers.control)
                                      .arg(shortcut->modifiers.option)
                                      .arg(shortcut->modifiers.shift)
                                      .arg(shortcut->modifiers.command);
            QVERIFY2(!chords.contains(chord), qPrintable(slot->title + " repeats a shortcut"));
            chords.insert(chord);
            // Linux applications use Control, never the Super key, for these.
            QVERIFY(!shortcut->modifiers.command);
        }
    }
};

QTEST_GUILESS_MAIN(TestMarketCatalog)
#include "tst_marketcatalog.moc"
