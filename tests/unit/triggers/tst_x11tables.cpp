#include "platform/fake/FakePlatform.h"
#include "platform/x11/WindowAppMatcher.h"
#include "platform/x11/X11KeyTable.h"

#include <QTest>

class TestX11Tables : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysyms_data();
    void keysyms();
    void everyKeyMapsBack();
    void buttons_data();
    void buttons();
    void matching_data();
    void matching();
    void ownWindowAndFallbackName();
};

void TestX11Tables::keysyms_data()
{
    QTest::addColumn<int>("vk");
    QTest::addColumn<qint64>("keysym"); // -1: no key
    QTest::newRow("A") << 0 << qint64('a');
    QTest::newRow("S") << 1 << qint64('s');
    QTest::newRow("V") << 9 << qint64('v');
    QTest::newRow("K") << 40 << qint64('k');
    QTest::newRow("1") << 18 << qint64('1');
    QTest::newRow("5 and 6 swapped on ANSI") << 23 << qint64('5');
    QTest::newRow("space") << 49 << qint64(0x20);
    QTest::newRow("return") << 36 << qint64(0xff0d);
    QTest::newRow("tab") << 48 << qint64(0xff09);
    QTest::newRow("delete is backspace") << 51 << qint64(0xff08);
    QTest::newRow("forward delete") << 117 << qint64(0xffff);
    QTest::newRow("escape") << 53 << qint64(0xff1b);
    QTest::newRow("left") << 123 << qint64(0xff51);
    QTest::newRow("right") << 124 << qint64(0xff53);
    QTest::newRow("down") << 125 << qint64(0xff54);
    QTest::newRow("up") << 126 << qint64(0xff52);
    QTest::newRow("F1") << 122 << qint64(0xffbe);
    QTest::newRow("F2") << 120 << qint64(0xffbf);
    QTest::newRow("F3") << 99 << qint64(0xffc0);
    QTest::newRow("F4") << 118 << qint64(0xffc1);
    QTest::newRow("F5") << 96 << qint64(0xffc2);
    QTest::newRow("F8") << 100 << qint64(0xffc5);
    QTest::newRow("F10") << 109 << qint64(0xffc7);
    QTest::newRow("F11") << 103 << qint64(0xffc8);
    QTest::newRow("F12") << 111 << qint64(0xffc9);
    QTest::newRow("home") << 115 << qint64(0xff50);
    QTest::newRow("end") << 119 << qint64(0xff57);
    QTest::newRow("page up") << 116 << qint64(0xff55);
    QTest::newRow("page down") << 121 << qint64(0xff56);
    QTest::newRow("grave") << 50 << qint64('`');
    QTest::newRow("gap 10") << 10 << qint64(-1);
    QTest::newRow("gap 52") << 52 << qint64(-1);
    QTest::newRow("fn") << 63 << qint64(-1);
    QTest::newRow("negative") << -1 << qint64(-1);
    QTest::newRow("beyond") << 500 << qint64(-1);
}

void TestX11Tables::keysyms()
{
    QFETCH(int, vk);
    QFETCH(qint64, keysym);
    const auto sym = X11KeyTable::keysymForVirtualKey(vk);
    QCOMPARE(sym ? qint64(*sym) : qint64(-1), keysym);
    if (sym)
        QCOMPARE(X11KeyTable::virtualKeyForKeysym(*sym), vk);
}

void TestX11Tables::everyKeyMapsBack()
{
    // No two virtual keys may share a keysym, or a recorded key would come back
    // as another key.
    QHash<quint32, int> seen;
    for (int vk = 0; vk < 128; ++vk) {
        const auto sym = X11KeyTable::keysymForVirtualKey(vk);
        if (!sym)
            continue;
        QVERIFY2(!seen.contains(*sym),
                 qPrintable(QStringLiteral("keysym shared by %1 and %2").arg(seen[*sym]).arg(vk)));
        seen.insert(*sym, vk);
        QCOMPARE(X11KeyTable::virtualKeyForKeysym(*sym), vk);
    }
    QVERIFY(seen.size() > 90);
    // Shifted letters come back as their key.
    QCOMPARE(X11KeyTable::virtualKeyForKeysym('V'), 9);
    QCOMPARE(X11KeyTable::virtualKeyForKeysym(0x1234567), -1);
}

void TestX11Tables::buttons_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("button");
    QTest::newRow("left") << 1 << 0;
    QTest::newRow("right") << 3 << 1;
    QTest::newRow("middle") << 2 << 2;
    QTest::newRow("wheel up") << 4 << -1;
    QTest::newRow("wheel down") << 5 << -1;
    QTest::newRow("wheel left") << 6 << -1;
    QTest::newRow("wheel right") << 7 << -1;
    QTest::newRow("back") << 8 << 3;
    QTest::newRow("forward") << 9 << 4;
    QTest::newRow("extra 10") << 10 << 5;
    QTest::newRow("extra 13") << 13 << 8;
    QTest::newRow("none") << 0 << -1;
}

