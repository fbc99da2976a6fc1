#include "l10n/StringFormat.h"

#include <QMap>

namespace StringFormat {

namespace {

struct Directive
{
    int position = 0; // 1-based; 0 = next sequential argument
    bool zeroPad = false;
    bool leftAlign = false;
    bool plusSign = false;
    int width = -1;
    int precision = -1;
    QChar conversion;
    int length = 0; // characters consumed after '%'
};

bool isLengthModifier(QChar c)
{
    return c == u'l' || c == u'h' || c == u'q' || c == u'z' || c == u't' || c == u'j' || c == u'L';
}

bool isConversion(QChar c)
{
    return c == u'@' || c == u'd' || c == u'i' || c == u'u' || c == u'f' || c == u'x' || c == u'X' ||
           c == u'c' || c == u's' || c == u'g' || c == u'e';
}

int readNumber(const QString& s, int& i)
{
    int n = 0;
    bool any = false;
    while (i < s.size() && s.at(i).isDigit() && s.at(i).unicode() < 128) {
        n = n * 10 + (s.at(i).unicode() - u'0');
        if (n > 100000)
            n = 100000;
        ++i;
        any = true;
    }
    return any ? n : -1;
}

// Parses the directive starting after '%' at `start`. Returns false when the
// text there is not a directive (it is then copied literally).
bool parseDirective(const QString& s, int start, Directive& directive)
{
    int i = start;
    int save = i;
    const int pos = readNumber(s, i);
    if (pos > 0 && i < s.size() && s.at(i) == u'$') {
        directive.position = pos;
        ++i;
    } else {
        i = save;
    }
    while (i < s.size()) {
        const QChar f = s.at(i);
        if (f == u'0')
            directive.zeroPad = true;
        else if (f == u'-')
            directive.leftAlign = true;
        else if (f == u'+')
            directive.plusSign = true;
        else if (f != u' ' && f != u'#' && f != u'\'')
            break;
        ++i;
    }
    directive.width = readNumber(s, i);
    if (i < s.size() && s.at(i) == u'.') {
        ++i;
        directive.precision = qMax(0, readNumber(s, i));
    }
    while (i < s.size() && isLengthModifier(s.at(i)))
        ++i;
    if (i >= s.size() || !isConversion(s.at(i)))
        return false;
    directive.conversion = s.at(i);
    directive.length = i + 1 - start;
    return true;
}

QString kindOf(QChar conversion)
{
    switch (conversion.unicode()) {
    case u'@':
    case u's':
    case u'c':
        return QStringLiteral("@");
    case u'f':
    case u'g':
    case u'e':
        return QStringLiteral("f");
    default:
        return QStringLiteral("d");
    }
}

QString render(const Directive& directive, const QVariant& arg, bool present)
{
    if (!present)
        return {};
    QString text;
    switch (directive.conversion.unicode()) {
    case u'@':
    case u's':
        text = arg.toString();
        if (directive.precision >= 0)
            text.truncate(directive.precision);
        break;
    case u'c':
        text = arg.typeId() == QMetaType::QString ? arg.toString().left(1) : QString(QChar(arg.toInt()));
        break;
    case u'f':
    case u'g':
    case u'e':
        text = QString::number(arg.toDouble(), directive.conversion.toLatin1(),
                               directive.precision >= 0 ? directive.precision : 6);
        break;
    case u'x':
    case u'X':
        text = QString::number(arg.toULongLong(), 16);
        if (directive.conversion == u'X')
            text = text.toUpper();
        break;
    case u'u':
        text = QString::number(arg.toULongLong());
        break;
    default:
        text = QString::number(arg.toLongLong());
        if (directive.plusSign && !text.startsWith(u'-'))
            text.prepend(u'+');
        break;
    }
    if (directive.width > text.size()) {
        const int pad = directive.width - text.size();
        if (directive.leftAlign) {
            text.append(QString(pad, u' '));
        } else if (directive.zeroPad && directive.conversion != u'@' && directive.conversion != u's') {
            const int signLen = (text.startsWith(u'-') || text.startsWith(u'+')) ? 1 : 0;
            text.insert(signLen, QString(pad, u'0'));
        } else {
            text.prepend(QString(pad, u' '));
        }
    }
    return text;
}

// Walks a format in order: every literal character goes to onText ("%%" as
// one '%', a '%' that starts no directive as itself), every directive to
// onDirective.
template<class OnText, class OnDirective>
void scan(const QString& format, OnText onText, OnDirective onDirective)
{
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%') {
            onText(c);
            continue;
        }
        if (i + 1 < format.size() && format.at(i + 1) == u'%') {
            onText(c);
            ++i;
            continue;
        }
        Directive directive;
        if (!parseDirective(format, i + 1, directive)) {
            onText(c);
            continue;
        }
        onDirective(directive);
        i += directive.length;
    }
}

} // namespace

QString apply(const QString& format, const QVariantList& args)
{
    QString out;
    out.reserve(format.size() + 16);
    int next = 0;
    scan(
        format, [&](QChar c) { out.append(c); },
        [&](const Directive& directive) {
            const int index = directive.position > 0 ? directive.position - 1 : next++;
            const bool present = index >= 0 && index < args.size();
            out.append(render(directive, present ? args.at(index) : QVariant(), present));
        });
    return out;
}

QStringList signature(const QString& format)
{
    QMap<int, QString> byPosition;
    int next = 0;
    scan(
        format, [](QChar) {},
        [&](const Directive& directive) {
            const int position = directive.position > 0 ? directive.position : ++next;
            const QString kind = kindOf(directive.conversion);
            // The same argument used twice with different kinds is a conflict; keep both visible.
            if (byPosition.contains(position) && byPosition.value(position) != kind)
                byPosition[position] += u'|' + kind;
            else
                byPosition.insert(position, kind);
        });
    QStringList out;
    for (auto it = byPosition.cbegin(); it != byPosition.cend(); ++it)
        out << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());
    return out;
}

} // namespace StringFormat
