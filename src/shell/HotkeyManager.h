#pragma once

#include "shell/SavedHotkey.h"

#include <functional>
#include <optional>
#include <QMetaObject>
#include <QObject>

class HotkeyGrabber;
class InputMonitor;
struct RawKeyEvent;

// The one global shortcut that summons the ring. The chord is grabbed on the
// root window; when another client holds it, raw key events stand in for the
// grab (selected only while that fallback is active and the chord's key is on
// the keyboard).
class HotkeyManager : public QObject
{
    Q_OBJECT
public:
    HotkeyManager(HotkeyGrabber* grabber, InputMonitor* input, QObject* parent = nullptr);
    ~HotkeyManager() override;

    static HotkeyManager& shared();

    // Called on the main thread, queued, once per press.
    std::function<void()> onTrigger;

    std::optional<SavedHotkey> currentHotkey() const { return m_current; }

    void startListening();
    void stopListening();
    void setCustomHotkey(quint32 keyCode, quint32 carbonModifiers, const QString& displayString);
    void clearHotkey();

    bool isGrabbed() const;
    bool isFallbackActive() const { return m_fallbackActive; }

Q_SIGNALS:
    void currentHotkeyChanged();

private:
    void loadSavedHotkey();
    void registerHotkey(const SavedHotkey& hotkey);
    void setupFallbackMonitor(const SavedHotkey& hotkey);
    void onRawKey(const RawKeyEvent& event);
    void onGrabLost(int status);
    void onKeymapChanged();
    // Whether a press of the hotkey can reach the fallback at all.
    bool canMatch(const SavedHotkey& hotkey) const;
    void logRegistrationStatus(int status);
    void deliverTrigger();

    HotkeyGrabber* m_grabber;
    InputMonitor* m_input;
    std::optional<SavedHotkey> m_current;
    bool m_fallbackActive = false;
    bool m_keysAcquired = false;
    SavedHotkey m_fallbackHotkey;
    QMetaObject::Connection m_fallbackConnection;
};
