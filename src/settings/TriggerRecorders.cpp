#include "settings/TriggerRecorders.h"

#include "platform/InputMonitor.h"
#include "shell/HotkeyManager.h"
#include "shell/MouseTriggerManager.h"

HotkeyRecorder::HotkeyRecorder(HotkeyManager* manager, QObject* parent)
    : QObject(parent)
    , m_manager(manager)
{}

HotkeyRecorder::~HotkeyRecorder()
{
    stopRecording();
}

void HotkeyRecorder::startRecording()
{
    if (m_recording)
        return;
    m_recording = true;
    if (m_manager)
        m_manager->stopListening();
    Q_EMIT recordingChanged(true);
}

void HotkeyRecorder::stopRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    if (m_manager)
        m_manager->startListening();
    Q_EMIT recordingChanged(false);
}

bool HotkeyRecorder::handleKey(const TriggerRecorderRules::RecordedHotkey& key)
{
    if (!m_recording)
        return false;
    switch (key.outcome) {
    case ShortcutCapture::Outcome::Ignore:
        return false;
    case ShortcutCapture::Outcome::Cancel:
        stopRecording();
        return true;
    case ShortcutCapture::Outcome::Record:
        break;
    }
    // The widget lets the keyboard go first; setCustomHotkey then registers
    // the new chord itself.
    m_recording = false;
    Q_EMIT recordingChanged(false);
    if (m_manager)
        m_manager->setCustomHotkey(key.keyCode, key.carbonModifiers, key.displayString);
    return true;
}

void HotkeyRecorder::clear()
{
    if (m_recording) {
        m_recording = false;
        Q_EMIT recordingChanged(false);
    }
    if (m_manager)
        m_manager->clearHotkey();
}

MouseButtonRecorder::MouseButtonRecorder(MouseTriggerManager* manager, InputMonitor* input,
                                         std::function<void()> playTrigger, QObject* parent)
    : QObject(parent)
    , m_manager(manager)
    , m_input(input)
    , m_playTrigger(std::move(playTrigger))
{}

MouseButtonRecorder::~MouseButtonRecorder()
{
    stopRecording();
}

void MouseButtonRecorder::startRecording()
{
    if (m_recording)
        return;
    m_recording = true;
    if (m_manager)
        m_manager->removeMonitor();
    if (m_input) {
        // Queued: the press is handled from the event loop, not inside the X dispatch.
        m_connection = connect(
            m_input, &InputMonitor::buttonPressed, this, [this](int button, const QPoint&) { handleButton(button); },
            Qt::QueuedConnection);
        m_input->acquireButtons(this);
    }
    Q_EMIT recordingChanged(true);
}

void MouseButtonRecorder::stopRecording()
{
    if (m_recording)
        finish(true);
}

void MouseButtonRecorder::toggleRecording()
{
    if (m_recording)
        stopRecording();
    else
        startRecording();
}

void MouseButtonRecorder::finish(bool restoreTrigger)
{
    m_recording = false;
    disconnect(m_connection);
    if (m_input)
        m_input->releaseButtons(this);
    if (restoreTrigger && m_manager)
        m_manager->setupMonitor();
    Q_EMIT recordingChanged(false);
}

bool MouseButtonRecorder::handleButton(int button)
{
    if (!m_recording || !TriggerRecorderRules::isRecordableButton(button))
        return false;
    finish(false);
    // Storing the button installs the trigger's monitor for it.
    if (m_manager)
        m_manager->setTargetButtonNumber(button);
    if (m_playTrigger)
        m_playTrigger();
    return true;
}

void MouseButtonRecorder::clear()
{
    if (m_recording)
        finish(false);
    if (m_manager)
        m_manager->setTargetButtonNumber(-1);
}
