#include "actions/ActionExecutor.h"

#include "actions/CoreAudioVolumeManager.h"
#include "actions/ShortcutsManager.h"
#include "common/Log.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcExecutor, "rondix.executor")

namespace {

template<class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
template<class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

std::optional<SessionControls::Control> sessionControlFor(SystemControlAction action)
{
    using C = SessionControls::Control;
    switch (action) {
    case SystemControlAction::missionControl:
        return C::Overview;
    case SystemControlAction::showDesktop:
        return C::ShowDesktop;
    case SystemControlAction::brightnessUp:
        return C::BrightnessUp;
    case SystemControlAction::brightnessDown:
        return C::BrightnessDown;
    case SystemControlAction::lockScreen:
        return C::Lock;
    case SystemControlAction::screenshotArea:
        return C::ScreenshotArea;
    case SystemControlAction::screenshotScreen:
        return C::ScreenshotScreen;
    case SystemControlAction::mediaPlayPause:
        return C::MediaPlayPause;
    case SystemControlAction::spotlight:
        return C::Launcher;
    case SystemControlAction::openFinder:
        return C::FileManager;
    case SystemControlAction::volumeUp:
    case SystemControlAction::volumeDown:
    case SystemControlAction::mute:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

ActionExecutor::ActionExecutor(Services services, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
{}

ActionExecutor& ActionExecutor::shared()
{
    static ActionExecutor* instance = [] {
        Platform& p = Platform::instance();
        Services s;
        s.keys = p.keys;
        s.windows = p.windows;
        s.clipboard = p.clipboard;
        s.opener = p.opener;
        s.desktopEntries = p.desktopEntries;
        s.session = p.session;
        s.volume = &CoreAudioVolumeManager::shared();
        s.shortcuts = &ShortcutsManager::shared();
        InputTrust* trust = p.trust;
        s.checkTrust = [trust] { return trust && trust->isTrusted(); };
        return new ActionExecutor(std::move(s), nullptr); // lives until the process ends
    }();
    return *instance;
}

void ActionExecutor::setTrustCheck(std::function<bool()> checkTrust, std::function<void()> requestTrust)
{
    m_services.checkTrust = std::move(checkTrust);
    m_services.requestTrust = std::move(requestTrust);
}

quint32 ActionExecutor::modifierMask(const KeyModifiers& m)
{
    quint32 mask = 0;
    if (m.command)
        mask |= ModifierMask::Command;
    if (m.option)
        mask |= ModifierMask::Option;
    if (m.control)
        mask |= ModifierMask::Control;
    if (m.shift)
        mask |= ModifierMask::Shift;
    return mask;
}

std::optional<QUrl> ActionExecutor::urlForText(const QString& text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QString lower = t.toLower();
    if (!lower.startsWith(QLatin1String("http://")) && !lower.startsWith(QLatin1String("https://")))
        t.prepend(QLatin1String("https://"));
    const QUrl url(t, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

QString ActionExecutor::expandPath(const QString& text, const QString& home)
{
    const QString t = text.trimmed();
    if (t == QLatin1String("~"))
        return home;
    if (t.startsWith(QLatin1String("~/")))
        return home + t.mid(1);
    return t;
}

bool ActionExecutor::isTrusted() const
{
    return m_services.checkTrust && m_services.checkTrust();
}

void ActionExecutor::execute(const ActionSlot& slot, const std::optional<RunningApp>& targetApp)
{
    if (!slot.isEnabled)
        return;
    std::visit(Overloaded{
                   [&](const ActionType::Shortcut& a) { executeShortcut(a, targetApp); },
                   [&](const ActionType::RunShortcut& a) {
                       if (m_services.shortcuts)
                           m_services.shortcuts->runShortcut(a.shortcutName);
                   },
                   [&](const ActionType::PasteText& a) { executePasteText(a.content, targetApp); },
                   [&](const ActionType::LaunchApp& a) { executeLaunchApp(a.bundleId, a.path); },
                   [&](const ActionType::OpenURL& a) { executeOpenURL(a.url); },
                   [&](const ActionType::OpenPath& a) { executeOpenPath(a.path); },
                   [&](const ActionType::SystemControl& a) { executeSystemControl(a.control); },
                   [&](const ActionType::None&) {},
               },
               slot.action.value);
}

bool ActionExecutor::isFocused(const RunningApp& target) const
{
    const std::optional<RunningApp> front = m_services.windows->frontmostApplication();
    if (front && target.window != 0 && front->window == target.window)
        return true;
    return front && target.window == 0 && target.pid > 0 && front->pid == target.pid;
}

// X11 cannot post to a process: keys go to the focused window, so the target
// is focused first. The window manager takes a moment to do that; the wait
// runs on the event loop, so the main thread never blocks for it, and the key
// goes out once the target has the keyboard. A target that never takes it
// (closed meanwhile, activation refused) gets nothing: posting anyway would
// type into whatever window happens to have the focus.
void ActionExecutor::postKeyTo(const std::optional<RunningApp>& target, quint16 keyCode, quint32 modifiers,
                               const QString& whenDropped)
{
    auto post = [this, keyCode, modifiers] {
        if (m_services.keys && !m_services.keys->postKey(keyCode, modifiers, kKeyHoldMs))
            qCDebug(lcExecutor) << "a key could not be posted"; // never which: it may be typed text
    };
    WindowSystem* windows = m_services.windows;
    if (!target || !windows || isFocused(*target)) {
        post();
        return;
    }
    windows->activate(*target);
    if (windows->hasKeyboardFocus(*target)) {
        post();
        return;
    }
    auto* poll = new QTimer(this);
    poll->setInterval(kFocusPollMs);
    QElapsedTimer waited, held;
    waited.start();
    held.start();
    connect(poll, &QTimer::timeout, this, [windows, target = *target, poll, waited, held, post, whenDropped]() mutable {
        const bool focused = windows->hasKeyboardFocus(target);
        // The ring's own overlay keeps the keyboard until its fade ends: the
        // target's time to take it counts from then, however long the fade
        // took on a busy machine.
        if (!focused && windows->isKeyboardHeldByRondix() && !held.hasExpired(kOwnHoldMaxMs)) {
            waited.restart();
            return;
        }
        if (!focused && !waited.hasExpired(kFocusWaitMs))
            return;
        poll->stop();
        poll->deleteLater();
        if (focused)
            post();
        else
            logLine(QStringLiteral("[ActionExecutor] ") + whenDropped);
    });
    poll->start();
}

void ActionExecutor::executeShortcut(const ActionType::Shortcut& shortcut,
                                     const std::optional<RunningApp>& targetApp)
{
    if (shortcut.key.isEmpty() && shortcut.keyCode == 0)
        return;
    if (!isTrusted()) {
        logLine(
            QStringLiteral("[ActionExecutor] Accessibility permission is missing! Requesting permission..."));
        if (m_services.requestTrust)
            m_services.requestTrust();
        return;
    }
    postKeyTo(targetApp, shortcut.keyCode, modifierMask(shortcut.modifiers),
              QStringLiteral("The target window did not take the keyboard; the shortcut was not sent."));
}

void ActionExecutor::executePasteText(const QString& text, const std::optional<RunningApp>& targetApp)
{
    if (text.isEmpty())
        return;
    if (m_services.clipboard)
        m_services.clipboard->setText(text);
    if (targetApp && m_services.windows)
        m_services.windows->activate(*targetApp);
    QTimer::singleShot(kPasteDelayMs, this, [this, targetApp] {
        if (isTrusted())
            postKeyTo(targetApp, kKeyCodeV, pasteModifiers(targetApp),
                      QStringLiteral("The target window did not take the keyboard; the text was not pasted "
                                     "and stays on the clipboard."));
    });
}

quint32 ActionExecutor::pasteModifiers(const std::optional<RunningApp>& target) const
{
    DesktopEntries* entries = m_services.desktopEntries;
    if (!target || !entries)
        return ModifierMask::Control;
    std::optional<DesktopEntry> entry;
    if (!target->desktopFile.isEmpty())
        entry = entries->entryForFile(target->desktopFile);
    if (!entry && !target->bundleId.isEmpty())
        entry = entries->entryForId(target->bundleId);
    if (entry && entry->categories.contains(QLatin1String("TerminalEmulator")))
        return ModifierMask::Control | ModifierMask::Shift;
    return ModifierMask::Control;
}

void ActionExecutor::executeLaunchApp(const QString& bundleId, const QString& path)
{
    DesktopEntries* entries = m_services.desktopEntries;
    if (!entries)
        return;
    std::optional<DesktopEntry> entry;
    if (!path.isEmpty() && QFileInfo::exists(path))
        entry = entries->entryForFile(path);
    if (!entry)
        entry = entries->entryForId(bundleId);
    if (!entry) {
        logLine(QStringLiteral("[ActionExecutor] Cannot locate application for ") + bundleId);
        return;
    }
    QString error;
    if (!entries->launch(*entry, &error))
        logLine(QStringLiteral("[ActionExecutor] Failed to launch application: ") + error);
}

void ActionExecutor::executeOpenURL(const QString& text)
{
    const std::optional<QUrl> url = urlForText(text);
    if (!url || !m_services.opener)
        return;
    m_services.opener->openUrl(*url);
}

void ActionExecutor::executeOpenPath(const QString& text)
{
    const QString path = expandPath(text, QDir::homePath());
    if (path.isEmpty() || !m_services.opener)
        return;
    const QFileInfo info(path);
    if (info.isDir())
        m_services.opener->openPath(path);
    else if (info.exists())
        m_services.opener->revealFile(path);
    else
        m_services.opener->openUrl(QUrl::fromLocalFile(path));
}

void ActionExecutor::executeSystemControl(SystemControlAction control)
{
    switch (control) {
    case SystemControlAction::volumeUp:
    case SystemControlAction::volumeDown:
        if (m_services.volume)
            m_services.volume->stepVolume(control == SystemControlAction::volumeUp);
        return;
    case SystemControlAction::mute:
        if (m_services.volume)
            m_services.volume->toggleMute();
        return;
    default:
        break;
    }
    const std::optional<SessionControls::Control> sessionControl = sessionControlFor(control);
    if (!sessionControl || !m_services.session)
        return;
    QString missing;
    if (!m_services.session->perform(*sessionControl, &missing))
        logLine(QStringLiteral("[ActionExecutor] Cannot perform %1: %2")
                    .arg(SystemControl::rawValue(control), missing));
}
