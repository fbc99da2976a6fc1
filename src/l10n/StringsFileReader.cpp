#include "l10n/StringsFileReader.h"

#include "common/MessageText.h"

#include <QStringDecoder>

namespace {

class Parser
{
public:
    explicit Parser(const QString& text)
        : m_text(text)
    {}

    bool run(QHash<QString, QString>& out)
    {
        while (true) {
            if (!skipSpaceAndComments())
                return false;
            if (atEnd())
                return true;
            const int entryLine = m_line;
            QString key;
            if (!readToken(key, QStringLiteral("key")))
                return false;
            // A missing ';' is reported on the line where the entry's last token ended.
            int tokenEndLine = m_line;
            if (!skipSpaceAndComments())
                return false;
            if (atEnd())
                return failAt(tokenEndLine, QStringLiteral("expected ';'"));
            QString value = key;
            if (peek() == u'=') {
                ++m_pos;
                if (!skipSpaceAndComments())
                    return false;
                if (atEnd())
                    return fail(QStringLiteral("expected value"));
                if (!readToken(value, QStringLiteral("value")))
                    return false;
                tokenEndLine = m_line;
                if (!skipSpaceAndComments())
                    return false;
            }
            if (atEnd() || peek() != u';')
                return failAt(tokenEndLine, QStringLiteral("expected ';'"));
            ++m_pos;
            if (out.contains(key)) {
                m_line = entryLine;
                return fail(QStringLiteral("duplicate key ") + messageQuoted(key));
            }
            out.insert(key, value);
        }
    }

    QString message() const { return m_message; }
    int line() const { return m_line; }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek(int ahead = 0) const
    {
        return m_pos + ahead < m_text.size() ? m_text.at(m_pos + ahead) : QChar();
    }

    bool fail(const QString& message)
    {
        m_message = message;
        return false;
    }

    bool failAt(int line, const QString& message)
    {
        m_line = line;
        return fail(message);
    }

    bool skipSpaceAndComments()
    {
        while (!atEnd()) {
            const QChar c = peek();
            if (c == u'\n') {
                ++m_line;
                ++m_pos;
            } else if (c.isSpace()) {
                ++m_pos;
            } else if (c == u'/' && peek(1) == u'*') {
                const int startLine = m_line;
                m_pos += 2;
                bool closed = false;
                while (!atEnd()) {
                    if (peek() == u'*' && peek(1) == u'/') {
                        m_pos += 2;
                        closed = true;
                        break;
                    }
                    if (peek() == u'\n')
                        ++m_line;
                    ++m_pos;
                }
                if (!closed) {
                    m_line = startLine;
                    return fail(QStringLiteral("unterminated comment"));
                }
            } else if (c == u'/' && peek(1) == u'/') {
                while (!atEnd() && peek() != u'\n')
                    ++m_pos;
            } else {
                break;
            }
        }
        return true;
    }

    static bool isBareChar(QChar c)
    {
        return c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'-' || c == u'$' || c == u'/' ||
               c == u':';
    }

    bool readToken(QString& out, const QString& what)
    {
        if (peek() == u'"')
            return readQuoted(out);
        // Unquoted keys made of plain identifier characters are legal in the format.
        const int start = m_pos;
        while (!atEnd() && isBareChar(peek()) && !(peek() == u'/' && (peek(1) == u'/' || peek(1) == u'*')))
            ++m_pos;
        if (m_pos == start)
            return fail(QStringLiteral("expected %1").arg(what));
        out = m_text.mid(start, m_pos - start);
        return true;
    }

    static int hexValue(QChar c)
    {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9')
            return u - u'0';
        if (u >= u'a' && u <= u'f')
            return u - u'a' + 10;
        if (u >= u'A' && u <= u'F')
            return u - u'A' + 10;
        return -1;
    }

    bool readQuoted(QString& out)
    {
        const int startLine = m_line;
        ++m_pos; // opening quote
        out.clear();
        while (true) {
            if (atEnd()) {
                m_line = startLine;
                return fail(QStringLiteral("unterminated string"));
            }
            const QChar c = peek();
            ++m_pos;
            if (c == u'"')
                return true;
            if (c == u'\n') {
                ++m_line;
                out.append(c);
                continue;
            }
            if (c != u'\\') {
                out.append(c);
                continue;
            }
            if (atEnd()) {
                m_line = startLine;
                return fail(QStringLiteral("unterminated string"));
            }
            const QChar e = peek();
            ++m_pos;
            switch (e.unicode()) {
            case u'"':
            case u'\\':
            case u'\'':
                out.append(e);
                break;
            case u'n':
                out.append(u'\n');
                break;
            case u't':
                out.append(u'\t');
                break;
            case u'r':
                out.append(u'\r');
                break;
            case u'0':
                out.append(QChar(0));
                break;
            case u'\n':
                // Backslash-newline continues the string on the next line.
                ++m_line;
                out.append(u'\n');
                break;
            case u'u':
            case u'U': {
                int code = 0;
                for (int i = 0; i < 4; ++i) {
                    const int h = hexValue(peek());
                    if (h < 0)
                        return fail(QStringLiteral("bad \\%1 escape: four hex digits expected").arg(e));
                    code = code * 16 + h;
                    ++m_pos;
                }
                out.append(QChar(char16_t(code)));
                break;
            }
            default:
                return fail(QStringLiteral("unknown escape '\\") + messageEscaped(QStringView(&e, 1)) +
                            QLatin1Char('\''));
            }
        }
    }

    const QString& m_text;
    int m_pos = 0;
    int m_line = 1;
    QString m_message;
};

} // namespace

std::optional<QString> StringsFileReader::decode(const QByteArray& bytes)
{
    QStringDecoder::Encoding encoding = QStringDecoder::Utf8;
    QByteArrayView body(bytes);
    if (bytes.startsWith("\xFF\xFE")) {
        encoding = QStringDecoder::Utf16LE;
        body = body.sliced(2);
    } else if (bytes.startsWith("\xFE\xFF")) {
        encoding = QStringDecoder::Utf16BE;
        body = body.sliced(2);
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        body = body.sliced(3);
    }
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

StringsFileReader::Result StringsFileReader::parse(const QByteArray& bytes, const QString& sourceName)
{
    Result result;
    const std::optional<QString> text = decode(bytes);
    if (!text) {
        result.errorLine = 1;
        result.error = sourceName + QStringLiteral(":1: not valid UTF-8 or UTF-16 text");
        return result;
    }
    Parser parser(*text);
    QHash<QString, QString> entries;
    if (!parser.run(entries)) {
        result.errorLine = parser.line();
        result.error = QStringLiteral("%1:%2: %3").arg(sourceName).arg(parser.line()).arg(parser.message());
        return result;
    }
    result.entries = std::move(entries);
    return result;
}
