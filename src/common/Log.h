#pragma once

#include <QString>

// Writes one line to standard output and flushes it. Components log with their
// name in square brackets: "[AppProfileManager] Failed to save profiles: ...".
void logLine(const QString& line);
