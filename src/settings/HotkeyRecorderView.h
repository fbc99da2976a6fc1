#pragma once

#include <QWidget>

class HotkeyManager;
class HotkeyRecorder;
class QLabel;
class QPushButton;

// Records, shows and clears the global hotkey. While it records it holds the
// keyboard grab, so chords the window manager or the window would take
// (Alt+Tab, Super+D, Ctrl+W) reach it; the grab ends with the recording, when
// the view is hidden and when it goes away.
class HotkeyRecorderView : public QWidget
{
    Q_OBJECT
public:
    explicit HotkeyRecorderView(QWidget* parent = nullptr);
    // A recorder for another manager (tests).
    explicit HotkeyRecorderView(HotkeyManager* manager, QWidget* parent = nullptr);
    ~HotkeyRecorderView() override;

    bool isRecording() const;
    bool holdsKeyboardGrab() const { return m_grabbing; }

    void startRecording();
    void stopRecording();

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void retranslate();
    void releaseGrab();

    HotkeyRecorder* m_recorder = nullptr;
    bool m_grabbing = false;
    QLabel* m_notSet;
    QLabel* m_current;
    QLabel* m_prompt;
    QPushButton* m_record;
    QPushButton* m_reRecord;
    QPushButton* m_clear;
    QPushButton* m_cancel;
};
