#include "settings/KeyCodeHelper.h"

#include <QHash>

namespace {

struct NamedKey
{
    quint16 code;
    const char* name; // UTF-8
};

// Names for recorded key codes. The order of the letters follows the physical
// layout numbering, not the alphabet.
constexpr NamedKey kKeyNames[] = {
    {0, "A"},      {1, "S"},      {2, "D"},         {3, "F"},
    {4, "H"},      {5, "G"},      {6, "Z"},         {7, "X"},
    {8, "C"},      {9, "V"},      {11, "B"},        {12, "Q"},
    {13, "W"},     {14, "E"},     {15, "R"},        {16, "Y"},
    {17, "T"},     {18, "1"},     {19, "2"},        {20, "3"},
    {21, "4"},     {22, "6"},     {23, "5"},        {24, "="},
    {25, "9"},     {26, "7"},     {27, "-"},        {28, "8"},
    {29, "0"},     {30, "]"},     {31, "O"},        {32, "U"},
    {33, "["},     {34, "I"},     {35, "P"},        {36, "Return"},
    {37, "L"},     {38, "J"},     {39, "'"},        {40, "K"},
    {41, ";"},     {42, "\\"},    {43, ","},        {44, "/"},
    {45, "N"},     {46, "M"},     {47, "."},        {48, "Tab"},
    {49, "Space"}, {50, "`"},     {51, "Delete"},   {53, "Esc"},
    {96, "F5"},    {97, "F6"},    {98, "F7"},       {99, "F3"},
    {100, "F8"},   {101, "F9"},   {103, "F11"},     {109, "F10"},
    {111, "F12"},  {115, "Home"}, {116, "Page Up"}, {117, "Forward Delete"},
    {118, "F4"},   {119, "End"},  {120, "F2"},      {121, "Page Down"},
    {122, "F1"},   {123, "←"},    {124, "→"},       {125, "↓"},
    {126, "↑"},
};

// Characters a user may type for a key. Deliberately narrower than the name
// table: "'" and "`" have names but no typed form, and multi-letter names
// ("Tab", "F5") are never typed as one character.
constexpr NamedKey kTypedKeys[] = {
    {0, "a"},  {1, "s"},  {2, "d"},  {3, "f"},  {4, "h"},  {5, "g"},  {6, "z"},  {7, "x"},
    {8, "c"},  {9, "v"},  {11, "b"}, {12, "q"}, {13, "w"}, {14, "e"}, {15, "r"}, {16, "y"},
    {17, "t"}, {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {22, "6"}, {23, "5"}, {24, "="},
    {25, "9"}, {26, "7"}, {27, "-"}, {28, "8"}, {29, "0"}, {30, "]"}, {31, "o"}, {32, "u"},
    {33, "["}, {34, "i"}, {35, "p"}, {37, "l"}, {38, "j"}, {40, "k"}, {41, ";"}, {42, "\\"},
    {43, ","}, {44, "/"}, {45, "n"}, {46, "m"}, {47, "."}, {49, " "},
};

template<std::size_t N> QHash<quint16, QString> namesByCode(const NamedKey (&table)[N])
{
    QHash<quint16, QString> result;
    for (const NamedKey& entry : table)
        result.insert(entry.code, QString::fromUtf8(entry.name));
    return result;
}

template<std::size_t N> QHash<QString, quint16> codesByName(const NamedKey (&table)[N])
{
    QHash<QString, quint16> result;
    for (const NamedKey& entry : table)
        result.insert(QString::fromUtf8(entry.name), entry.code);
    return result;
}

} // namespace

namespace KeyCodeHelper {

QString keyName(quint16 keyCode)
{
    static const QHash<quint16, QString> names = namesByCode(kKeyNames);
    const auto it = names.constFind(keyCode);
    if (it != names.constEnd())
        return *it;
    return QStringLiteral("Key(%1)").arg(keyCode);
}

std::optional<quint16> keyCode(const QString& text)
{
    static const QHash<QString, quint16> codes = codesByName(kTypedKeys);
    // Every typed key is a single character, so comparing the whole lowered
    // text also rejects texts that only start with a known character.
    const auto it = codes.constFind(text.toLower());
    if (it == codes.constEnd())
        return std::nullopt;
    return *it;
}

} // namespace KeyCodeHelper
