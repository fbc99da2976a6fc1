#pragma once

#include <cstdio>
#include <cstdlib>
#include <QByteArray>
#include <QString>

// A broken promise of the code under test: print it and abort, which libFuzzer
// reports as a crash and keeps the input that caused it.
#define FUZZ_CHECK(condition, text)                                                                          \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "check failed: %s: %s\n", #condition, qPrintable(QString(text)));           \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

inline QByteArray fuzzBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Messages quote what the input said, escaped: no control character may pass.
inline bool printable(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029)
            return false;
    }
    return true;
}
