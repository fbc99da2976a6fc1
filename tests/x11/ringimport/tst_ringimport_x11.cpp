// Ring files handed to a running Rondix over the real session bus: a hostile
// file is answered with an error reply, quickly and without a memory spike,
// and Rondix keeps running, answering and its rings untouched.
#include "model/ModelJson.h"
#include "model/RingProfile.h"

#include <QtDBus>
#include <QtTest>

namespace {
const QString kService = QStringLiteral("org.rondix.Rondix");
const QString kPath = QStringLiteral("/org/rondix/Rondix");
const QString kRondix = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix");

QByteArray corpusFile(const char* name)
{
    QFile f(QStringLiteral(RONDIX_SOURCE_DIR "/tests/fuzz/corpus/ring_json/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing test file");
}

// A ring file with one more member, "extra", holding `value`.
QByteArray ringWithExtra(const QByteArray& value)
{
    QByteArray ring = encodeRingProfile(PresetProfiles::globalDefault(), JsonLayout::Compact);
    ring.chop(1);
    return ring + ",\"extra\":" + value + "}";
}

// Peak resident memory of a process so far, in KiB.
qint64 peakMemoryKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}
} // namespace

class TestRingImportX11 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QProcessEnvironment m_env;
    QProcess m_rondix;

    QString storePath() const { return m_tmp.filePath(QStringLiteral("data/Rondix/profiles.json")); }
    QByteArray store() const
    {
        QFile f(storePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    static bool answers()
    {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("Get"))
                << kService << QStringLiteral("RingVisible"),
            QDBus::Block, 3000);
        return reply.type() == QDBusMessage::ReplyMessage;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !QDBusConnection::sessionBus().isConnected())
            QSKIP("needs the X11 test session (tests/session/run-session)");
        QVERIFY(m_tmp.isValid());
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kService));
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("HOME"), m_tmp.path());
        for (const char* dir : {"CONFIG", "DATA", "CACHE"})
            m_env.insert(QStringLiteral("XDG_%1_HOME").arg(QLatin1String(dir)),
                         m_tmp.filePath(QString::fromLatin1(dir).toLower()));
        m_env.remove(QStringLiteral("RONDIX_PLATFORM"));
        m_env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("config/Rondix"))));
        QVERIFY(writeFile(m_tmp.filePath(QStringLiteral("config/Rondix/Rondix.conf")),
                          "[General]\napp_language=en\nsoundEnabled=false\nhideDockIcon=true\n"));

        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("data/Rondix"))));
        QVERIFY(writeFile(storePath(), encodeRingProfiles({PresetProfiles::globalDefault()})));

        m_rondix.setProcessEnvironment(m_env);
        m_rondix.start(kRondix);
        QByteArray log;
        QVERIFY(QTest::qWaitFor(
            [&] {
                return (log += m_rondix.readAllStandardOutput())
                    .contains("Application launched successfully.");
            },
            10000));
        QTRY_VERIFY_WITH_TIMEOUT(answers(), 5000);
    }

    void cleanupTestCase()
    {
        m_rondix.terminate();
        if (!m_rondix.waitForFinished(5000)) {
            m_rondix.kill();
            m_rondix.waitForFinished(3000);
        }
    }

    void hostileFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const qsizetype limit = kRingJsonLimits.maxBytes;
        QTest::newRow("1e400 in a ring file")
            << corpusFile("number-overflow-in-ring.rondix")
            << "The data is not valid JSON: line 16, column 18: number overflow parsing '1e400'";
        QTest::newRow("a file holding only 2E621")
            << corpusFile("number-overflow-alone.json")
            << "The data is not valid JSON: line 1, column 5: number overflow parsing '2E621'";
        const qsizetype room = limit - ringWithExtra("").size();
        QTest::newRow("4 MiB of nesting")
            << ringWithExtra(QByteArray(room, '[')) << "The data is too complex to decode: line 1, column ";
        QTest::newRow("4 MiB of numbers")
            << ringWithExtra("[" + QByteArray("0,").repeated(room / 2 - 1) + "]")
            << "The data is too complex to decode: line 1, column ";
        QTest::newRow("32 MiB of nesting")
            << ringWithExtra(QByteArray(32 * 1024 * 1024, '[')) << "too large for a ring file";
        QTest::newRow("escape sequences in a value")
            << QByteArray("{\"id\": \"\\u001b]0;owned\\u0007\\u001b[2J\"}")
            << "id: not a valid UUID: \"\\x1B]0;owned\\x07\\x1B[2J\"";
    }

    void hostileFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const QString path = m_tmp.filePath(QStringLiteral("hostile.rondix"));
        QVERIFY(writeFile(path, bytes));
        const QByteArray before = store();
        const qint64 peakBefore = peakMemoryKiB(m_rondix.processId());

        QElapsedTimer timer;
        timer.start();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("ImportRingFile"))
                << path,
            QDBus::Block, 10000);
        const qint64 elapsed = timer.elapsed();
        qInfo("%s: answered in %lld ms, peak memory grew by %lld KiB", QTest::currentDataTag(), elapsed,
              peakMemoryKiB(m_rondix.processId()) - peakBefore);

        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QVERIFY2(reply.errorMessage().contains(error), qPrintable(reply.errorMessage()));
        QVERIFY2(!reply.errorMessage().contains(QChar(0x1B)) && !reply.errorMessage().contains(QChar(7)),
                 qPrintable(reply.errorMessage()));
        // Refused within the time of a frame on a quiet machine; this allows for a busy one.
        QVERIFY2(elapsed < 1500, qPrintable(QString::number(elapsed)));
        QVERIFY(peakMemoryKiB(m_rondix.processId()) - peakBefore < 24 * 1024);

        QCOMPARE(m_rondix.state(), QProcess::Running);
        QVERIFY(answers());
        QCOMPARE(store(), before);

        // The command line says the same and leaves Rondix running.
        QProcess cli;
        cli.setProcessEnvironment(m_env);
        cli.start(kRondix, {QStringLiteral("ring"), QStringLiteral("import"), path});
        QVERIFY(cli.waitForFinished(20000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 1);
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(err.contains(error) && !err.contains(QChar(0x1B)), qPrintable(err));
        QCOMPARE(m_rondix.state(), QProcess::Running);
        QVERIFY(answers());
        QCOMPARE(store(), before);
    }

    // A good ring still goes through, after all of the above.
    void goodFileAfterwards()
    {
        RingProfile ring = PresetProfiles::globalDefault();
        ring.bundleIdentifier = QStringLiteral("org.example.After");
        ring.name = QStringLiteral("After");
        const QString path = m_tmp.filePath(QStringLiteral("good.rondix"));
        QVERIFY(writeFile(path, encodeRingProfile(ring)));
        const QDBusReply<QString> reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("ImportRingFile"))
                << path,
            QDBus::Block, 10000);
        QVERIFY2(reply.isValid(), qPrintable(reply.error().message()));
        QCOMPARE(reply.value(), QStringLiteral("Added new ring \"After\" for org.example.After"));
        QTRY_VERIFY_WITH_TIMEOUT(store().contains("org.example.After"), 3000);
    }
};

QTEST_GUILESS_MAIN(TestRingImportX11)
#include "tst_ringimport_x11.moc"
