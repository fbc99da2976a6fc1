#pragma once

#include "platform/SessionCapabilities.h"

#include <QObject>

// What the session offers for reading global input and posting keys.
struct InputAccess
{
    enum class Session
    {
        X11,
        Wayland,
        None, // no display Rondix can reach
    };
    InputAccess() = default;
    InputAccess(Session session, bool hasXTest, bool hasXInput22, SessionCapabilities desktop = {})
        : session(session)
        , hasXTest(hasXTest)
        , hasXInput22(hasXInput22)
        , desktop(std::move(desktop))
    {}

    Session session = Session::None;
    bool hasXTest = false;
    bool hasXInput22 = false;
    // On Wayland: what this compositor lets Rondix do, as the tray says it.
    SessionCapabilities desktop;

    bool operator==(const InputAccess&) const = default;

    // The session this process runs in, judged from its environment
    // (WAYLAND_DISPLAY, XDG_SESSION_TYPE, DISPLAY) and the Qt platform.
    static Session sessionFromEnvironment();
};

// Whether Rondix may read global input and post keys on this session.
class InputTrust : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isTrusted() = 0;
    // What is missing, in a few words for the log; empty when trusted.
    virtual QString missingReason() = 0;
    // The parts behind the answer, for the permission guide. Backends that
    // cannot tell report the session with nothing present.
    virtual InputAccess access() { return {InputAccess::sessionFromEnvironment(), false, false}; }
};
