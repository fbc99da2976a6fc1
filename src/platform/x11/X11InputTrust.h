#pragma once

#include "platform/InputTrust.h"

class X11Connection;

// Reading global input and posting keys need XTest and XInput 2.2 on the display.
class X11InputTrust : public InputTrust
{
    Q_OBJECT
public:
    explicit X11InputTrust(X11Connection* conn, QObject* parent = nullptr)
        : InputTrust(parent)
        , m_conn(conn)
    {}

    bool isTrusted() override { return missingReason().isEmpty(); }
    QString missingReason() override;
    InputAccess access() override;

private:
    X11Connection* m_conn;
};
