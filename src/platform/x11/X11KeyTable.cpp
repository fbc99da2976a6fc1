#include "platform/x11/X11KeyTable.h"

#include <QHash>

namespace X11KeyTable {
namespace {

struct Pair
{
    int vk;
    quint32 keysym;
};

// Letters and symbols by their position on the ANSI layout, then named keys.
// clang-format off
constexpr Pair kPairs[] = {
    {0, 'a'}, {1, 's'}, {2, 'd'}, {3, 'f'}, {4, 'h'}, {5, 'g'}, {6, 'z'}, {7, 'x'}, {8, 'c'}, {9, 'v'},
    {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'}, {15, 'r'}, {16, 'y'}, {17, 't'}, {18, '1'}, {19, '2'},
    {20, '3'}, {21, '4'}, {22, '6'}, {23, '5'}, {24, '='}, {25, '9'}, {26, '7'}, {27, '-'}, {28, '8'},
    {29, '0'}, {30, ']'}, {31, 'o'}, {32, 'u'}, {33, '['}, {34, 'i'}, {35, 'p'}, {37, 'l'}, {38, 'j'},
    {39, '\''}, {40, 'k'}, {41, ';'}, {42, '\\'}, {43, ','}, {44, '/'}, {45, 'n'}, {46, 'm'}, {47, '.'},
    {49, ' '}, {50, '`'},
    {36, 0xff0d},   // Return
    {48, 0xff09},   // Tab
    {51, 0xff08},   // BackSpace ("Delete" on the ANSI layout)
    {53, 0xff1b},   // Escape
    {54, kSuperR}, {55, kSuperL}, {56, kShiftL}, {57, kCapsLock}, {58, kAltL}, {59, kControlL},
    {60, kShiftR}, {61, kAltR}, {62, kControlR},
    {65, 0xffae},   // KP_Decimal
    {67, 0xffaa},   // KP_Multiply
    {69, 0xffab},   // KP_Add
    {71, 0xff0b},   // Clear
    {72, 0x1008ff13}, // XF86AudioRaiseVolume
    {73, 0x1008ff11}, // XF86AudioLowerVolume
    {74, 0x1008ff12}, // XF86AudioMute
    {75, 0xffaf},   // KP_Divide
    {76, 0xff8d},   // KP_Enter
    {78, 0xffad},   // KP_Subtract
    {81, 0xffbd},   // KP_Equal
    {82, 0xffb0}, {83, 0xffb1}, {84, 0xffb2}, {85, 0xffb3}, {86, 0xffb4},   // KP_0 - KP_4
    {87, 0xffb5}, {88, 0xffb6}, {89, 0xffb7}, {91, 0xffb8}, {92, 0xffb9},   // KP_5 - KP_9
    {122, 0xffbe}, {120, 0xffbf}, {99, 0xffc0}, {118, 0xffc1}, {96, 0xffc2}, {97, 0xffc3},   // F1 - F6
    {98, 0xffc4}, {100, 0xffc5}, {101, 0xffc6}, {109, 0xffc7}, {103, 0xffc8}, {111, 0xffc9}, // F7 - F12
    {105, 0xffca}, {107, 0xffcb}, {113, 0xffcc}, {106, 0xffcd}, {64, 0xffce}, {79, 0xffcf},  // F13 - F18
    {80, 0xffd0}, {90, 0xffd1},                                                             // F19, F20
    {114, 0xff63},  // Help -> Insert
    {115, 0xff50},  // Home
    {116, 0xff55},  // Prior (Page Up)
    {117, 0xffff},  // Delete (forward)
    {119, 0xff57},  // End
    {121, 0xff56},  // Next (Page Down)
    {123, 0xff51}, {124, 0xff53}, {125, 0xff54}, {126, 0xff52}, // Left, Right, Down, Up
};
// clang-format on

const QHash<int, quint32>& vkToSym()
{
    static const QHash<int, quint32> table = [] {
        QHash<int, quint32> t;
        for (const Pair& p : kPairs)
            t.insert(p.vk, p.keysym);
        return t;
    }();
    return table;
}

const QHash<quint32, int>& symToVk()
{
    static const QHash<quint32, int> table = [] {
        QHash<quint32, int> t;
        for (const Pair& p : kPairs)
            t.insert(p.keysym, p.vk);
        return t;
    }();
    return table;
}

} // namespace

std::optional<quint32> keysymForVirtualKey(int virtualKeyCode)
{
    const auto it = vkToSym().constFind(virtualKeyCode);
    if (it == vkToSym().constEnd())
        return std::nullopt;
    return *it;
}

int virtualKeyForKeysym(quint32 keysym)
{
    if (keysym >= 'A' && keysym <= 'Z')
        keysym += 'a' - 'A';
    return symToVk().value(keysym, -1);
}

int buttonFromX(int xButton)
{
    switch (xButton) {
    case 1:
        return 0;
    case 3:
        return 1;
    case 2:
        return 2;
    case 8:
        return 3;
    case 9:
        return 4;
    default:
        return xButton >= 10 ? xButton - 5 : -1;
    }
}

} // namespace X11KeyTable
