// A small client window for the actions and end-to-end tests. It prints one line per key
// press it receives ("press <Qt key> <modifier bits>") and one per change of
// its text field ("text <content>"), after "ready <window id>" once focused.
//   actions_keyprobe [--class <WM_CLASS class>] [--terminal]
// --terminal makes it paste the way terminals do: Ctrl+Shift+V pastes and
// Ctrl+V types a literal "^V".
#include <cstdio>
#include <QApplication>
#include <QClipboard>
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
public:
    bool terminal = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const auto mods = key->modifiers() &
                              (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
            say(QStringLiteral("press %1 %2").arg(key->key()).arg(int(mods)));
            auto* field = qobject_cast<QLineEdit*>(watched);
            if (terminal && field && key->key() == Qt::Key_V) {
                if (mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
                    field->insert(QGuiApplication::clipboard()->text());
                    return true;
                }
                if (mods == Qt::ControlModifier) {
                    field->insert(QStringLiteral("^V"));
                    return true;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    // The class part of WM_CLASS is the application name.
    if (const qsizetype i = args.indexOf(QStringLiteral("--class")); i > 0 && i + 1 < args.size())
        app.setApplicationName(args.at(i + 1));
    QWidget window;
    window.setWindowTitle(QStringLiteral("actions keyprobe"));
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(&window);
    layout->addWidget(field);
    window.resize(400, 120);
    KeyLogger logger;
    logger.terminal = args.contains(QStringLiteral("--terminal"));
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
