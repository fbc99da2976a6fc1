// Holds a key grab on the root window, as another application's global
// shortcut would.   triggers_grabber <keysym hex | #keycode> <modifier state hex>
// Grabs the chord with and without Caps Lock / Num Lock, prints "grabbed" and
// keeps the grab until it is killed.
#include <cstdio>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const auto mods = uint16_t(std::strtoul(argv[2], nullptr, 16));
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // "#38": that keycode, whatever the keymap has on it (or nothing).
    xcb_keycode_t byNumber[] = {0, XCB_NO_SYMBOL};
    xcb_keycode_t* codes = byNumber;
    if (argv[1][0] == '#') {
        byNumber[0] = xcb_keycode_t(std::strtoul(argv[1] + 1, nullptr, 10));
    } else {
        xcb_key_symbols_t* syms = xcb_key_symbols_alloc(c);
        codes = xcb_key_symbols_get_keycode(syms, xcb_keysym_t(std::strtoul(argv[1], nullptr, 16)));
    }
    if (!codes || codes[0] == XCB_NO_SYMBOL)
        return 3;
    const uint16_t locks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};
    for (uint16_t lock : locks) {
        xcb_generic_error_t* err =
            xcb_request_check(c, xcb_grab_key_checked(c, 1, root, uint16_t(mods | lock), codes[0],
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (err) {
            std::printf("refused %d\n", err->error_code);
            return 4;
        }
    }
    std::printf("grabbed\n");
    std::fflush(stdout);
    while (xcb_generic_event_t* ev = xcb_wait_for_event(c))
        std::free(ev);
    return 0;
}
