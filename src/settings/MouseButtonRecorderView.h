#pragma once

#include <QWidget>

class InputMonitor;
class MouseButtonRecorder;
class MouseTriggerManager;
class QPushButton;
class QToolButton;

// Records, shows and clears the mouse button that summons the ring. Raw
// button presses are watched only while it records (anywhere on the screen,
// over Rondix's windows too); Escape cancels. Hiding the view or letting it
// go ends the recording.
class MouseButtonRecorderView : public QWidget
{
    Q_OBJECT
public:
    explicit MouseButtonRecorderView(QWidget* parent = nullptr);
    // A recorder for another manager and input (tests).
    MouseButtonRecorderView(MouseTriggerManager* manager, InputMonitor* input, QWidget* parent = nullptr);
    ~MouseButtonRecorderView() override;

    bool isRecording() const;
    void startRecording();
    void stopRecording();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    MouseTriggerManager* m_manager;
    MouseButtonRecorder* m_recorder;
    QPushButton* m_main;
    QToolButton* m_clear;
    bool m_filtering = false;
};
