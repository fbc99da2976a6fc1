#include "platform/fake/FakePlatform.h"

#include "platform/PlatformLoader.h"

int FakeHotkeyGrabber::grab(quint16 code, quint32 mods)
{
    ++grabCalls;
    m_grabbed = false;
    if (refuseStatus != 0)
        return refuseStatus;
    keyCode = code;
    modifiers = mods;
    m_grabbed = true;
    return 0;
}

void FakeHotkeyGrabber::ungrab()
{
    ++ungrabCalls;
    m_grabbed = false;
}

void FakeInputMonitor::pressKey(int virtualKeyCode, quint32 modifiers)
{
    if (!keysSelected())
        return;  // nothing is delivered unless someone selected key events
    RawKeyEvent e;
    e.virtualKeyCode = virtualKeyCode;
    e.modifiers = modifiers;
    Q_EMIT keyPressed(e);
}

bool FakeWindowSystem::activate(const RunningApp& app)
{
    activated.append(app);
    if (focusOnActivate)
        frontmost = app;
    return true;
}

void FakeWindowSystem::switchTo(const RunningApp& app)
{
    frontmost = app;
    Q_EMIT frontmostApplicationChanged(app);
}

std::optional<DesktopEntry> FakeDesktopEntries::entryForId(const QString& id)
{
    for (const auto& e : entries)
        if (e.id == id)
            return e;
    return std::nullopt;
}

std::optional<DesktopEntry> FakeDesktopEntries::entryForFile(const QString& path)
{
    for (const auto& e : entries)
        if (e.path == path)
            return e;
    return std::nullopt;
}

bool FakeDesktopEntries::launch(const DesktopEntry& entry, QString* error)
{
    if (!launchError.isEmpty()) {
        if (error)
            *error = launchError;
        return false;
    }
    launched.append(entry);
    return true;
}

bool FakeMixer::setVolume(float v)
{
    if (!available)
        return false;
    volumeWrites.append(v);
    if (level)
        level = v;
    Q_EMIT changed();
    return true;
}

bool FakeMixer::setMuted(bool m)
{
    if (!available)
        return false;
    muteWrites.append(m);
    isMuted = m;
    Q_EMIT changed();
    return true;
}

bool FakeSoundPlayer::playFile(const QString& path, int channel, double volume)
{
    plays.append({path, channel, volume});
    return true;
}

bool FakeSoundPlayer::playThemeSound(const QString& name, double volume)
{
    if (missingThemeSounds.contains(name))
        return false;
    plays.append({name, -1, volume});
    return true;
}

bool FakeSessionControls::perform(Control control, QString* missing)
{
    if (unsupported.contains(control)) {
        if (missing)
            *missing = QStringLiteral("fake session lacks this control");
        return false;
    }
    performed.append(control);
    return true;
}

bool FakeLoginItem::registerItem(QString* error)
{
    ++registerCalls;
    if (failRegister) {
        if (error)
            *error = QStringLiteral("refused");
        return false;
    }
    registered = true;
    return true;
}

FakePlatform::FakePlatform(QObject* parent)
    : Platform(parent)
{
    hotkeys = fakeHotkeys = new FakeHotkeyGrabber(this);
    input = fakeInput = new FakeInputMonitor(this);
    windows = fakeWindows = new FakeWindowSystem(this);
    desktopEntries = fakeDesktopEntries = new FakeDesktopEntries(this);
    trust = fakeTrust = new FakeInputTrust(this);
    keys = fakeKeys = new FakeKeyInjector(this);
    clipboard = fakeClipboard = new FakeClipboard(this);
    opener = fakeOpener = new FakeOpener(this);
    mixer = fakeMixer = new FakeMixer(this);
    sounds = fakeSounds = new FakeSoundPlayer(this);
    session = fakeSession = new FakeSessionControls(this);
    loginItem = fakeLoginItem = new FakeLoginItem(this);
    backendName = QStringLiteral("fake");
}

void installFakeBackends(Platform& p)
{
    auto* f = new FakePlatform(&p);
    p.hotkeys = f->hotkeys;
    p.input = f->input;
    p.windows = f->windows;
    p.desktopEntries = f->desktopEntries;
    p.trust = f->trust;
    p.keys = f->keys;
    p.clipboard = f->clipboard;
    p.opener = f->opener;
    p.mixer = f->mixer;
    p.sounds = f->sounds;
    p.session = f->session;
    p.loginItem = f->loginItem;
}
