#pragma once

class QWidget;

// Small window-manager hints the Qt API does not cover.
namespace WindowHints {

void centreOnPrimaryScreen(QWidget* window);

// Keeps a top-level window off the taskbar (_NET_WM_STATE_SKIP_TASKBAR on X11).
// Works before the window is shown (the state is merged when it maps) and after
// (a request to the window manager). Does nothing off X11.
void setSkipTaskbar(QWidget* window, bool skip);

// Whether the window carries the skip-taskbar state (X11 only; false elsewhere).
bool hasSkipTaskbar(QWidget* window);

} // namespace WindowHints
