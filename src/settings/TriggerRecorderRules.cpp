#include "settings/TriggerRecorderRules.h"

#include "platform/PlatformTypes.h"

#include <QHash>

namespace TriggerRecorderRules {

quint32 hotkeyModifiers(const KeyModifiers& modifiers)
{
    quint32 mask = 0;
    if (modifiers.control)
        mask |= ModifierMask::Control;
    if (modifiers.option)
        mask |= ModifierMask::Option;
    if (modifiers.shift)
        mask |= ModifierMask::Shift;
    if (modifiers.command)
        mask |= ModifierMask::Command;
    return mask;
}

QString keyString(quint16 keyCode)
{
    static const QHash<quint16, QString> names = [] {
        struct Entry
        {
            quint16 code;
            const char* name;
        };
        static constexpr Entry kNames[] = {
            {0, "A"},       {1, "S"},    {2, "D"},     {3, "F"},       {4, "H"},    {5, "G"},   {6, "Z"},
            {7, "X"},       {8, "C"},    {9, "V"},     {11, "B"},      {12, "Q"},   {13, "W"},  {14, "E"},
            {15, "R"},      {16, "Y"},   {17, "T"},    {31, "O"},      {32, "U"},   {34, "I"},  {35, "P"},
            {37, "L"},      {38, "J"},   {40, "K"},    {45, "N"},      {46, "M"},   {36, "Return"},
            {48, "Tab"},    {49, "Space"}, {51, "Delete"}, {122, "F1"}, {120, "F2"}, {99, "F3"},
            {118, "F4"},    {96, "F5"},  {97, "F6"},   {98, "F7"},     {100, "F8"}, {101, "F9"},
            {109, "F10"},   {103, "F11"}, {111, "F12"},
        };
        QHash<quint16, QString> table;
        for (const Entry& e : kNames)
            table.insert(e.code, QString::fromLatin1(e.name));
        return table;
    }();
    const auto it = names.constFind(keyCode);
    return it != names.constEnd() ? *it : QStringLiteral("Key(%1)").arg(keyCode);
}

QString hotkeyDisplayString(quint16 keyCode, const KeyModifiers& modifiers)
{
    return modifiers.displayString() + keyString(keyCode);
}

RecordedHotkey fromCapture(const ShortcutCapture::Result& capture)
{
    if (capture.outcome != ShortcutCapture::Outcome::Record)
        return {capture.outcome, 0, 0, {}};
    return {ShortcutCapture::Outcome::Record, capture.keyCode, hotkeyModifiers(capture.modifiers),
            hotkeyDisplayString(capture.keyCode, capture.modifiers)};
}

RecordedHotkey interpretHotkey(quint32 keysym, const KeyModifiers& modifiers)
{
    return fromCapture(ShortcutCapture::interpret(keysym, modifiers));
}

bool isRecordableButton(int button)
{
    return button >= 2;
}

} // namespace TriggerRecorderRules
