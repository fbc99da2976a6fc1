#pragma once

class QWidget;

// Small window-manager hints the Qt API does not cover.
namespace WindowHints {

void centreOnPrimaryScreen(QWidget* window);

// Keeps a top-level window off the taskbar (_NET_WM_STATE_SKIP_TASKBAR on X11).
// Works before the window is shown (the state is merged when it maps) and after
// (a request to the window manager). Off X11 the wish is only recorded on the
// widget.
void setSkipTaskbar(QWidget* window, bool skip);

// Whether the window carries the skip-taskbar state; off X11, the recorded wish.
bool hasSkipTaskbar(QWidget* window);

} // namespace WindowHints
