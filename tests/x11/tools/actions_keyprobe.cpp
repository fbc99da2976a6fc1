// A small client window for the actions tests. It prints one line per key
// press it receives ("press <Qt key> <modifier bits>") and one per change of
// its text field ("text <content>"), after "ready <window id>" once focused.
#include <cstdio>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {

void say(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class KeyLogger : public QObject
{
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const auto mods = key->modifiers() &
                              (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
            say(QStringLiteral("press %1 %2").arg(key->key()).arg(int(mods)));
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("actions keyprobe"));
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(&window);
    layout->addWidget(field);
    window.resize(400, 120);
    KeyLogger logger;
    field->installEventFilter(&logger);
    QObject::connect(field, &QLineEdit::textChanged,
                     [](const QString& t) { say(QStringLiteral("text ") + t); });
    window.show();
    window.activateWindow();
    field->setFocus();

    // Announce once the window really has the keyboard focus.
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (window.isActiveWindow() && field->hasFocus()) {
            poll->stop();
            say(QStringLiteral("ready %1").arg(window.winId()));
        } else {
            window.activateWindow();
        }
    });
    poll->start(50);
    return app.exec();
}
