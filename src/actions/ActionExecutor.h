#pragma once

#include "model/ActionModel.h"
#include "platform/PlatformTypes.h"

#include <functional>
#include <optional>
#include <QObject>

class Clipboard;
class CoreAudioVolumeManager;
class DesktopEntries;
class KeyInjector;
class Opener;
class SessionControls;
class ShortcutsManager;
class WindowSystem;

// Performs the action of one ring slot against the application that was
// frontmost when the ring was summoned. No user text ever reaches a shell.
class ActionExecutor : public QObject
{
    Q_OBJECT
public:
    static constexpr int kKeyHoldMs = 15;
    static constexpr int kPasteDelayMs = 160;
    // How long a key waits, on the event loop, for its target to take the keyboard.
    static constexpr int kFocusWaitMs = 150;
    // That wait starts once Rondix's own surface lets the keyboard go (the
    // ring's overlay on Wayland ends after its fade); it holds it this long at most.
    static constexpr int kOwnHoldMaxMs = 2000;
    static constexpr int kFocusPollMs = 5;
    static constexpr quint16 kKeyCodeV = 9;

    struct Services
    {
        KeyInjector* keys = nullptr;
        WindowSystem* windows = nullptr;
        Clipboard* clipboard = nullptr;
        Opener* opener = nullptr;
        DesktopEntries* desktopEntries = nullptr;
        SessionControls* session = nullptr;
        CoreAudioVolumeManager* volume = nullptr;
        ShortcutsManager* shortcuts = nullptr;
        // Whether keys may be posted (asked without a prompt), and asking for it.
        std::function<bool()> checkTrust;
        std::function<void()> requestTrust;
    };

    explicit ActionExecutor(Services services, QObject* parent = nullptr);

    static ActionExecutor& shared();
    // The shell wires the permission manager in; until then input trust is asked directly.
    void setTrustCheck(std::function<bool()> checkTrust, std::function<void()> requestTrust);

    void execute(const ActionSlot& slot, const std::optional<RunningApp>& targetApp);

    // ModifierMask bits for the four flags.
    static quint32 modifierMask(const KeyModifiers& modifiers);
    // The address a typed URL text opens; none for blank or malformed text.
    static std::optional<QUrl> urlForText(const QString& text);
    // A typed path with a leading tilde expanded; empty for blank text.
    static QString expandPath(const QString& text, const QString& home);

private:
    void executeShortcut(const ActionType::Shortcut& shortcut, const std::optional<RunningApp>& targetApp);
    void executePasteText(const QString& text, const std::optional<RunningApp>& targetApp);
    void executeLaunchApp(const QString& bundleId, const QString& path);
    void executeOpenURL(const QString& text);
    void executeOpenPath(const QString& text);
    void executeSystemControl(SystemControlAction control);
    bool isFocused(const RunningApp& target) const;
    // Posts the key once the target has the keyboard; when it never gets it,
    // nothing is posted and `whenDropped` is logged.
    void postKeyTo(const std::optional<RunningApp>& target, quint16 keyCode, quint32 modifiers,
                   const QString& whenDropped);
    // Ctrl+V, or Ctrl+Shift+V for a terminal, where Ctrl+V types a literal ^V.
    quint32 pasteModifiers(const std::optional<RunningApp>& target) const;
    bool isTrusted() const;

    Services m_services;
};
