#pragma once

// A real `rondix-market serve` on 127.0.0.1 for the tests: a key pair made by
// `rondix-market keygen` (or the build's own), packages made by
// `rondix-market sign`, a free port picked by the server itself.
#include "market/MarketProtocol.h"
#include "model/ModelJson.h"
#include "TestFiles.h"

#include <memory>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <signal.h>

class MarketTestServer
{
public:
    static QString tool() { return QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix-market"); }

    // Runs the tool to completion; returns its exit status (-1 when it did not finish).
    static int run(const QStringList& args, QByteArray* output = nullptr)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(tool(), args);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        if (output)
            *output = process.readAll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    MarketTestServer()
    {
        m_root = m_dir.filePath(QStringLiteral("root"));
        QDir().mkpath(m_root);
        QDir().mkpath(m_dir.filePath(QStringLiteral("src")));
    }
    ~MarketTestServer() { stop(); }

    bool makeKeys(const QString& name = QStringLiteral("keys"))
    {
        return run({QStringLiteral("keygen"), QStringLiteral("--out"), m_dir.filePath(name)}) == 0;
    }
    // `name` is a key folder made by makeKeys(), or an absolute folder.
    QString signingKey(const QString& name = QStringLiteral("keys")) const
    {
        return (QDir::isAbsolutePath(name) ? name : m_dir.filePath(name)) + QStringLiteral("/signing.key");
    }
    // The raw 32-byte public key.
    QByteArray publicKey(const QString& name = QStringLiteral("keys")) const
    {
        QFile file((QDir::isAbsolutePath(name) ? name : m_dir.filePath(name)) +
                   QStringLiteral("/verify.key"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QByteArray::fromBase64(file.readAll().trimmed());
    }

    static QJsonObject item(const QString& id, const QString& appName, const QString& bundleId,
                            const QString& version = QStringLiteral("1.0"))
    {
        return QJsonObject{{QStringLiteral("id"), id},
                           {QStringLiteral("app_name"), appName},
                           {QStringLiteral("bundle_id"), bundleId},
                           {QStringLiteral("version"), version},
                           {QStringLiteral("summary"), QString(QStringLiteral("Rings for ") + appName)},
                           {QStringLiteral("author"), QStringLiteral("Tests")}};
    }

    // A ring whose first slot, titled `title`, sends Ctrl+T.
    static QByteArray ringJson(const QString& name, const QString& title = QStringLiteral("First"),
                               const std::optional<QString>& bundleId = std::nullopt)
    {
        QList<ActionSlot> slots;
        for (int i = 0; i < 8; ++i)
            slots << ActionSlot::empty(i);
        slots[0].title = title;
        slots[0].isEnabled = true;
        slots[0].action = ActionType::shortcut(QStringLiteral("T"), 17, KeyModifiers{.control = true});
        return encodeRingProfile(
            RingProfile(QUuid::createUuid(), name, bundleId, std::nullopt, slots, false));
    }

    // Signs a ring for "org.example.<appName>" (see ringJson()) as item `id`.
    bool signRing(const QString& id, const QString& appName, const QString& title = QStringLiteral("First"),
                  const QString& keys = QStringLiteral("keys"),
                  const QString& version = QStringLiteral("1.0"))
    {
        return sign(item(id, appName, QStringLiteral("org.example.") + appName, version),
                    ringJson(appName, title), keys);
    }

    // Flips one bit in the middle of the package's "package" or "sig" member.
    bool tamper(const QString& id, const QString& member)
    {
        QJsonObject doc = QJsonDocument::fromJson(read(packagePath(id))).object();
        std::optional<QByteArray> bytes = MarketProtocol::decodeBase64Url(doc[member].toString().toLatin1());
        if (!bytes || bytes->isEmpty())
            return false;
        (*bytes)[bytes->size() / 2] = char((*bytes)[bytes->size() / 2] ^ 0x20);
        doc[member] = QString::fromLatin1(
            bytes->toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
        return write(packagePath(id), QJsonDocument(doc).toJson());
    }

    // Signs `ringJson` for `item` into the served folder.
    bool sign(const QJsonObject& item, const QByteArray& ringJson,
              const QString& keys = QStringLiteral("keys"))
    {
        const QString id = item.value(QStringLiteral("id")).toString();
        const QString ringPath = m_dir.filePath(QStringLiteral("src/%1.rondix").arg(id));
        const QString itemPath = m_dir.filePath(QStringLiteral("src/%1.item.json").arg(id));
        if (!write(ringPath, ringJson) || !write(itemPath, QJsonDocument(item).toJson()))
            return false;
        QByteArray output;
        const int status =
            run({QStringLiteral("sign"), QStringLiteral("--key"), signingKey(keys), QStringLiteral("--ring"),
                 ringPath, QStringLiteral("--item"), itemPath, QStringLiteral("--out"), m_root},
                &output);
        if (status != 0)
            qWarning() << "sign failed:" << output;
        return status == 0;
    }

    QString packagePath(const QString& id) const { return m_root + QStringLiteral("/%1.json").arg(id); }

    bool start(const QStringList& extra = {})
    {
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::SeparateChannels);
        m_process->start(tool(), QStringList{QStringLiteral("serve"), QStringLiteral("--root"), m_root,
                                             QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")} +
                                     extra);
        if (!m_process->waitForStarted(5000))
            return false;
        // "... on http://127.0.0.1:PORT"
        static const QRegularExpression bound(QStringLiteral("on http://127\\.0\\.0\\.1:(\\d+)"));
        QByteArray output;
        for (int i = 0; i < 100; ++i) {
            m_process->waitForReadyRead(100);
            output += m_process->readAllStandardOutput();
            const QRegularExpressionMatch match = bound.match(QString::fromUtf8(output));
            if (match.hasMatch()) {
                m_port = match.captured(1).toInt();
                return true;
            }
            if (m_process->state() != QProcess::Running)
                break;
        }
        qWarning() << "server did not start:" << output << m_process->readAllStandardError();
        return false;
    }

    void stop()
    {
        if (!m_process)
            return;
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished();
        }
        m_process.reset();
    }

    bool reload() { return m_process && ::kill(pid_t(m_process->processId()), SIGHUP) == 0; }
    bool isRunning() const { return m_process && m_process->state() == QProcess::Running; }
    QByteArray readLog() { return m_process ? m_process->readAllStandardOutput() : QByteArray(); }

    int port() const { return m_port; }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port)); }
    QString root() const { return m_root; }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    static bool write(const QString& path, const QByteArray& bytes) { return writeFile(path, bytes); }
    static QByteArray read(const QString& path) { return readFile(path); }

private:
    QTemporaryDir m_dir;
    QString m_root;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
};
