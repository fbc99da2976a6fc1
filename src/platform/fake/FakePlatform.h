#pragma once

// Recording fakes of every platform service, for tests. Each fake records what
// was asked of it and lets the test drive its signals.

#include "platform/Platform.h"

#include <optional>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QStringList>

class FakeHotkeyGrabber : public HotkeyGrabber
{
    Q_OBJECT
public:
    using HotkeyGrabber::HotkeyGrabber;
    int grab(quint16 keyCode, quint32 modifiers) override;
    void ungrab() override;
    bool isGrabbed() const override { return m_grabbed; }
    void press() { if (m_grabbed) Q_EMIT activated(); }
    // The grab is gone, as when another client took the chord after a keymap change.
    void loseGrab(int status) { m_grabbed = false; Q_EMIT grabLost(status); }

    int refuseStatus = 0;  // non-zero: every grab is refused with this status
    int grabCalls = 0;
    int ungrabCalls = 0;
    quint16 keyCode = 0;
    quint32 modifiers = 0;

private:
    bool m_grabbed = false;
};

class FakeInputMonitor : public InputMonitor
{
    Q_OBJECT
public:
    using InputMonitor::InputMonitor;
    QPoint pointerPosition() const override { return pointer; }
    bool canReportKey(int vk) const override { return vk >= 0 && vk <= 127 && !missingKeys.contains(vk); }
    bool isPointerOverOwnWindow() const override { return overOwnWindow; }
    void pressKey(int virtualKeyCode, quint32 modifiers = 0);
    void pressButton(int button) { Q_EMIT buttonPressed(button, pointer); }
    // A new keymap without these keys (ring key codes).
    void changeKeymap(const QSet<int>& missing) { missingKeys = missing; Q_EMIT keymapChanged(); }

    QPoint pointer{700, 450};
    bool overOwnWindow = false;
    QSet<int> missingKeys;
    int keySelectionChanges = 0;
    int buttonSelectionChanges = 0;

protected:
    void applyKeySelection(bool) override { ++keySelectionChanges; }
    void applyButtonSelection(bool) override { ++buttonSelectionChanges; }
};

class FakeWindowSystem : public WindowSystem
{
    Q_OBJECT
public:
    using WindowSystem::WindowSystem;
    std::optional<RunningApp> frontmostApplication() override { return frontmost; }
    bool activate(const RunningApp& app) override;
    bool hasKeyboardFocus(const RunningApp& app) override
    {
        return frontmost && app.window != 0 && frontmost->window == app.window;
    }
    bool isCompositing() override { return compositing; }
    bool isKeyboardHeldByRondix() override { return heldByRondix; }
    // Makes `app` frontmost and announces it, as a window switch would.
    void switchTo(const RunningApp& app);

    std::optional<RunningApp> frontmost;
    bool compositing = true;
    bool heldByRondix = false;    // the ring's own surface still has the keyboard
    bool focusOnActivate = true;  // false: activation is asked for, the focus comes when switchTo() says
    QList<RunningApp> activated;
};

class FakeDesktopEntries : public DesktopEntries
{
    Q_OBJECT
public:
    using DesktopEntries::DesktopEntries;
    std::optional<DesktopEntry> entryForId(const QString& id) override;
    std::optional<DesktopEntry> entryForFile(const QString& path) override;
    QList<DesktopEntry> allApplications() override { return entries; }
    std::optional<DesktopEntry> defaultApplicationForType(const QString& mimeType) override
    {
        if (!defaultHandlers.contains(mimeType))
            return std::nullopt;
        return defaultHandlers.value(mimeType);
    }
    bool launch(const DesktopEntry& entry, QString* error) override;

    QList<DesktopEntry> entries;
    // MIME type -> the entry that opens it (listed in `entries` or not, as
    // a handler hidden from menus is not).
    QHash<QString, DesktopEntry> defaultHandlers;
    QList<DesktopEntry> launched;
    QString launchError;  // non-empty: launches fail with this reason
};

