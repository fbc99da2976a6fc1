// A plain X client window for the trigger tests.
//   triggers_window <wm-instance> <wm-class>
// Prints "window <id>" once mapped, then "press <keysym hex> <state hex>" for
// every key press it receives.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s instance class\n", argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t values[] = {screen->white_pixel,
                               XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 100, 100, 240, 160, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    // WM_CLASS is "instance\0class\0".
    const size_t li = std::strlen(argv[1]), lc = std::strlen(argv[2]);
    char* cls = static_cast<char*>(std::calloc(li + lc + 2, 1));
    std::memcpy(cls, argv[1], li);
    std::memcpy(cls + li + 1, argv[2], lc);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(li + lc + 2), cls);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, uint32_t(lc),
                        argv[2]);
    std::free(cls);
    xcb_map_window(c, w);
    xcb_flush(c);

    xcb_key_symbols_t* syms = xcb_key_symbols_alloc(c);
    bool announced = false;
    while (xcb_generic_event_t* ev = xcb_wait_for_event(c)) {
        const uint8_t type = ev->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY && !announced) {
            std::printf("window %u\n", w);
            std::fflush(stdout);
            announced = true;
        } else if (type == XCB_KEY_PRESS) {
            auto* k = reinterpret_cast<xcb_key_press_event_t*>(ev);
            std::printf("press %x %x\n", xcb_key_symbols_get_keysym(syms, k->detail, 0), k->state);
            std::fflush(stdout);
        } else if (type == XCB_MAPPING_NOTIFY) {
            xcb_refresh_keyboard_mapping(syms, reinterpret_cast<xcb_mapping_notify_event_t*>(ev));
        }
        std::free(ev);
    }
    return 0;
}
