#include "model/KeyComboText.h"

#include <QHash>
#include <QStringList>

namespace {

struct KeyText
{
    quint16 code;
    const char* shown;  // what this desktop calls the key (after its keysym)
    const char* stored; // the name recorded shortcuts store for it, when it differs
};

// Every ring key code that maps to a keysym, named as desktop shortcut
// settings name that keysym. Letters and punctuation are the keys' characters.
// clang-format off
constexpr KeyText kKeys[] = {
    {0, "A", nullptr}, {1, "S", nullptr}, {2, "D", nullptr}, {3, "F", nullptr}, {4, "H", nullptr},
    {5, "G", nullptr}, {6, "Z", nullptr}, {7, "X", nullptr}, {8, "C", nullptr}, {9, "V", nullptr},
    {11, "B", nullptr}, {12, "Q", nullptr}, {13, "W", nullptr}, {14, "E", nullptr}, {15, "R", nullptr},
    {16, "Y", nullptr}, {17, "T", nullptr}, {18, "1", nullptr}, {19, "2", nullptr}, {20, "3", nullptr},
    {21, "4", nullptr}, {22, "6", nullptr}, {23, "5", nullptr}, {24, "=", nullptr}, {25, "9", nullptr},
    {26, "7", nullptr}, {27, "-", nullptr}, {28, "8", nullptr}, {29, "0", nullptr}, {30, "]", nullptr},
    {31, "O", nullptr}, {32, "U", nullptr}, {33, "[", nullptr}, {34, "I", nullptr}, {35, "P", nullptr},
    {36, "Return", nullptr}, {37, "L", nullptr}, {38, "J", nullptr}, {39, "'", nullptr}, {40, "K", nullptr},
    {41, ";", nullptr}, {42, "\\", nullptr}, {43, ",", nullptr}, {44, "/", nullptr}, {45, "N", nullptr},
    {46, "M", nullptr}, {47, ".", nullptr}, {48, "Tab", nullptr}, {49, "Space", " "}, {50, "`", nullptr},
    {51, "Backspace", "Delete"}, {53, "Esc", nullptr},
    {54, "Super", nullptr}, {55, "Super", nullptr}, {56, "Shift", nullptr}, {57, "Caps Lock", nullptr},
    {58, "Alt", nullptr}, {59, "Ctrl", nullptr}, {60, "Shift", nullptr}, {61, "Alt", nullptr},
    {62, "Ctrl", nullptr},
    {65, "Keypad .", nullptr}, {67, "Keypad *", nullptr}, {69, "Keypad +", nullptr}, {71, "Clear", nullptr},
    {72, "Volume Up", nullptr}, {73, "Volume Down", nullptr}, {74, "Mute", nullptr},
    {75, "Keypad /", nullptr}, {76, "Keypad Enter", nullptr}, {78, "Keypad -", nullptr},
    {81, "Keypad =", nullptr},
    {82, "Keypad 0", nullptr}, {83, "Keypad 1", nullptr}, {84, "Keypad 2", nullptr}, {85, "Keypad 3", nullptr},
    {86, "Keypad 4", nullptr}, {87, "Keypad 5", nullptr}, {88, "Keypad 6", nullptr}, {89, "Keypad 7", nullptr},
    {91, "Keypad 8", nullptr}, {92, "Keypad 9", nullptr},
    {122, "F1", nullptr}, {120, "F2", nullptr}, {99, "F3", nullptr}, {118, "F4", nullptr},
    {96, "F5", nullptr}, {97, "F6", nullptr}, {98, "F7", nullptr}, {100, "F8", nullptr},
    {101, "F9", nullptr}, {109, "F10", nullptr}, {103, "F11", nullptr}, {111, "F12", nullptr},
    {105, "F13", nullptr}, {107, "F14", nullptr}, {113, "F15", nullptr}, {106, "F16", nullptr},
    {64, "F17", nullptr}, {79, "F18", nullptr}, {80, "F19", nullptr}, {90, "F20", nullptr},
    {114, "Insert", nullptr}, {115, "Home", nullptr}, {116, "Page Up", nullptr},
    {117, "Delete", "Forward Delete"}, {119, "End", nullptr}, {121, "Page Down", nullptr},
    {123, "Left", "←"}, {124, "Right", "→"}, {125, "Down", "↓"}, {126, "Up", "↑"},
};
// clang-format on

constexpr quint32 kHotkeyCommand = 256;
constexpr quint32 kHotkeyShift = 512;
constexpr quint32 kHotkeyOption = 2048;
constexpr quint32 kHotkeyControl = 4096;

const QHash<quint16, QString>& shownByCode()
{
    static const QHash<quint16, QString> table = [] {
        QHash<quint16, QString> t;
        for (const KeyText& k : kKeys)
            t.insert(k.code, QString::fromUtf8(k.shown));
        return t;
    }();
    return table;
}

// Stored key texts to codes. Only the stored spelling counts where it differs
// from the shown one: a stored "Delete" is the key left of Backspace's place,
// not forward delete.
const QHash<QString, quint16>& codesByStoredName()
{
    static const QHash<QString, quint16> table = [] {
        QHash<QString, quint16> t;
        for (const KeyText& k : kKeys) {
            const QString name = QString::fromUtf8(k.stored ? k.stored : k.shown);
            // Modifier keys never stand as a recorded key; keep their names out of the
            // lookup so a stored "Shift" title is not read as a combination.
            if (k.code >= 54 && k.code <= 62)
                continue;
            t.insert(name, k.code);
        }
        return t;
    }();
    return table;
}

std::optional<quint16> codeForStoredName(const QString& name)
{
    const auto& table = codesByStoredName();
    auto it = table.constFind(name);
    if (it == table.constEnd() && name.size() == 1)
        it = table.constFind(name.toUpper()); // typed keys are stored as typed, "c" for C
    if (it != table.constEnd())
        return *it;
    // "Key(18)": the recorder's name for keys it has no text for.
    if (name.startsWith(QLatin1String("Key(")) && name.endsWith(QLatin1Char(')'))) {
        bool ok = false;
        const uint code = name.mid(4, name.size() - 5).toUInt(&ok);
        if (ok && code <= 0xFFFF && name.at(4).isDigit())
            return quint16(code);
    }
    return std::nullopt;
}

QString join(const KeyModifiers& m, const QString& key)
{
    QStringList parts;
    if (m.control)
        parts << QStringLiteral("Ctrl");
    if (m.option)
        parts << QStringLiteral("Alt");
    if (m.shift)
        parts << QStringLiteral("Shift");
    if (m.command)
        parts << QStringLiteral("Super");
    if (!key.isEmpty())
        parts << key;
    return parts.join(QLatin1Char('+'));
}

} // namespace

