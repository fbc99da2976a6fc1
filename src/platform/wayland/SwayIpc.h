#pragma once

#include <optional>
#include <QByteArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QObject>

// sway's IPC socket ($SWAYSOCK): commands, and the binding events that
// Rondix's own key and button bindings produce.
class SwayIpc : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 kRunCommand = 0;
    static constexpr quint32 kSubscribe = 2;
    static constexpr quint32 kBindingEvent = 0x80000005;
    static constexpr int kReplyTimeoutMs = 2000;

    // Connects to $SWAYSOCK; none when sway does not answer.
    static std::unique_ptr<SwayIpc> open();
    ~SwayIpc() override;

    // Runs one command line; true when sway reports every command as done.
    // `error` gets sway's reason otherwise.
    bool runCommand(const QString& command, QString* error = nullptr);

    // One message in the IPC framing.
    static QByteArray encode(quint32 type, const QByteArray& payload);
    // Takes one whole message off the front of `buffer`; none while incomplete.
    static std::optional<std::pair<quint32, QByteArray>> decode(QByteArray& buffer);
    // The command of a binding event ("nop rondix-summon"); empty for anything else.
    static QString bindingCommand(const QByteArray& payload);

Q_SIGNALS:
    // A binding whose command is `command` ran.
    void bindingRan(const QString& command);

private:
    SwayIpc() = default;
    std::optional<QByteArray> request(quint32 type, const QByteArray& payload);
    void readEvents();

    QLocalSocket m_commands;
    QLocalSocket m_events;
    QByteArray m_eventBuffer;
};
