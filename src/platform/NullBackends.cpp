// Backends that do nothing, for services this session cannot provide. Every
// call fails politely so that callers take their documented fallbacks.
#include "platform/Platform.h"
#include "platform/PlatformLoader.h"
#include "platform/WindowRingSurface.h"

namespace {

class NullHotkeyGrabber : public HotkeyGrabber
{
public:
    using HotkeyGrabber::HotkeyGrabber;
    int grab(quint16, quint32) override { return -1; }
    void ungrab() override {}
    bool isGrabbed() const override { return false; }
};

class NullInputMonitor : public InputMonitor
{
public:
    using InputMonitor::InputMonitor;
    QPoint pointerPosition() const override { return {}; }

protected:
    void applyKeySelection(bool) override {}
    void applyButtonSelection(bool) override {}
};

class NullWindowSystem : public WindowSystem
{
public:
    using WindowSystem::WindowSystem;
    std::optional<RunningApp> frontmostApplication() override { return std::nullopt; }
    bool activate(const RunningApp&) override { return false; }
    bool hasKeyboardFocus(const RunningApp&) override { return false; }
    bool isCompositing() override { return true; }
};

class NullDesktopEntries : public DesktopEntries
{
public:
    using DesktopEntries::DesktopEntries;
    std::optional<DesktopEntry> entryForId(const QString&) override { return std::nullopt; }
    std::optional<DesktopEntry> entryForFile(const QString&) override { return std::nullopt; }
    QList<DesktopEntry> allApplications() override { return {}; }
    std::optional<DesktopEntry> defaultApplicationForType(const QString&) override { return std::nullopt; }
    bool launch(const DesktopEntry&, QString* error) override
    {
        if (error)
            *error = QStringLiteral("launching applications is not available in this session");
        return false;
    }
};

class NullInputTrust : public InputTrust
{
public:
    using InputTrust::InputTrust;
    bool isTrusted() override { return false; }
    QString missingReason() override { return QStringLiteral("no X11 display with XTest and XInput 2.2"); }
};

class NullKeyInjector : public KeyInjector
{
public:
    using KeyInjector::KeyInjector;
    bool postKey(quint16, quint32, int) override { return false; }
};

class NullClipboard : public Clipboard
{
public:
    using Clipboard::Clipboard;
    void setText(const QString& text) override { m_text = text; }
    QString text() override { return m_text; }

private:
    QString m_text;
};

class NullOpener : public Opener
{
public:
    using Opener::Opener;
    bool openUrl(const QUrl&) override { return false; }
    bool openPath(const QString&) override { return false; }
    bool revealFile(const QString&) override { return false; }
};

class NullMixer : public Mixer
{
public:
    using Mixer::Mixer;
    std::optional<float> volume() override { return std::nullopt; }
    std::optional<bool> muted() override { return std::nullopt; }
    bool setVolume(float) override { return false; }
    bool setMuted(bool) override { return false; }
};

class NullSoundPlayer : public SoundPlayer
{
public:
    using SoundPlayer::SoundPlayer;
    bool playFile(const QString&, int, double) override { return false; }
    bool playThemeSound(const QString&, double) override { return false; }
};

class NullSessionControls : public SessionControls
{
public:
    using SessionControls::SessionControls;
    bool perform(Control, QString* missing) override
    {
        if (missing)
            *missing = QStringLiteral("no desktop session services");
        return false;
    }
};

class NullLoginItem : public LoginItem
{
public:
    using LoginItem::LoginItem;
    bool registerItem(QString* error) override
    {
        if (error)
            *error = QStringLiteral("not available");
        return false;
    }
    bool unregisterItem(QString*) override { return true; }
    bool isRegistered() override { return false; }
};

template<typename Null, typename Service>
void fill(Service*& slot, Platform& p)
{
    if (!slot)
        slot = new Null(&p);
}

} // namespace

void installNullBackends(Platform& p)
{
    fill<NullHotkeyGrabber>(p.hotkeys, p);
    fill<NullInputMonitor>(p.input, p);
    fill<NullWindowSystem>(p.windows, p);
    fill<NullDesktopEntries>(p.desktopEntries, p);
    fill<NullInputTrust>(p.trust, p);
    fill<NullKeyInjector>(p.keys, p);
    fill<NullClipboard>(p.clipboard, p);
    fill<NullOpener>(p.opener, p);
    fill<NullMixer>(p.mixer, p);
    fill<NullSoundPlayer>(p.sounds, p);
    fill<NullSessionControls>(p.session, p);
    fill<NullLoginItem>(p.loginItem, p);
    // The ring in a plain window: what any session can show. It lives until
    // the process ends, as the ring panel does.
    if (!p.ringSurface)
        p.ringSurface = new WindowRingSurface(p.input, p.windows, nullptr);
}
