#pragma once

#include "settings/TriggerRecorderRules.h"

#include <functional>
#include <QMetaObject>
#include <QObject>

class HotkeyManager;
class InputMonitor;
class MouseTriggerManager;

// The recording state of the hotkey recorder, apart from its widget (which
// holds the keyboard grab and feeds the keys in). While it records, the hotkey
// in force is not listened for, so pressing it does not summon the ring.
class HotkeyRecorder : public QObject
{
    Q_OBJECT
public:
    explicit HotkeyRecorder(HotkeyManager* manager, QObject* parent = nullptr);
    ~HotkeyRecorder() override;

    bool isRecording() const { return m_recording; }
    HotkeyManager* manager() const { return m_manager; }

    void startRecording();
    // Ends recording; the hotkey in force is listened for again.
    void stopRecording();
    // One key press while recording; true when it ended the recording.
    bool handleKey(const TriggerRecorderRules::RecordedHotkey& key);
    void clear();

Q_SIGNALS:
    void recordingChanged(bool recording);

private:
    HotkeyManager* m_manager;
    bool m_recording = false;
};

// The recording state of the mouse-button recorder: raw button presses are
// selected on the server only while it records; Escape (fed in by the widget)
// cancels. The trigger's own monitor is off meanwhile, so pressing the
// button already in use records it again instead of summoning the ring.
class MouseButtonRecorder : public QObject
{
    Q_OBJECT
public:
    MouseButtonRecorder(MouseTriggerManager* manager, InputMonitor* input, std::function<void()> playTrigger,
                        QObject* parent = nullptr);
    ~MouseButtonRecorder() override;

    bool isRecording() const { return m_recording; }
    MouseTriggerManager* manager() const { return m_manager; }

    void startRecording();
    void stopRecording();
    void toggleRecording();
    // A button press seen while recording; true when it was recorded.
    bool handleButton(int button);
    void clear();

Q_SIGNALS:
    void recordingChanged(bool recording);

private:
    void finish(bool restoreTrigger);

    MouseTriggerManager* m_manager;
    InputMonitor* m_input;
    std::function<void()> m_playTrigger;
    bool m_recording = false;
    QMetaObject::Connection m_connection;
};