class FakeInputTrust : public InputTrust
{
    Q_OBJECT
public:
    using InputTrust::InputTrust;
    bool isTrusted() override { ++checks; return trusted; }
    QString missingReason() override { return trusted ? QString() : QStringLiteral("XTest missing"); }
    // An X11 session; while untrusted, XTest is what it lacks unless told otherwise.
    InputAccess access() override
    {
        if (accessOverride)
            return *accessOverride;
        return {InputAccess::Session::X11, trusted, true};
    }

    bool trusted = true;
    std::optional<InputAccess> accessOverride;
    int checks = 0;
};

class FakeKeyInjector : public KeyInjector
{
    Q_OBJECT
public:
    using KeyInjector::KeyInjector;
    struct Post
    {
        quint16 keyCode;
        quint32 modifiers;
        int holdMs;
        bool operator==(const Post&) const = default;
    };
    bool postKey(quint16 keyCode, quint32 modifiers, int holdMs) override
    {
        posts.append({keyCode, modifiers, holdMs});
        return !failPosts;
    }

    QList<Post> posts;
    bool failPosts = false;
};

class FakeClipboard : public Clipboard
{
    Q_OBJECT
public:
    using Clipboard::Clipboard;
    void setText(const QString& t) override { content = t; ++writes; }
    QString text() override { return content; }

    QString content;
    int writes = 0;
};

class FakeOpener : public Opener
{
    Q_OBJECT
public:
    using Opener::Opener;
    bool openUrl(const QUrl& url) override { urls.append(url); return true; }
    bool openPath(const QString& path) override { paths.append(path); return true; }
    bool revealFile(const QString& path) override { reveals.append(path); return true; }

    QList<QUrl> urls;
    QStringList paths;
    QStringList reveals;
};

class FakeMixer : public Mixer
{
    Q_OBJECT
public:
    using Mixer::Mixer;
    std::optional<float> volume() override { return available ? level : std::nullopt; }
    std::optional<bool> muted() override
    {
        return available ? std::optional<bool>(isMuted) : std::nullopt;
    }
    bool setVolume(float v) override;
    bool setMuted(bool m) override;

    bool available = true;       // false: no server / no default output
    std::optional<float> level = 0.5f;  // none: volume unreadable
    bool isMuted = false;
    QList<float> volumeWrites;
    QList<bool> muteWrites;
};

class FakeSoundPlayer : public SoundPlayer
{
    Q_OBJECT
public:
    using SoundPlayer::SoundPlayer;
    struct Play
    {
        QString what;  // file path or theme sound name
        int channel;   // -1 for theme sounds
        double volume;
    };
    bool playFile(const QString& path, int channel, double volume) override;
    bool playThemeSound(const QString& name, double volume) override;

    QList<Play> plays;
    QSet<QString> missingThemeSounds;
};

class FakeSessionControls : public SessionControls
{
    Q_OBJECT
public:
    using SessionControls::SessionControls;
    bool perform(Control control, QString* missing) override;

    QList<Control> performed;
    QSet<Control> unsupported;
};

class FakeLoginItem : public LoginItem
{
    Q_OBJECT
public:
    using LoginItem::LoginItem;
    bool registerItem(QString* error) override;
    bool unregisterItem(QString*) override { registered = false; ++unregisterCalls; return true; }
    bool isRegistered() override { return registered; }

    bool registered = false;
    bool failRegister = false;
    int registerCalls = 0;
    int unregisterCalls = 0;
};

// A platform made entirely of fakes, with typed access for tests.
class FakePlatform : public Platform
{
    Q_OBJECT
public:
    explicit FakePlatform(QObject* parent = nullptr);

    FakeHotkeyGrabber* fakeHotkeys;
    FakeInputMonitor* fakeInput;
    FakeWindowSystem* fakeWindows;
    FakeDesktopEntries* fakeDesktopEntries;
    FakeInputTrust* fakeTrust;
    FakeKeyInjector* fakeKeys;
    FakeClipboard* fakeClipboard;
    FakeOpener* fakeOpener;
    FakeMixer* fakeMixer;
    FakeSoundPlayer* fakeSounds;
    FakeSessionControls* fakeSession;
    FakeLoginItem* fakeLoginItem;
};
