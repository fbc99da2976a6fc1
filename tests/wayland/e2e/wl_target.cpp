// A window the ring acts on, on Wayland: a line edit under the app id given
// as the first argument. It prints "KEY:<chord>" for every key press,
// "TEXT:<text>" on every change and "ACTIVE:1" / "ACTIVE:0" when it becomes
// the active window or stops being it, so the test sees keys, pasted text and
// where the focus is.
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QTextStream>

namespace {
class Edit : public QLineEdit
{
protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!event->isAutoRepeat() && event->key() != Qt::Key_Control && event->key() != Qt::Key_Shift &&
            event->key() != Qt::Key_Alt && event->key() != Qt::Key_Meta)
            QTextStream(stdout) << "KEY:" << QKeySequence(event->keyCombination()).toString(QKeySequence::PortableText)
                                << Qt::endl;
        QLineEdit::keyPressEvent(event);
    }
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::ActivationChange)
            QTextStream(stdout) << "ACTIVE:" << int(isActiveWindow()) << Qt::endl;
        QLineEdit::changeEvent(event);
    }
};
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString appId = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("org.rondix.WaylandTarget");
    QGuiApplication::setDesktopFileName(appId);
    Edit edit;
    edit.setWindowTitle(appId);
    QObject::connect(&edit, &QLineEdit::textChanged,
                     [](const QString& text) { QTextStream(stdout) << "TEXT:" << text << Qt::endl; });
    edit.show();
    QTextStream(stdout) << "READY" << Qt::endl;
    return app.exec();
}
