#pragma once

#include <QString>
#include <QStringView>

// Text taken from a file (a ring shared by someone else, a string table) must
// not reach a terminal or the one-line log as it stands: it may carry escape
// sequences, line breaks or a megabyte of filler. These helpers make such a
// value fit to be quoted in a message.

// Values longer than this many characters are cut and end in "…".
inline constexpr qsizetype kMessageValueLength = 80;

// Control characters (C0, DEL, C1), line and paragraph separators, bidirectional
// overrides and lone surrogates become escapes: \n \r \t, \xHH below U+0100,
// \uHHHH above. A backslash becomes \\ so an escape cannot be faked. The value
// is cut to `maxLength` characters (never inside a surrogate pair) first.
QString messageEscaped(QStringView text, qsizetype maxLength = kMessageValueLength);

// The same in double quotes, with the quote character escaped as \".
QString messageQuoted(QStringView text, qsizetype maxLength = kMessageValueLength);

// Only the control characters escaped, nothing cut, backslashes kept: for a whole
// message whose values were escaped already, so that it stays on one line.
QString controlsEscaped(QStringView text);
