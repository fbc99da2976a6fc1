#include "platform/wayland/SwayIpc.h"

#include "platform/wayland/WaylandConnection.h"

#include <cstring>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>

namespace {
const QByteArray kMagic("i3-ipc");
constexpr int kHeaderSize = 6 + 4 + 4;
} // namespace

QByteArray SwayIpc::encode(quint32 type, const QByteArray& payload)
{
    QByteArray out = kMagic;
    const quint32 length = quint32(payload.size());
    // Native byte order, as sway reads it.
    out.append(reinterpret_cast<const char*>(&length), 4);
    out.append(reinterpret_cast<const char*>(&type), 4);
    out.append(payload);
    return out;
}

std::optional<std::pair<quint32, QByteArray>> SwayIpc::decode(QByteArray& buffer)
{
    if (buffer.size() < kHeaderSize)
        return std::nullopt;
    if (!buffer.startsWith(kMagic)) {
        buffer.clear(); // out of step: nothing after this can be trusted
        return std::nullopt;
    }
    quint32 length = 0, type = 0;
    memcpy(&length, buffer.constData() + 6, 4);
    memcpy(&type, buffer.constData() + 10, 4);
    if (quint64(buffer.size()) < quint64(kHeaderSize) + length)
        return std::nullopt;
    QByteArray payload = buffer.mid(kHeaderSize, qsizetype(length));
    buffer.remove(0, kHeaderSize + qsizetype(length));
    return std::make_pair(type, payload);
}

QString SwayIpc::bindingCommand(const QByteArray& payload)
{
    const QJsonObject event = QJsonDocument::fromJson(payload).object();
    if (event.value(QLatin1String("change")).toString() != QLatin1String("run"))
        return {};
    return event.value(QLatin1String("binding")).toObject().value(QLatin1String("command")).toString();
}

std::unique_ptr<SwayIpc> SwayIpc::open()
{
    const QString path = qEnvironmentVariable("SWAYSOCK");
    if (path.isEmpty())
        return nullptr;
    std::unique_ptr<SwayIpc> ipc(new SwayIpc);
    ipc->m_commands.connectToServer(path);
    ipc->m_events.connectToServer(path);
    if (!ipc->m_commands.waitForConnected(kReplyTimeoutMs) || !ipc->m_events.waitForConnected(kReplyTimeoutMs))
        return nullptr;
    // Binding events come on their own socket, so command replies never mix with them.
    ipc->m_events.write(encode(kSubscribe, QByteArrayLiteral("[\"binding\"]")));
    ipc->m_events.flush();
    connect(&ipc->m_events, &QLocalSocket::readyRead, ipc.get(), &SwayIpc::readEvents);
    return ipc;
}

SwayIpc::~SwayIpc() = default;

std::optional<QByteArray> SwayIpc::request(quint32 type, const QByteArray& payload)
{
    if (m_commands.state() != QLocalSocket::ConnectedState)
        return std::nullopt;
    m_commands.write(encode(type, payload));
    m_commands.flush();
    QByteArray buffer;
    QElapsedTimer timer;
    timer.start();
    while (!timer.hasExpired(kReplyTimeoutMs)) {
        if (m_commands.bytesAvailable() == 0 && !m_commands.waitForReadyRead(50)) {
            if (m_commands.state() != QLocalSocket::ConnectedState)
                return std::nullopt;
            continue;
        }
        buffer += m_commands.readAll();
        if (auto message = decode(buffer))
            return message->second;
    }
    return std::nullopt;
}

bool SwayIpc::runCommand(const QString& command, QString* error)
{
    const std::optional<QByteArray> reply = request(kRunCommand, command.toUtf8());
    if (!reply) {
        if (error)
            *error = QStringLiteral("sway did not answer");
        return false;
    }
    const QJsonArray results = QJsonDocument::fromJson(*reply).array();
    if (results.isEmpty()) {
        if (error)
            *error = QStringLiteral("sway sent no result");
        return false;
    }
    for (const QJsonValue& r : results) {
        const QJsonObject o = r.toObject();
        if (!o.value(QLatin1String("success")).toBool()) {
            if (error)
                *error = o.value(QLatin1String("error")).toString();
            return false;
        }
    }
    return true;
}

void SwayIpc::readEvents()
{
    m_eventBuffer += m_events.readAll();
    while (auto message = decode(m_eventBuffer)) {
        if (message->first != kBindingEvent)
            continue; // the reply to the subscription
        const QString command = bindingCommand(message->second);
        if (!command.isEmpty())
            Q_EMIT bindingRan(command);
    }
}
