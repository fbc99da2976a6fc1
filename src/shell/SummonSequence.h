#pragma once

#include <optional>
#include <QPoint>

class ShellServices;

// The three steps every trigger runs: snapshot the frontmost application (never
// Rondix itself), pick its ring (the global ring when there is no target or the
// target has no id), show the ring at `at` or, when absent, at the pointer.
void runSummonSequence(ShellServices& services, const std::optional<QPoint>& at);
