#include "platform/freedesktop/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void QtClipboard::setText(const QString& text)
{
    if (QClipboard* cb = QGuiApplication::clipboard())
        cb->setText(text, QClipboard::Clipboard);
}

QString QtClipboard::text()
{
    QClipboard* cb = QGuiApplication::clipboard();
    return cb ? cb->text(QClipboard::Clipboard) : QString();
}
