#include "l10n/L10n.h"

#include <QtTest>

class TestL10n : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void compiledTablesLoad()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        L10n l10n([] { return QStringList{QStringLiteral("ja-JP")}; });
        QCOMPARE(l10n.effectiveLanguageCode(), QStringLiteral("ja"));
        QCOMPARE(l10n.lookup(QStringLiteral("menu.settings")), QStringLiteral("設定…"));
    }
};

QTEST_GUILESS_MAIN(TestL10n)
#include "tst_l10n.moc"
