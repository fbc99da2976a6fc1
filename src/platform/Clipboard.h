#pragma once

#include <QObject>

// The clipboard that Ctrl+V pastes from.
class Clipboard : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setText(const QString& text) = 0;
    virtual QString text() = 0;
};