void TestX11Tables::buttons()
{
    QFETCH(int, x);
    QFETCH(int, button);
    QCOMPARE(X11KeyTable::buttonFromX(x), button);
}

namespace {
DesktopEntry entry(const QString& id, const QString& wmClass = {})
{
    DesktopEntry e;
    e.id = id;
    e.name = id + QStringLiteral(" app");
    e.iconName = id + QStringLiteral("-icon");
    e.path = QStringLiteral("/usr/share/applications/") + id + QStringLiteral(".desktop");
    e.startupWmClass = wmClass;
    return e;
}
} // namespace

void TestX11Tables::matching_data()
{
    QTest::addColumn<QString>("instance");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("gtkId");
    QTest::addColumn<QString>("exe");
    QTest::addColumn<QString>("expected"); // empty: no entry

    QTest::newRow("startup class = instance") << "navigator"
                                              << "Firefox"
                                              << ""
                                              << ""
                                              << "org.mozilla.firefox";
    QTest::newRow("instance before class") << "code"
                                           << "Vscodium"
                                           << ""
                                           << ""
                                           << "code-oss";
    QTest::newRow("startup class = class") << "x"
                                           << "Vscodium"
                                           << ""
                                           << ""
                                           << "codium";
    QTest::newRow("class as id") << "gimp-2.10"
                                 << "gimp"
                                 << ""
                                 << ""
                                 << "gimp";
    QTest::newRow("lower-cased class") << "inkscape"
                                       << "Inkscape"
                                       << ""
                                       << ""
                                       << "inkscape";
    QTest::newRow("gtk application id") << "gnome-text-editor"
                                        << "Gnome-text-editor"
                                        << "org.gnome.TextEditor"
                                        << ""
                                        << "org.gnome.TextEditor";
    QTest::newRow("executable") << "foo"
                                << "Foo"
                                << ""
                                << "/usr/bin/krita"
                                << "krita";
    QTest::newRow("class wins over exe") << "gimp"
                                         << "gimp"
                                         << ""
                                         << "/usr/bin/krita"
                                         << "gimp";
    QTest::newRow("nothing matches") << "xterm"
                                     << "XTerm"
                                     << ""
                                     << "/usr/bin/xterm"
                                     << "";
    QTest::newRow("empty window") << ""
                                  << ""
                                  << ""
                                  << ""
                                  << "";
    QTest::newRow("path-like class") << "a"
                                     << "../gimp"
                                     << ""
                                     << ""
                                     << "";
}

void TestX11Tables::matching()
{
    QFETCH(QString, instance);
    QFETCH(QString, cls);
    QFETCH(QString, gtkId);
    QFETCH(QString, exe);
    QFETCH(QString, expected);
    FakeDesktopEntries entries;
    entries.entries = {entry(QStringLiteral("org.mozilla.firefox"), QStringLiteral("navigator")),
                       entry(QStringLiteral("codium"), QStringLiteral("Vscodium")),
                       entry(QStringLiteral("code-oss"), QStringLiteral("code")),
                       entry(QStringLiteral("gimp")),
                       entry(QStringLiteral("inkscape")),
                       entry(QStringLiteral("org.gnome.TextEditor")),
                       entry(QStringLiteral("krita")),
                       entry(QStringLiteral("../gimp"))};
    const auto found = WindowAppMatcher::match({instance, cls, gtkId, exe}, entries);
    QCOMPARE(found ? found->id : QString(), expected);

    const RunningApp app = WindowAppMatcher::describe(7, 42, {instance, cls, gtkId, exe}, &entries, false);
    QCOMPARE(app.bundleId, expected);
    QCOMPARE(app.name, expected.isEmpty() ? cls : expected + QStringLiteral(" app"));
    QCOMPARE(app.desktopFile.isEmpty(), expected.isEmpty());
    QCOMPARE(app.wmClass, cls);
    QCOMPARE(app.window, 7u);
}

void TestX11Tables::ownWindowAndFallbackName()
{
    FakeDesktopEntries entries;
    entries.entries = {entry(QStringLiteral("rondix"))};
    const RunningApp own = WindowAppMatcher::describe(
        3, 1, {QStringLiteral("rondix"), QStringLiteral("rondix"), {}, {}}, &entries, true);
    QCOMPARE(own.bundleId, kOwnAppId);
    // No desktop entries service at all: the class names the app.
    const RunningApp bare = WindowAppMatcher::describe(
        3, 1, {QStringLiteral("xterm"), QStringLiteral("XTerm"), {}, {}}, nullptr, false);
    QCOMPARE(bare.bundleId, QString());
    QCOMPARE(bare.name, QStringLiteral("XTerm"));
}

QTEST_GUILESS_MAIN(TestX11Tables)
#include "tst_x11tables.moc"
