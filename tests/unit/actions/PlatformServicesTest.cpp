#include "platform/freedesktop/FreedesktopSessionControls.h"
#include "platform/freedesktop/GioDesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
void writeEntry(const QString& path, const QByteArray& body)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Desktop Entry]\nType=Application\n" + body);
}
} // namespace

class PlatformServicesTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        // GIO reads these once, at its first use in the process.
        const QString apps = m_dir.filePath(QStringLiteral("share/applications"));
        writeEntry(apps + QStringLiteral("/org.example.Visible.desktop"),
                   "Name=Visible\nName[de]=Sichtbar\nIcon=visible-icon\nStartupWMClass=VisWin\nExec=true\n");
        writeEntry(apps + QStringLiteral("/hidden.desktop"), "Name=Hidden\nNoDisplay=true\nExec=true\n");
        writeEntry(apps + QStringLiteral("/broken.desktop"),
                   "Name=Broken\nExec=true\nPath=/nonexistent/rondix-no-such-folder\n");
        writeEntry(m_dir.filePath(QStringLiteral("loose/side.desktop")), "Name=Side\nExec=true\n");
        qputenv("XDG_DATA_DIRS", m_dir.filePath(QStringLiteral("share")).toUtf8());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8());
        qputenv("LANGUAGE", "de");
    }

    void shownEntriesOnly()
    {
        GioDesktopEntries entries;
        QStringList ids;
        for (const DesktopEntry& e : entries.allApplications())
            ids.append(e.id);
        ids.sort();
        QCOMPARE(ids, (QStringList{"broken", "org.example.Visible"}));
    }

    void entryFields()
    {
        GioDesktopEntries entries;
        const std::optional<DesktopEntry> e = entries.entryForId(QStringLiteral("org.example.Visible"));
        QVERIFY(e.has_value());
        QCOMPARE(e->name, QStringLiteral("Sichtbar"));
        QCOMPARE(e->unlocalizedName, QStringLiteral("Visible"));
        QCOMPARE(e->iconName, QStringLiteral("visible-icon"));
        QCOMPARE(e->startupWmClass, QStringLiteral("VisWin"));
        QCOMPARE(e->path, m_dir.filePath(QStringLiteral("share/applications/org.example.Visible.desktop")));
        QCOMPARE(entries.entryForFile(e->path), e);
        QCOMPARE(entries.entryForId(QStringLiteral("org.example.Visible.desktop")), e);
    }

    void lookupsThatFind_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("found");
        QTest::newRow("unknown id") << "org.example.Nothing"
                                    << "" << false;
        QTest::newRow("empty id") << ""
                                  << "" << false;
        QTest::newRow("file outside the data dirs") << ""
                                                    << "loose/side.desktop" << true;
        QTest::newRow("missing file") << ""
                                      << "loose/none.desktop" << false;
        QTest::newRow("not a desktop file") << ""
                                            << "share" << false;
    }
    void lookupsThatFind()
    {
        QFETCH(QString, id);
        QFETCH(QString, file);
        QFETCH(bool, found);
        GioDesktopEntries entries;
        const auto e = file.isEmpty() ? entries.entryForId(id) : entries.entryForFile(m_dir.filePath(file));
        QCOMPARE(e.has_value(), found);
        if (found && !file.isEmpty())
            QCOMPARE(e->id, QStringLiteral("side"));
    }

    void launchFailureHasAReason()
    {
        GioDesktopEntries entries;
        const auto broken = entries.entryForId(QStringLiteral("broken"));
        QVERIFY(broken.has_value());
        QString error;
        QVERIFY(!entries.launch(*broken, &error));
        QVERIFY(!error.isEmpty());
        DesktopEntry ghost;
        ghost.id = QStringLiteral("org.example.Ghost");
        QVERIFY(!entries.launch(ghost, &error));
        QVERIFY(error.contains(QLatin1String("org.example.Ghost")));
    }

    void brightnessSteps_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("result");
        QTest::newRow("middle up") << 50 << 100 << true << 56;
        QTest::newRow("middle down") << 50 << 100 << false << 44;
        QTest::newRow("top clamps") << 98 << 100 << true << 100;
        QTest::newRow("bottom clamps") << 3 << 100 << false << 0;
        QTest::newRow("few levels step by one") << 3 << 7 << false << 2;
        QTest::newRow("few levels at top") << 7 << 7 << true << 7;
        QTest::newRow("large range") << 120000 << 120000 << false << 112500;
        QTest::newRow("no range") << 0 << 0 << true << 0;
    }
    void brightnessSteps()
    {
        QFETCH(int, current);
        QFETCH(int, maximum);
        QFETCH(bool, up);
        QFETCH(int, result);
        QCOMPARE(FreedesktopSessionControls::brightnessStep(current, maximum, up), result);
    }
};

int runPlatformServicesTests(int argc, char** argv)
{
    PlatformServicesTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "PlatformServicesTest.moc"
