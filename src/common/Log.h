#pragma once

#include <QString>

// Writes one line to standard output and flushes it. Components log with their
// name in square brackets: "[AppProfileManager] Failed to save profiles: ...".
void logLine(const QString& line);

// Turns every debug category off; QT_LOGGING_RULES (and QT_LOGGING_CONF) still
// switch them on. Debug lines name files, URLs and scripts, and desktop sessions
// keep whatever programs write, so they appear only when asked for.
void installDefaultLogRules();

// What a URL or path may show in a log line: no query, fragment or user info,
// which can hold search terms, tokens and passwords.
QString loggableLocation(const QString& urlOrPath);
