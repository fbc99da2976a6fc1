#include "model/KeyComboText.h"
#include "platform/fake/FakePlatform.h"
#include "platform/x11/WindowAppMatcher.h"
#include "platform/x11/X11KeyTable.h"

#include <QTest>

class TestX11Tables : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysyms_data()
    {
        QTest::addColumn<int>("vk");
        QTest::addColumn<qint64>("keysym"); // -1: no key
        QTest::newRow("5 and 6 swapped on ANSI") << 23 << qint64('5');
        QTest::newRow("space") << 49 << qint64(0x20);
        QTest::newRow("delete is backspace") << 51 << qint64(0xff08);
        QTest::newRow("forward delete") << 117 << qint64(0xffff);
        QTest::newRow("F1") << 122 << qint64(0xffbe);
        QTest::newRow("gap 10") << 10 << qint64(-1);
        QTest::newRow("negative") << -1 << qint64(-1);
        QTest::newRow("beyond") << 128 << qint64(-1);
    }

    void keysyms()
    {
        QFETCH(int, vk);
        QFETCH(qint64, keysym);
        const auto sym = X11KeyTable::keysymForVirtualKey(vk);
        QCOMPARE(sym ? qint64(*sym) : qint64(-1), keysym);
        if (sym)
            QCOMPARE(X11KeyTable::virtualKeyForKeysym(*sym), vk);
        // Shifted letters come back as their key; unknown keysyms as none.
        QCOMPARE(X11KeyTable::virtualKeyForKeysym('V'), 9);
        QCOMPARE(X11KeyTable::virtualKeyForKeysym(0x1234567), -1);
    }

    // What a combination shows is the key the code sends: every code with a keysym
    // has a name, printable keysyms show their character, codes without one show none.
    void keyNamesFollowKeysyms()
    {
        int named = 0;
        for (int vk = 0; vk < 128; ++vk) {
            const QString name = KeyComboText::keyName(quint16(vk));
            const auto sym = X11KeyTable::keysymForVirtualKey(vk);
            if (!sym) {
                QCOMPARE(name, QStringLiteral("Key(%1)").arg(vk));
                continue;
            }
            ++named;
            QVERIFY2(!name.startsWith(QLatin1String("Key(")), qPrintable(QString::number(vk)));
            if (*sym > 0x20 && *sym < 0x7f)
                QCOMPARE(name, QString(QChar(char16_t(*sym))).toUpper());
        }
        QCOMPARE(named, 112);
        QCOMPARE(KeyComboText::keyName(49), QStringLiteral("Space"));
    }

    void buttons_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("button");
        QTest::newRow("none") << 0 << -1;
        QTest::newRow("left") << 1 << 0;
        QTest::newRow("middle") << 2 << 2;
        QTest::newRow("right") << 3 << 1;
        QTest::newRow("wheel right") << 7 << -1;
        QTest::newRow("back") << 8 << 3;
        QTest::newRow("extra 10") << 10 << 5;
    }

    void buttons()
    {
        QFETCH(int, x);
        QFETCH(int, button);
        QCOMPARE(X11KeyTable::buttonFromX(x), button);
    }

    void matching_data()
    {
        // WM_CLASS instance|class|GTK application id|executable|expected entry (empty: none)
        QTest::addColumn<QString>("row");
        QTest::newRow("startup class = instance") << "navigator|Firefox|||org.mozilla.firefox";
        QTest::newRow("instance before class") << "code|Vscodium|||code-oss";
        QTest::newRow("startup class = class") << "x|Vscodium|||codium";
        QTest::newRow("class as id") << "gimp-2.10|gimp|||gimp";
        QTest::newRow("lower-cased class") << "inkscape|Inkscape|||inkscape";
        QTest::newRow("gtk application id") << "gte|Gte|org.gnome.TextEditor||org.gnome.TextEditor";
        QTest::newRow("executable") << "foo|Foo||/usr/bin/krita|krita";
        QTest::newRow("class wins over exe") << "gimp|gimp||/usr/bin/krita|gimp";
        QTest::newRow("nothing matches") << "xterm|XTerm||/usr/bin/xterm|";
        QTest::newRow("empty window") << "||||";
        QTest::newRow("path-like class") << "a|../gimp|||";
    }

    void matching()
    {
        QFETCH(QString, row);
        FakeDesktopEntries entries;
        for (const QString& e :
             QStringList{"org.mozilla.firefox=navigator", "codium=Vscodium", "code-oss=code",
                         "gimp=", "inkscape=", "org.gnome.TextEditor=", "krita=", "../gimp="})
            entries.entries << DesktopEntry{e.section('=', 0, 0),
                                            e.section('=', 0, 0) + QStringLiteral(" app"),
                                            {},
                                            {},
                                            {},
                                            e.section('=', 1),
                                            {}}; // id, name, ..., StartupWMClass, categories
        const QStringList w = row.split('|');
        const QString expected = w[4];
        const RunningApp app = WindowAppMatcher::describe(7, 42, {w[0], w[1], w[2], w[3]}, &entries, false);
        QCOMPARE(app.bundleId, expected);
        QCOMPARE(app.name, expected.isEmpty() ? w[1] : expected + QStringLiteral(" app"));
    }
};

QTEST_GUILESS_MAIN(TestX11Tables)
#include "tst_x11tables.moc"
