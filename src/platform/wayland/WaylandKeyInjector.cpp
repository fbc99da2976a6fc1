#include "platform/wayland/WaylandKeyInjector.h"

#include "fake-input-client-protocol.h"
#include "platform/PlatformTypes.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/x11/X11KeyTable.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <QDateTime>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {
constexpr quint32 kEvdevOffset = 8; // xkb keycode = evdev code + 8
}

WaylandKeyInjector::WaylandKeyInjector(WaylandConnection* conn, zwp_virtual_keyboard_manager_v1* keyboards,
                                       org_kde_kwin_fake_input* fakeInput, QObject* parent)
    : KeyInjector(parent)
    , m_conn(conn)
    , m_manager(keyboards)
    , m_fake(fakeInput)
{
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    m_release.setSingleShot(true);
    m_release.setTimerType(Qt::PreciseTimer);
    connect(&m_release, &QTimer::timeout, this, [this] {
        if (!m_queue.empty()) {
            press(m_queue.front(), false);
            m_queue.pop_front();
            ++m_sent;
        }
        m_busy = false;
        pump();
    });
    if (m_fake)
        org_kde_kwin_fake_input_authenticate(m_fake, "Rondix", "Send the keys of ring actions");
    // The layout may change while Rondix runs: the next key takes the new one.
    connect(m_conn, &WaylandConnection::seatKeymapChanged, this, [this] {
        if (m_keymap && !m_conn->seatKeymap().isEmpty() && m_conn->seatKeymap() != m_keymapText) {
            xkb_keymap_unref(m_keymap);
            m_keymap = nullptr;
        }
    });
}

WaylandKeyInjector::~WaylandKeyInjector()
{
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    if (m_manager)
        zwp_virtual_keyboard_manager_v1_destroy(m_manager);
    if (m_fake)
        org_kde_kwin_fake_input_destroy(m_fake);
    if (m_keymap)
        xkb_keymap_unref(m_keymap);
    if (m_context)
        xkb_context_unref(m_context);
}

QByteArray WaylandKeyInjector::defaultKeymap()
{
    xkb_context* ctx = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!ctx)
        return {};
    xkb_rule_names names{};
    xkb_keymap* map = xkb_keymap_new_from_names(ctx, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    QByteArray text;
    if (map) {
        char* s = xkb_keymap_get_as_string(map, XKB_KEYMAP_FORMAT_TEXT_V1);
        text = QByteArray(s);
        free(s);
        xkb_keymap_unref(map);
    }
    xkb_context_unref(ctx);
    return text;
}

std::optional<WaylandKeyInjector::KeyChoice> WaylandKeyInjector::findKey(xkb_keymap* keymap, quint32 keysym)
{
    if (!keymap)
        return std::nullopt;
    // Level one first (no Shift), then level two, on the first layout.
    for (xkb_level_index_t level = 0; level < 2; ++level) {
        for (xkb_keycode_t kc = xkb_keymap_min_keycode(keymap); kc <= xkb_keymap_max_keycode(keymap); ++kc) {
            if (kc < kEvdevOffset || xkb_keymap_num_levels_for_key(keymap, kc, 0) <= level)
                continue;
            const xkb_keysym_t* syms = nullptr;
            const int n = xkb_keymap_key_get_syms_by_level(keymap, kc, 0, level, &syms);
            for (int i = 0; i < n; ++i)
                if (syms[i] == keysym)
                    return KeyChoice{kc - kEvdevOffset, level == 1};
        }
    }
    return std::nullopt;
}

