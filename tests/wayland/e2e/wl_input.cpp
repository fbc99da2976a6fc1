// The tests' mouse and keyboard on a Wayland session: a virtual pointer and a
// virtual keyboard (US layout) driven by lines on standard input:
//   move X Y | down BUTTON | up BUTTON | keydown CODE | keyup CODE | key CODE
// (evdev codes). Each line is answered with "ok" once the compositor has it.
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

void global(void*, wl_registry* r, uint32_t name, const char* iface, uint32_t)
{
    if (!strcmp(iface, wl_seat_interface.name) && !seat)
        seat = static_cast<wl_seat*>(wl_registry_bind(r, name, &wl_seat_interface, 1));
    else if (!strcmp(iface, zwlr_virtual_pointer_manager_v1_interface.name))
        pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(r, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    else if (!strcmp(iface, zwp_virtual_keyboard_manager_v1_interface.name))
        keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(r, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}
void globalRemove(void*, wl_registry*, uint32_t) {}

uint32_t now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint32_t(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}
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
    if (!seat || !pointers || !keyboards) {
        fprintf(stderr, "wl_input: the compositor lacks virtual input\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, seat);
    zwp_virtual_keyboard_v1* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards, seat);

    xkb_context* ctx = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_rule_names names{nullptr, nullptr, "us", nullptr, nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(ctx, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const size_t size = strlen(text) + 1;
    const int fd = memfd_create("wl-input-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != ssize_t(size))
        return 1;
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    close(fd);
    free(text);
    wl_display_roundtrip(display);
    printf("ready\n");
    fflush(stdout);

    char line[256];
    uint32_t mods = 0;
    while (fgets(line, sizeof line, stdin)) {
        char cmd[32] = {};
        unsigned a = 0, b = 0;
        const int n = sscanf(line, "%31s %u %u", cmd, &a, &b);
        if (n < 1)
            continue;
        const std::string c(cmd);
        if (c == "move" && n == 3) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), a, b, width, height);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if ((c == "down" || c == "up") && n == 2) {
            zwlr_virtual_pointer_v1_button(pointer, now(), a, c == "down" ? 1 : 0);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if ((c == "keydown" || c == "keyup" || c == "key") && n == 2) {
            // Modifier state follows the modifier keys, as a real keyboard's would.
            uint32_t bit = 0;
            if (a == 42 || a == 54)
                bit = 1; // Shift
            else if (a == 29 || a == 97)
                bit = 4; // Control
            else if (a == 56 || a == 100)
                bit = 8; // Mod1 (Alt)
            if (c != "keyup") {
                zwp_virtual_keyboard_v1_key(keyboard, now(), a, 1);
                if (bit) {
                    mods |= bit;
                    zwp_virtual_keyboard_v1_modifiers(keyboard, mods, 0, 0, 0);
                }
            }
            if (c != "keydown") {
                zwp_virtual_keyboard_v1_key(keyboard, now(), a, 0);
                if (bit) {
                    mods &= ~bit;
                    zwp_virtual_keyboard_v1_modifiers(keyboard, mods, 0, 0, 0);
                }
            }
        } else {
            printf("error %s", line);
            fflush(stdout);
            continue;
        }
        wl_display_roundtrip(display);
        printf("ok\n");
        fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
