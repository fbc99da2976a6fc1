// Ring files handed to a running Rondix over the real session bus: a hostile
// file is answered with an error reply, quickly and without a memory spike,
// and Rondix keeps running, answering and its rings untouched.
#include "RingDocuments.h"
#include "RondixHome.h"

#include <QtDBus>
#include <QtTest>

namespace {
// Peak resident memory of a process so far, in KiB.
qint64 peakOfProcessKiB(qint64 pid)
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

    RondixHome m_home;
    QProcess m_rondix;

    static QDBusMessage importRingFile(const QString& path)
    {
        return RondixHome::call(QStringLiteral("ImportRingFile"), {path});
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !QDBusConnection::sessionBus().isConnected())
            QSKIP("needs the X11 test session (tests/session/run-session)");
        QVERIFY(!RondixHome::onBus());
        QVERIFY(m_home.writeSettings());
        QVERIFY(writeFile(m_home.storePath(), encodeRingProfiles({PresetProfiles::globalDefault()})));
        QVERIFY(!m_home.launch(m_rondix).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(RondixHome::answers(), 5000);
    }

    void cleanupTestCase() { RondixHome::stop(m_rondix); }

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
        const qsizetype room = limit - withExtraMember("").size();
        QTest::newRow("4 MiB of nesting")
            << withExtraMember(QByteArray(room, '[')) << "The data is too complex to decode: line 1, column ";
        QTest::newRow("4 MiB of numbers")
            << withExtraMember("[" + QByteArray("0,").repeated(room / 2 - 1) + "]")
            << "The data is too complex to decode: line 1, column ";
        QTest::newRow("32 MiB of nesting")
            << withExtraMember(QByteArray(32 * 1024 * 1024, '[')) << "too large for a ring file";
        QTest::newRow("escape sequences in a value")
            << QByteArray("{\"id\": \"\\u001b]0;owned\\u0007\\u001b[2J\"}")
            << "id: not a valid UUID: \"\\x1B]0;owned\\x07\\x1B[2J\"";
    }

    void hostileFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const QString path = m_home.path(QStringLiteral("hostile.rondix"));
        QVERIFY(writeFile(path, bytes));
        const QByteArray before = m_home.store();
        const qint64 peakBefore = peakOfProcessKiB(m_rondix.processId());

        QElapsedTimer timer;
        timer.start();
        const QDBusMessage reply = importRingFile(path);
        const qint64 elapsed = timer.elapsed();
        qInfo("%s: answered in %lld ms, peak memory grew by %lld KiB", QTest::currentDataTag(), elapsed,
              peakOfProcessKiB(m_rondix.processId()) - peakBefore);

        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QVERIFY2(reply.errorMessage().contains(error), qPrintable(reply.errorMessage()));
        QVERIFY2(!reply.errorMessage().contains(QChar(0x1B)) && !reply.errorMessage().contains(QChar(7)),
                 qPrintable(reply.errorMessage()));
        // Refused within the time of a frame on a quiet machine; this allows for a busy one.
        QVERIFY2(elapsed < 1500, qPrintable(QString::number(elapsed)));
        QVERIFY(peakOfProcessKiB(m_rondix.processId()) - peakBefore < 24 * 1024);

        // The command line says the same; both leave Rondix running and its rings alone.
        const RondixHome::Result cli = m_home.run({QStringLiteral("ring"), QStringLiteral("import"), path});
        QCOMPARE(cli.status, 1);
        QVERIFY2(cli.err.contains(error) && !cli.err.contains(QChar(0x1B)), qPrintable(cli.err));
        QCOMPARE(m_rondix.state(), QProcess::Running);
        QVERIFY(RondixHome::answers());
        QCOMPARE(m_home.store(), before);
    }

    // A good ring still goes through, after all of the above.
    void goodFileAfterwards()
    {
        RingProfile ring = PresetProfiles::globalDefault();
        ring.bundleIdentifier = QStringLiteral("org.example.After");
        ring.name = QStringLiteral("After");
        const QString path = m_home.path(QStringLiteral("good.rondix"));
        QVERIFY(writeFile(path, encodeRingProfile(ring)));
        const QDBusReply<QString> reply = importRingFile(path);
        QVERIFY2(reply.isValid(), qPrintable(reply.error().message()));
        QCOMPARE(reply.value(), QStringLiteral("Added new ring \"After\" for org.example.After"));
        QTRY_VERIFY_WITH_TIMEOUT(m_home.store().contains("org.example.After"), 3000);
    }
};

QTEST_GUILESS_MAIN(TestRingImportX11)
#include "tst_ringimport_x11.moc"
