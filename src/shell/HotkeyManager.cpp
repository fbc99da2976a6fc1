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
    if (m_grabber)
        connect(m_grabber, &HotkeyGrabber::activated, this, &HotkeyManager::deliverTrigger);
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
        logLine(QStringLiteral("[HotkeyManager] Carbon hotkey registration returned %1.").arg(status));
        setupFallbackMonitor(hotkey);
        return;
    }
    logLine(QStringLiteral("[HotkeyManager] Successfully registered custom hotkey: ") + hotkey.displayString);
}

void HotkeyManager::setupFallbackMonitor(const SavedHotkey& hotkey)
{
    if (!m_input)
        return;
    m_fallbackHotkey = hotkey;
    m_fallbackActive = true;
    m_fallbackConnection = connect(m_input, &InputMonitor::keyPressed, this, &HotkeyManager::onRawKey);
    m_input->acquireKeys(this);
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
        if (m_input)
            m_input->releaseKeys(this);
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
