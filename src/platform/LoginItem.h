#pragma once

#include <QObject>

// Starting Rondix at login (the autostart desktop file).
class LoginItem : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool registerItem(QString* error) = 0;
    virtual bool unregisterItem(QString* error) = 0;
    virtual bool isRegistered() = 0;
};
