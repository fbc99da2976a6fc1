#pragma once

#include "platform/InputMonitor.h"

class SwayIpc;

// What sway lets a client see of global input: nothing but its own bindings.
// The mouse trigger's button is bound ("bindsym --whole-window buttonN nop
// rondix-button"); keys and the pointer position cannot be read.
class SwayInputMonitor : public InputMonitor
{
    Q_OBJECT
public:
    static inline const QString kCommand = QStringLiteral("nop rondix-button");

    explicit SwayInputMonitor(SwayIpc* ipc, QObject* parent = nullptr);
    ~SwayInputMonitor() override;

    QPoint pointerPosition() const override { return {}; }
    bool knowsPointerPosition() const override { return false; }
    void setTriggerButton(int button) override;

    // sway's name of an InputMonitor button number; empty for 0, 1 and below.
    static QString buttonName(int button);
    QString boundButton() const { return m_bound; }

protected:
    void applyKeySelection(bool) override {}
    void applyButtonSelection(bool) override {}

private:
    void unbind();

    SwayIpc* m_ipc;
    int m_button = -1;
    QString m_bound;
};
