// The hotkey handed to GNOME's own shortcut settings: what lands in the
// settings store (a key file here, so the test reads what another program
// would), what the desktop will run, and that the user's own bindings stay.
#include "platform/PlatformTypes.h"
#include "platform/wayland/DesktopShortcutGrabber.h"

#include <gio/gio.h>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
const char* kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
const char* kCustomBinding = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";

bool schemaInstalled(const char* id)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr;
    if (schema)
        g_settings_schema_unref(schema);
    return schema;
}

QStringList customPaths()
{
    GSettings* s = g_settings_new(kMediaKeys);
    gchar** list = g_settings_get_strv(s, "custom-keybindings");
    QStringList paths;
    for (gchar** p = list; p && *p; ++p)
        paths << QString::fromUtf8(*p);
    g_strfreev(list);
    g_object_unref(s);
    return paths;
}

void setCustomPaths(const QStringList& paths)
{
    QList<QByteArray> utf8;
    std::vector<const gchar*> raw;
    for (const QString& p : paths)
        utf8 << p.toUtf8();
    for (const QByteArray& p : utf8)
        raw.push_back(p.constData());
    raw.push_back(nullptr);
    GSettings* s = g_settings_new(kMediaKeys);
    g_settings_set_strv(s, "custom-keybindings", raw.data());
    g_settings_sync();
    g_object_unref(s);
}

QString bindingValue(const char* key)
{
    GSettings* s = g_settings_new_with_path(kCustomBinding, DesktopShortcutGrabber::kGnomePath.toUtf8().constData());
    gchar* value = g_settings_get_string(s, key);
    const QString text = QString::fromUtf8(value);
    g_free(value);
    g_object_unref(s);
    return text;
}

QStringList splitLikeTheDesktop(const QString& command)
{
    gchar** argv = nullptr;
    QStringList args;
    if (g_shell_parse_argv(command.toUtf8().constData(), nullptr, &argv, nullptr))
        for (gchar** a = argv; *a; ++a)
            args << QString::fromUtf8(*a);
    g_strfreev(argv);
    return args;
}
} // namespace

class TestDesktopShortcuts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        // Before the first GSettings call: the backend is chosen once.
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("GSETTINGS_BACKEND", "keyfile");
        if (!schemaInstalled(kMediaKeys) || !schemaInstalled(kCustomBinding))
            QSKIP("GNOME's media-keys schema is not installed (gnome-settings-daemon-common)");
    }

    void commandSurvivesTheDesktopsSplitting_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("plain") << u"/usr/bin/rondix"_s;
        QTest::newRow("space") << u"/home/ann/My Apps/rondix"_s;
        QTest::newRow("quotes") << u"/home/o'neil/\"x\"/rondix"_s;
        QTest::newRow("shell characters") << u"/opt/$HOME;rm -rf ~/rondix"_s;
    }
    void commandSurvivesTheDesktopsSplitting()
    {
        QFETCH(QString, program);
        QCOMPARE(splitLikeTheDesktop(DesktopShortcutGrabber::gnomeCommand(program)),
                 QStringList({program, u"summon"_s}));
    }

    void bindingIsStoredAndTakenBack_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("accelerator");
        QTest::newRow("Alt+Space") << 49 << quint32(ModifierMask::Option) << 0 << u"<Alt>space"_s;
        QTest::newRow("Ctrl+Shift+F5") << 96 << quint32(ModifierMask::Control | ModifierMask::Shift) << 0
                                       << u"<Shift><Control>F5"_s;
        QTest::newRow("Super+K") << 40 << quint32(ModifierMask::Command) << 0 << u"<Super>k"_s;
        QTest::newRow("a code with no key") << 0x7ff0 << quint32(ModifierMask::Option) << 2 << QString();
    }
    void bindingIsStoredAndTakenBack()
    {
        QFETCH(int, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(int, status);
        QFETCH(QString, accelerator);
        const QStringList users = {u"/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/"_s};
        setCustomPaths(users);

        DesktopShortcutGrabber grabber(DesktopShortcutGrabber::Desktop::Gnome);
        QCOMPARE(grabber.grab(quint16(keyCode), modifiers), status);
        QCOMPARE(grabber.isGrabbed(), status == 0);
        if (status != 0) {
            QCOMPARE(customPaths(), users);
            return;
        }
        QCOMPARE(customPaths(), users + QStringList{DesktopShortcutGrabber::kGnomePath});
        QCOMPARE(bindingValue("binding"), accelerator);
        QCOMPARE(bindingValue("name"), u"Rondix"_s);
        QCOMPARE(splitLikeTheDesktop(bindingValue("command")),
                 QStringList({QCoreApplication::applicationFilePath(), u"summon"_s}));
        // Grabbing again (a new chord) does not list the binding twice.
        QCOMPARE(grabber.grab(quint16(keyCode), modifiers), 0);
        QCOMPARE(customPaths().count(DesktopShortcutGrabber::kGnomePath), 1);

        // What another program sees: the store on disk.
        QFile store(m_config.filePath(u"glib-2.0/settings/keyfile"_s));
        QVERIFY(store.open(QIODevice::ReadOnly));
        QVERIFY(store.readAll().contains(accelerator.toUtf8()));

        grabber.ungrab();
        QVERIFY(!grabber.isGrabbed());
        QCOMPARE(customPaths(), users);
    }
};

QTEST_GUILESS_MAIN(TestDesktopShortcuts)
#include "tst_desktopshortcuts.moc"