namespace KeyComboText {

QString keyName(quint16 keyCode)
{
    const auto it = shownByCode().constFind(keyCode);
    if (it != shownByCode().constEnd())
        return *it;
    return QStringLiteral("Key(%1)").arg(keyCode);
}

QString display(quint16 keyCode, const KeyModifiers& modifiers)
{
    return join(modifiers, keyName(keyCode));
}

KeyModifiers modifiersFromHotkeyMask(quint32 hotkeyModifiers)
{
    KeyModifiers m;
    m.command = hotkeyModifiers & kHotkeyCommand;
    m.option = hotkeyModifiers & kHotkeyOption;
    m.control = hotkeyModifiers & kHotkeyControl;
    m.shift = hotkeyModifiers & kHotkeyShift;
    return m;
}

QString displayHotkey(quint32 keyCode, quint32 hotkeyModifiers)
{
    // Codes beyond 16 bits name no key; show them as the recorder would.
    const QString key = keyCode <= 0xFFFF ? keyName(quint16(keyCode)) : QStringLiteral("Key(%1)").arg(keyCode);
    return join(modifiersFromHotkeyMask(hotkeyModifiers), key);
}

QString fromGlyphsIn(const QString& text)
{
    const auto isGlyph = [](QChar c) { return c == u'⌃' || c == u'⌥' || c == u'⇧' || c == u'⌘'; };
    QString result;
    qsizetype i = 0;
    while (i < text.size()) {
        if (!isGlyph(text.at(i))) {
            result += text.at(i++);
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isGlyph(text.at(end)))
            ++end;
        // "Key(18)" carries its own closing parenthesis.
        if (text.mid(end, 4) == QLatin1String("Key(")) {
            const qsizetype close = text.indexOf(u')', end);
            end = close < 0 ? text.size() : close + 1;
        } else {
            while (end < text.size() && !text.at(end).isSpace() && text.at(end) != u')')
                ++end;
        }
        result += fromGlyphs(text.mid(i, end - i));
        i = end;
    }
    return result;
}

QString fromGlyphs(const QString& stored)
{
    KeyModifiers m;
    qsizetype i = 0;
    for (; i < stored.size(); ++i) {
        const QChar c = stored.at(i);
        if (c == u'⌃')
            m.control = true;
        else if (c == u'⌥')
            m.option = true;
        else if (c == u'⇧')
            m.shift = true;
        else if (c == u'⌘')
            m.command = true;
        else
            break;
    }
    const QString keyText = stored.mid(i);
    const auto code = codeForStoredName(keyText);
    if (i == 0 && !code)
        return stored;
    return join(m, code ? keyName(*code) : keyText);
}

} // namespace KeyComboText
