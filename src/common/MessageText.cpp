#include "common/MessageText.h"

namespace {

bool needsEscape(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F ||
           (c >= 0xD800 && c <= 0xDFFF);
}

void appendEscaped(QString& out, char32_t c)
{
    switch (c) {
    case U'\n':
        out += QLatin1String("\\n");
        return;
    case U'\r':
        out += QLatin1String("\\r");
        return;
    case U'\t':
        out += QLatin1String("\\t");
        return;
    default:
        break;
    }
    if (c < 0x100)
        out += QLatin1String("\\x") + QString::number(uint(c), 16).toUpper().rightJustified(2, u'0');
    else
        out += QLatin1String("\\u") + QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
}

enum class Backslash
{
    Escape,
    Keep
};

QString escape(QStringView text, qsizetype maxLength, bool quote, Backslash backslash = Backslash::Escape)
{
    QString out;
    out.reserve(std::min(text.size(), maxLength + 8) + 2);
    qsizetype characters = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (characters == maxLength) {
            out += QChar(0x2026);
            break;
        }
        ++characters;
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += unit;
            out += text[++i];
            continue;
        }
        const char32_t c = unit.unicode();
        if ((c == U'\\' && backslash == Backslash::Escape) || (quote && c == U'"')) {
            out += QLatin1Char('\\');
            out += unit;
        } else if (needsEscape(c)) {
            appendEscaped(out, c);
        } else {
            out += unit;
        }
    }
    return out;
}

} // namespace

QString messageEscaped(QStringView text, qsizetype maxLength)
{
    return escape(text, maxLength, false);
}

QString messageQuoted(QStringView text, qsizetype maxLength)
{
    return QLatin1Char('"') + escape(text, maxLength, true) + QLatin1Char('"');
}

QString controlsEscaped(QStringView text)
{
    return escape(text, text.size(), false, Backslash::Keep);
}
