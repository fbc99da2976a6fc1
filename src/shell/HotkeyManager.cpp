#include "shell/HotkeyManager.h"

#include "common/AppSettings.h"
#include "common/Log.h"
#include "platform/Platform.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcHotkey, "rondix.hotkey")

HotkeyManager::HotkeyManager(HotkeyGrabber* grabber, InputMonitor* input, QObject* parent)
    : QObject(parent)
    , m_grabber(grabber)
    , m_input(input)
{
    // One connection for the manager's whole life: re-registering never adds a
    // second path for the same press.
    if (m_grabber) {
        connect(m_grabber, &HotkeyGrabber::activated, this, &HotkeyManager::deliverTrigger);
        connect(m_grabber, &HotkeyGrabber::grabLost, this, &HotkeyManager::onGrabLost);
    }
    if (m_input)
        connect(m_input, &InputMonitor::keymapChanged, this, &HotkeyManager::onKeymapChanged);
    loadSavedHotkey();
}

HotkeyManager::~HotkeyManager()
{
    stopListening();
}

HotkeyManager& HotkeyManager::shared()
{
    static HotkeyManager* instance = [] {
        Platform& p = Platform::instance();
        return new HotkeyManager(p.hotkeys, p.input);
    }();
    return *instance;
}

void HotkeyManager::loadSavedHotkey()
{
    const QVariant stored = AppSettings::value(SavedHotkey::settingsKey);
    if (stored.isValid()) {
        if (auto hk = SavedHotkey::fromJson(stored.toByteArray())) {
            m_current = *hk;
            return;
        }
        qCDebug(lcHotkey) << "stored hotkey does not decode";
    }
    if (AppSettings::boolValue(SavedHotkey::clearedKey, false)) {
        m_current.reset();
        return;
    }
    m_current = SavedHotkey::defaultOptionSpace();
    AppSettings::setValue(SavedHotkey::settingsKey, QString::fromUtf8(m_current->toJson()));
}

void HotkeyManager::startListening()
{
    if (!m_current) {
        logLine(QStringLiteral("[HotkeyManager] No custom hotkey configured. Idle until user defines one."));
        return;
    }
    registerHotkey(*m_current);
}

void HotkeyManager::registerHotkey(const SavedHotkey& hotkey)
{
    stopListening();
    int status = -1;
    if (hotkey.keyCode > 0xffff)
        status = 2; // BadValue: no key has such a code, and truncating it would grab another key
    else if (m_grabber)
        status = m_grabber->grab(quint16(hotkey.keyCode), hotkey.carbonModifiers);
    if (status != 0) {
        logRegistrationStatus(status);
        setupFallbackMonitor(hotkey);
        return;
    }
    logLine(QStringLiteral("[HotkeyManager] Successfully registered custom hotkey: ") + hotkey.displayString);
}

void HotkeyManager::logRegistrationStatus(int status)
{
    logLine(QStringLiteral("[HotkeyManager] Carbon hotkey registration returned %1.").arg(status));
}

bool HotkeyManager::canMatch(const SavedHotkey& hotkey) const
{
    return m_input && hotkey.keyCode <= 0xffff && m_input->canReportKey(int(hotkey.keyCode));
}

void HotkeyManager::setupFallbackMonitor(const SavedHotkey& hotkey)
{
    if (!m_input)
        return;
    m_fallbackHotkey = hotkey;
    m_fallbackActive = true;
    m_fallbackConnection = connect(m_input, &InputMonitor::keyPressed, this, &HotkeyManager::onRawKey);
    // Every key the user types would be read for a chord that cannot come:
    // the keys are selected only once the keymap has the chord's key.
    if (canMatch(hotkey)) {
        m_input->acquireKeys(this);
        m_keysAcquired = true;
    }
}

void HotkeyManager::onGrabLost(int status)
{
    if (!m_current || m_fallbackActive)
        return;
    // Another client took the chord while a keymap change had it away from us.
    logRegistrationStatus(status);
    setupFallbackMonitor(*m_current);
}

void HotkeyManager::onKeymapChanged()
{
    if (!m_fallbackActive)
        return; // a held grab follows the keymap by itself
    const bool can = canMatch(m_fallbackHotkey);
    if (can == m_keysAcquired)
        return;
    if (can) {
        // The key is back: the chord may be free now, which spares reading
        // every key; the raw keys come back when it is not.
        const SavedHotkey hotkey = m_fallbackHotkey;
        registerHotkey(hotkey);
        return;
    }
    m_input->releaseKeys(this);
    m_keysAcquired = false;
}

void HotkeyManager::onRawKey(const RawKeyEvent& event)
{
    if (!m_fallbackActive || event.virtualKeyCode < 0 ||
        quint32(event.virtualKeyCode) != m_fallbackHotkey.keyCode)
        return;
    // The key code alone would fire on Shift+Space, Space in a text field, ...:
    // the held modifiers must be exactly the recorded ones.
    if ((event.modifiers & ModifierMask::All) != (m_fallbackHotkey.carbonModifiers & ModifierMask::All))
        return;
    deliverTrigger();
}

void HotkeyManager::deliverTrigger()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (onTrigger)
                onTrigger();
        },
        Qt::QueuedConnection);
}

void HotkeyManager::stopListening()
{
    if (m_grabber && m_grabber->isGrabbed())
        m_grabber->ungrab();
    if (m_fallbackActive) {
        disconnect(m_fallbackConnection);
        m_fallbackActive = false;
    }
    if (m_keysAcquired) {
        m_input->releaseKeys(this);
        m_keysAcquired = false;
    }
}

void HotkeyManager::setCustomHotkey(quint32 keyCode, quint32 carbonModifiers, const QString& displayString)
{
    m_current = SavedHotkey{keyCode, carbonModifiers, displayString};
    Q_EMIT currentHotkeyChanged();
    AppSettings::remove(SavedHotkey::clearedKey);
    AppSettings::setValue(SavedHotkey::settingsKey, QString::fromUtf8(m_current->toJson()));
    registerHotkey(*m_current);
}

void HotkeyManager::clearHotkey()
{
    stopListening();
    m_current.reset();
    Q_EMIT currentHotkeyChanged();
    AppSettings::remove(SavedHotkey::settingsKey);
    AppSettings::setValue(SavedHotkey::clearedKey, true);
    logLine(QStringLiteral("[HotkeyManager] Hotkey cleared."));
}

bool HotkeyManager::isGrabbed() const
{
    return m_grabber && m_grabber->isGrabbed();
}
