// The market tab on the offscreen platform, fed by a real rondix-market serve
// on 127.0.0.1: its three states, the rows and their buttons, installing from
// the keyboard, and a failed refresh under a shown list. Also renders the tab
// with the bundled catalogue to market-tab.png in the build folder.
#include "l10n/L10n.h"
#include "market/MarketClient.h"
#include "market/MarketKey.h"
#include "market/MarketView.h"
#include "MarketTestServer.h"
#include "model/AppProfileManager.h"
#include "model/ModelJson.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestMarketView : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<AppProfileManager> m_store;
    std::unique_ptr<MarketTestServer> m_server;

    template<typename T> static T* child(QWidget& view, const QString& name)
    {
        return view.findChild<T*>(name);
    }

    static QStringList rowNames(QWidget& view)
    {
        QStringList names;
        for (QLabel* label : view.findChildren<QLabel*>(QStringLiteral("marketRowName")))
            if (label->isVisibleTo(&view))
                names << label->text();
        return names;
    }

private Q_SLOTS:
    void initTestCase() { L10n::shared().setCurrentLanguage(QStringLiteral("en")); }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_home->filePath("config").toUtf8());
        m_store = std::make_unique<AppProfileManager>(m_home->filePath("data"));
        m_server = std::make_unique<MarketTestServer>();
        QVERIFY(m_server->makeKeys());
        QVERIFY(m_server->signRing("b-mail", "Mail", "First", "keys", "2.0"));
        QVERIFY(m_server->signRing("a-paint", "Paint"));
    }

    void cleanup()
    {
        m_server.reset();
        m_store.reset();
        L10n::shared().setCurrentLanguage(QStringLiteral("en"));
    }

    void loadingThenRows()
    {
        QVERIFY(m_server->start());
        MarketClient market(m_store.get(), m_server->url(), m_server->publicKey());
        MarketView view(market);
        view.resize(640, 420);
        view.show();
        // Shown: the request is under way, nothing to list yet.
        QVERIFY(market.isLoading());
        QVERIFY(child<QWidget>(view, "marketSpinner")->isVisible());
        QCOMPARE(child<QLabel>(view, "marketPlaceholder")->text(), QStringLiteral("Loading…"));
        QVERIFY(!child<QPushButton>(view, "marketRefresh")->isEnabled());

        QVERIFY(QTest::qWaitFor([&] { return !market.isLoading(); }, 10000));
        QCOMPARE(rowNames(view), (QStringList{"Paint  v1.0", "Mail  v2.0"}));
        QVERIFY(!child<QLabel>(view, "marketStatus")->isVisible());
        QVERIFY(child<QPushButton>(view, "marketRefresh")->isEnabled());
        auto* install = child<QPushButton>(view, "marketInstall_b-mail");
        QVERIFY(install);
        QCOMPARE(install->text(), QStringLiteral("Import"));
        QCOMPARE(install->accessibleName(), QStringLiteral("Import Mail"));
        QCOMPARE(child<QPushButton>(view, "marketRefresh")->accessibleName(), QStringLiteral("Refresh"));
    }

    void installFromKeyboard()
    {
        QVERIFY(m_server->start());
        MarketClient market(m_store.get(), m_server->url(), m_server->publicKey());
        MarketView view(market);
        view.resize(640, 420);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(QTest::qWaitFor([&] { return !market.items().isEmpty(); }, 10000));

        // Tab from the refresh button reaches the first row's button; Space presses it.
        auto* refresh = child<QPushButton>(view, "marketRefresh");
        refresh->setFocus();
        QWidget* focus = refresh;
        for (int i = 0; i < 5 && focus->objectName() != QLatin1String("marketInstall_a-paint"); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            focus = QApplication::focusWidget();
        }
        QCOMPARE(focus->objectName(), QStringLiteral("marketInstall_a-paint"));
        QTest::keyClick(focus, Qt::Key_Space);
        QVERIFY(QTest::qWaitFor([&] { return market.installedIds().contains("a-paint"); }, 10000));

        // The rows were rebuilt: look the button up again.
        auto* button = child<QPushButton>(view, "marketInstall_a-paint");
        QCOMPARE(button->text(), QStringLiteral("Import Again"));
        QCOMPARE(button->accessibleName(), QStringLiteral("Import Paint"));
        QCOMPARE(QApplication::focusWidget(), button);
        QCOMPARE(child<QPushButton>(view, "marketInstall_b-mail")->text(), QStringLiteral("Import"));
        auto* status = child<QLabel>(view, "marketStatus");
        QVERIFY(status->isVisible());
        QCOMPARE(status->text(), QStringLiteral("Imported the ring for Paint."));
        QCOMPARE(m_store->profileFor(QStringLiteral("org.example.Paint")).name, QStringLiteral("Paint"));
    }

    void failedRefreshKeepsList()
    {
        QVERIFY(m_server->start());
        MarketClient market(m_store.get(), m_server->url(), m_server->publicKey());
        MarketView view(market);
        view.show();
        QVERIFY(QTest::qWaitFor([&] { return !market.items().isEmpty() && !market.isLoading(); }, 10000));
        m_server->stop();
        QTest::mouseClick(child<QPushButton>(view, "marketRefresh"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !market.isLoading(); }, 10000));
        QCOMPARE(rowNames(view).size(), 2);
        QVERIFY(child<QLabel>(view, "marketStatus")->isVisible());
        QVERIFY(child<QLabel>(view, "marketStatus")->text().startsWith("Network error: "));
    }

    void failureBeforeAnyItems()
    {
        MarketClient market(m_store.get(), QUrl("http://127.0.0.1:1"), m_server->publicKey());
        MarketView view(market);
        view.show();
        QVERIFY(QTest::qWaitFor([&] { return !market.isLoading(); }, 10000));
        QVERIFY(!child<QWidget>(view, "marketSpinner")->isVisible());
        QVERIFY(child<QLabel>(view, "marketPlaceholder")->text().startsWith("Network error: "));
        QVERIFY(child<QPushButton>(view, "marketRefresh")->isEnabled());
    }

    void emptyCatalogue()
    {
        QVERIFY(QFile::remove(m_server->packagePath("b-mail")));
        QVERIFY(QFile::remove(m_server->packagePath("a-paint")));
        QVERIFY(m_server->start());
        MarketClient market(m_store.get(), m_server->url(), m_server->publicKey());
        MarketView view(market);
        view.show();
        QVERIFY(QTest::qWaitFor([&] { return !market.isLoading(); }, 10000));
        QVERIFY(!child<QWidget>(view, "marketSpinner")->isVisible());
        QCOMPARE(child<QLabel>(view, "marketPlaceholder")->text(),
                 QStringLiteral("The market is empty for now. Check back soon."));
        QVERIFY(market.items().isEmpty() && rowNames(view).isEmpty());
        QCOMPARE(market.message(), L10n::string("market.empty"));
    }

    void followsLanguage()
    {
        QVERIFY(m_server->start());
        MarketClient market(m_store.get(), m_server->url(), m_server->publicKey());
        MarketView view(market);
        view.show();
        QVERIFY(QTest::qWaitFor([&] { return !market.items().isEmpty(); }, 10000));
        L10n::shared().setCurrentLanguage(QStringLiteral("zh-Hans"));
        QVERIFY(QTest::qWaitFor([&] { return child<QLabel>(view, "marketTitle")->text() == "插件市场"; }, 2000));
        QCOMPARE(child<QPushButton>(view, "marketInstall_b-mail")->text(), QStringLiteral("导入"));
        QCOMPARE(child<QPushButton>(view, "marketRefresh")->text(), QStringLiteral("刷新"));
    }

    void bundledCatalogueScreenshot()
    {
        const QString root = QStringLiteral(RONDIX_BINARY_DIR "/market/root");
        if (!QDir(root).exists() || QDir(root).entryList({"*.json"}).isEmpty())
            QSKIP("the bundled catalogue is not signed in this build");
        QProcess serve;
        serve.start(MarketTestServer::tool(), {"serve", "--root", root, "--listen", "127.0.0.1:0", "--quiet"});
        QVERIFY(serve.waitForReadyRead(5000));
        const QString line = QString::fromUtf8(serve.readAllStandardOutput());
        const QUrl url("http://127.0.0.1:" + line.section(':', -1).trimmed());
        MarketClient market(m_store.get(), url, MarketKey::verifyingKey());
        MarketView view(market);
        view.resize(720, 560);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(QTest::qWaitFor([&] { return market.items().size() >= 12; }, 10000));
        // Every bundled ring installs under the build's key.
        bool installed = false;
        market.install(market.items().at(1), [&](bool ok) { installed = ok; });
        QVERIFY(QTest::qWaitFor([&] { return installed; }, 10000));
        QTest::qWait(100);
        QVERIFY(view.grab().save(QStringLiteral(RONDIX_BINARY_DIR "/market-tab.png")));
        serve.terminate();
        serve.waitForFinished(5000);
    }
};

QTEST_MAIN(TestMarketView)
#include "tst_marketview.moc"
