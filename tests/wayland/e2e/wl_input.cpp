// The tests' mouse and keyboard on a Wayland session, driven by lines on
// standard input:
//   move X Y | down BUTTON | up BUTTON | keydown CODE | keyup CODE | key CODE
// (evdev codes). Each line is answered with "ok" once the compositor has it.
// On wlroots: a virtual pointer and a virtual keyboard (US layout). On KWin,
// which has neither: its fake input, which feeds the compositor's own seat
// (granted to this program by a desktop file, see run-kwin-session).
#include "fake-input-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {
wl_seat* seat = nullptr;
zwlr_virtual_pointer_manager_v1* pointers = nullptr;
zwp_virtual_keyboard_manager_v1* keyboards = nullptr;
org_kde_kwin_fake_input* fake = nullptr;

void global(void*, wl_registry* r, uint32_t name, const char* iface, uint32_t version)
{
    if (!strcmp(iface, wl_seat_interface.name) && !seat)
        seat = static_cast<wl_seat*>(wl_registry_bind(r, name, &wl_seat_interface, 1));
    else if (!strcmp(iface, zwlr_virtual_pointer_manager_v1_interface.name))
        pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(r, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    else if (!strcmp(iface, zwp_virtual_keyboard_manager_v1_interface.name))
        keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(r, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    else if (!strcmp(iface, org_kde_kwin_fake_input_interface.name) && version >= 4)
        fake = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(r, name, &org_kde_kwin_fake_input_interface, 4));
}
void globalRemove(void*, wl_registry*, uint32_t) {}

uint32_t now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint32_t(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

// What the lines drive.
struct Device
{
    virtual ~Device() = default;
    virtual void move(uint32_t x, uint32_t y) = 0;
    virtual void button(uint32_t button, bool pressed) = 0;
    virtual void key(uint32_t code, bool pressed) = 0;
};

class WlrDevice : public Device
{
public:
    WlrDevice(wl_display* display, uint32_t width, uint32_t height)
        : m_width(width)
        , m_height(height)
        , m_pointer(zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, seat))
        , m_keyboard(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards, seat))
    {
        xkb_context* ctx = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_rule_names names{nullptr, nullptr, "us", nullptr, nullptr};
        xkb_keymap* keymap = xkb_keymap_new_from_names(ctx, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        const size_t size = strlen(text) + 1;
        const int fd = memfd_create("wl-input-keymap", MFD_CLOEXEC);
        if (fd < 0 || write(fd, text, size) != ssize_t(size))
            exit(1);
        zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
        close(fd);
        free(text);
        xkb_keymap_unref(keymap);
        xkb_context_unref(ctx);
        wl_display_roundtrip(display);
    }
    void move(uint32_t x, uint32_t y) override
    {
        zwlr_virtual_pointer_v1_motion_absolute(m_pointer, now(), x, y, m_width, m_height);
        zwlr_virtual_pointer_v1_frame(m_pointer);
    }
    void button(uint32_t button, bool pressed) override
    {
        zwlr_virtual_pointer_v1_button(m_pointer, now(), button, pressed ? 1 : 0);
        zwlr_virtual_pointer_v1_frame(m_pointer);
    }
    void key(uint32_t code, bool pressed) override
    {
        // Modifier state follows the modifier keys, as a real keyboard's would.
        uint32_t bit = 0;
        if (code == 42 || code == 54)
            bit = 1; // Shift
        else if (code == 29 || code == 97)
            bit = 4; // Control
        else if (code == 56 || code == 100)
            bit = 8; // Mod1 (Alt)
        zwp_virtual_keyboard_v1_key(m_keyboard, now(), code, pressed ? 1 : 0);
        if (bit) {
            m_mods = pressed ? m_mods | bit : m_mods & ~bit;
            zwp_virtual_keyboard_v1_modifiers(m_keyboard, m_mods, 0, 0, 0);
        }
    }

private:
    uint32_t m_width, m_height;
    zwlr_virtual_pointer_v1* m_pointer;
    zwp_virtual_keyboard_v1* m_keyboard;
    uint32_t m_mods = 0;
};

// KWin keeps the modifier state of its seat itself.
class FakeInputDevice : public Device
{
public:
    explicit FakeInputDevice(wl_display* display)
    {
        org_kde_kwin_fake_input_authenticate(fake, "rondix_wl_input", "The tests' pointer and keyboard");
        wl_display_roundtrip(display);
    }
    void move(uint32_t x, uint32_t y) override
    {
        org_kde_kwin_fake_input_pointer_motion_absolute(fake, wl_fixed_from_int(int(x)), wl_fixed_from_int(int(y)));
    }
    void button(uint32_t button, bool pressed) override { org_kde_kwin_fake_input_button(fake, button, pressed); }
    void key(uint32_t code, bool pressed) override { org_kde_kwin_fake_input_keyboard_key(fake, code, pressed); }
};
} // namespace

int main(int argc, char** argv)
{
    const uint32_t width = argc > 2 ? uint32_t(atoi(argv[1])) : 1280;
    const uint32_t height = argc > 2 ? uint32_t(atoi(argv[2])) : 800;
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        fprintf(stderr, "wl_input: no compositor\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    static const wl_registry_listener listener = {global, globalRemove};
    wl_registry_add_listener(registry, &listener, nullptr);
    wl_display_roundtrip(display);
    Device* device = nullptr;
    if (seat && pointers && keyboards)
        device = new WlrDevice(display, width, height);
    else if (fake)
        device = new FakeInputDevice(display);
    if (!device) {
        fprintf(stderr, "wl_input: the compositor lacks virtual input\n");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        char cmd[32] = {};
        unsigned a = 0, b = 0;
        const int n = sscanf(line, "%31s %u %u", cmd, &a, &b);
        if (n < 1)
            continue;
        const std::string c(cmd);
        if (c == "move" && n == 3) {
            device->move(a, b);
        } else if ((c == "down" || c == "up") && n == 2) {
            device->button(a, c == "down");
        } else if ((c == "keydown" || c == "keyup" || c == "key") && n == 2) {
            if (c != "keyup")
                device->key(a, true);
            if (c != "keydown")
                device->key(a, false);
        } else {
            printf("error %s", line);
            fflush(stdout);
            continue;
        }
        wl_display_roundtrip(display);
        printf("ok\n");
        fflush(stdout);
    }
    delete device;
    wl_display_disconnect(display);
    return 0;
}