bool WaylandKeyInjector::ensureKeymap()
{
    if (m_keymap)
        return true;
    QByteArray text = m_conn->seatKeymap();
    if (text.isEmpty())
        text = defaultKeymap();
    if (text.isEmpty() || !m_context)
        return false;
    m_keymap = xkb_keymap_new_from_string(m_context, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                          XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!m_keymap)
        return false;
    if (m_manager && text != m_keymapText) {
        if (!m_keyboard)
            m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_conn->seat());
        const int fd = memfd_create("rondix-keymap", MFD_CLOEXEC);
        if (fd < 0)
            return false;
        // The compositor wants the terminating NUL too.
        const QByteArray withNul = text + '\0';
        if (write(fd, withNul.constData(), size_t(withNul.size())) != withNul.size()) {
            close(fd);
            return false;
        }
        zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, quint32(withNul.size()));
        close(fd);
        // Without this round trip the compositor may see the first key before
        // it has the keymap, and that key is lost.
        m_conn->roundtrip();
    }
    m_keymapText = text;
    return true;
}

bool WaylandKeyInjector::postKey(quint16 keyCode, quint32 modifiers, int holdMs)
{
    const std::optional<quint32> keysym = X11KeyTable::keysymForVirtualKey(keyCode);
    if (!keysym || !ensureKeymap())
        return false;
    const std::optional<KeyChoice> key = findKey(m_keymap, *keysym);
    if (!key)
        return false;
    m_queue.push_back(Pending{key->evdev, modifiers, key->shift, holdMs});
    pump();
    return true;
}

void WaylandKeyInjector::resume()
{
    pump();
}

void WaylandKeyInjector::pump()
{
    if (m_busy || m_queue.empty())
        return;
    if (m_keyboardTaken && m_keyboardTaken())
        return; // resume() follows when the overlay is gone
    m_busy = true;
    press(m_queue.front(), true);
    m_release.start(std::max(0, m_queue.front().holdMs));
}

quint32 WaylandKeyInjector::xkbMask(quint32 modifiers, bool shift) const
{
    quint32 mask = 0;
    auto add = [&](const char* name) {
        const xkb_mod_index_t i = xkb_keymap_mod_get_index(m_keymap, name);
        if (i != XKB_MOD_INVALID)
            mask |= 1u << i;
    };
    if (shift || (modifiers & ModifierMask::Shift))
        add(XKB_MOD_NAME_SHIFT);
    if (modifiers & ModifierMask::Control)
        add(XKB_MOD_NAME_CTRL);
    if (modifiers & ModifierMask::Option)
        add(XKB_MOD_NAME_ALT);
    if (modifiers & ModifierMask::Command)
        add(XKB_MOD_NAME_LOGO);
    return mask;
}

void WaylandKeyInjector::press(const Pending& key, bool down)
{
    if (m_conn->isBroken())
        return;
    const quint32 state = down ? 1 : 0;
    if (m_keyboard) {
        const quint32 time = quint32(QDateTime::currentMSecsSinceEpoch() & 0xffffffff);
        if (down)
            zwp_virtual_keyboard_v1_modifiers(m_keyboard, xkbMask(key.modifiers, key.shift), 0, 0, 0);
        zwp_virtual_keyboard_v1_key(m_keyboard, time, key.evdev, state);
        if (!down)
            zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
    } else if (m_fake) {
        // KWin applies its own keymap: the modifiers are keys of their own.
        QList<quint32> mods;
        if (key.shift || (key.modifiers & ModifierMask::Shift))
            mods << KEY_LEFTSHIFT;
        if (key.modifiers & ModifierMask::Control)
            mods << KEY_LEFTCTRL;
        if (key.modifiers & ModifierMask::Option)
            mods << KEY_LEFTALT;
        if (key.modifiers & ModifierMask::Command)
            mods << KEY_LEFTMETA;
        if (down) {
            for (quint32 m : std::as_const(mods))
                org_kde_kwin_fake_input_keyboard_key(m_fake, m, 1);
            org_kde_kwin_fake_input_keyboard_key(m_fake, key.evdev, 1);
        } else {
            org_kde_kwin_fake_input_keyboard_key(m_fake, key.evdev, 0);
            for (auto it = mods.crbegin(); it != mods.crend(); ++it)
                org_kde_kwin_fake_input_keyboard_key(m_fake, *it, 0);
        }
    }
    m_conn->flush();
}
