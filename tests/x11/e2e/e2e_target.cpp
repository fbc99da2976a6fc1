// The window the end-to-end test acts on: a line edit that prints its text on
// every change, so the test sees pasted text without reading the screen.
#include <QApplication>
#include <QLineEdit>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rondix-e2e-target"));
    QLineEdit edit;
    edit.setWindowTitle(QStringLiteral("Rondix E2E Target"));
    edit.setMinimumWidth(400);
    QObject::connect(&edit, &QLineEdit::textChanged, [](const QString& text) {
        QTextStream out(stdout);
        out << "TEXT:" << text << Qt::endl;
    });
    edit.move(40, 40);
    edit.show();
    QTextStream(stdout) << "READY" << Qt::endl;
    return app.exec();
}
