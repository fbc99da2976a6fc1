#pragma once

// The Wayland tests' hands and windows: rondix_wl_input (the compositor's
// virtual or fake input, one line per action) and rondix_wl_target (a Qt
// window under an app id, reporting keys, text and activation).
#include <QPoint>
#include <QProcess>
#include <QTest>

namespace WaylandTest {

inline const QString kInput = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix_wl_input");
inline const QString kTarget = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix_wl_target");
constexpr int kKeyEsc = 1, kKeyLeftCtrl = 29, kKeyLeftAlt = 56, kKeySpace = 57, kKeyR = 19;
constexpr int kBtnLeft = 0x110;

class Input
{
public:
    bool start(int width = 1280, int height = 800)
    {
        m_process.start(kInput, {QString::number(width), QString::number(height)});
        return m_process.waitForStarted() &&
               QTest::qWaitFor([&] { return m_process.readAllStandardOutput().contains("ready"); }, 5000);
    }
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    // One line, answered once the compositor has it.
    bool send(const QString& line)
    {
        m_process.write(line.toUtf8() + '\n');
        QByteArray answer;
        const bool ok = QTest::qWaitFor(
            [&] { return (answer += m_process.readAllStandardOutput()).contains('\n'); }, 3000);
        return ok && answer.startsWith("ok");
    }
    bool move(QPoint p) { return send(QStringLiteral("move %1 %2").arg(p.x()).arg(p.y())); }
    bool click(int button = kBtnLeft)
    {
        return send(QStringLiteral("down %1").arg(button)) && send(QStringLiteral("up %1").arg(button));
    }
    bool key(int code) { return send(QStringLiteral("key %1").arg(code)); }
    // The modifiers held down around the key, as a hand presses a chord.
    bool chord(const QList<int>& modifiers, int key)
    {
        for (int m : modifiers)
            if (!send(QStringLiteral("keydown %1").arg(m)))
                return false;
        bool ok = this->key(key);
        for (int m : modifiers)
            ok = send(QStringLiteral("keyup %1").arg(m)) && ok;
        return ok;
    }

private:
    QProcess m_process;
};

// One Qt window under an app id, reporting keys, text and whether it is active.
struct Target
{
    QString appId;
    QProcess process;
    QStringList keys;
    QString text;
    bool ready = false, active = false;
    QByteArray partial;

    bool start(const QString& id, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        appId = id;
        process.setProcessEnvironment(env);
        process.start(kTarget, {id});
        return process.waitForStarted() && QTest::qWaitFor([&] { return (read(), ready); }, 5000);
    }
    void stop()
    {
        process.kill();
        process.waitForFinished(3000);
    }
    void read()
    {
        partial += process.readAllStandardOutput();
        qsizetype end;
        while ((end = partial.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(partial.left(end));
            partial.remove(0, end + 1);
            if (line.startsWith(QLatin1String("KEY:")))
                keys << line.mid(4);
            else if (line.startsWith(QLatin1String("TEXT:")))
                text = line.mid(5);
            else if (line.startsWith(QLatin1String("ACTIVE:")))
                active = line.mid(7) == QLatin1String("1");
            else if (line == QLatin1String("READY"))
                ready = true;
        }
    }
};

} // namespace WaylandTest
