#pragma once

#include <QObject>

// Whether Rondix may read global input and post keys on this session.
class InputTrust : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isTrusted() = 0;
    // What is missing, in a few words for the permission guide; empty when trusted.
    virtual QString missingReason() = 0;
};
