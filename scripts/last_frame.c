/* Preloaded into the program by scripts/screenshot.sh, to picture a window's last frame: the
 * moment the program takes the window named LAST_FRAME_TITLE off the screen (the Qt window
 * through xcb, Wine's through Xlib), everything it sent the X server before is waited for and
 * LAST_FRAME_COMMAND runs, once, before the window goes.
 *   cc -shared -fPIC -o last_frame.so last_frame.c -lX11 -lxcb -ldl */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>

static int taken;

static int wanted(const char* name) {
    const char* title = getenv("LAST_FRAME_TITLE");
    return !taken && name && title && strcmp(name, title) == 0;
}

static void take(void) {
    const char* command = getenv("LAST_FRAME_COMMAND");
    taken = 1;
    if (command) (void)!system(command);
}

static void xcb_before(xcb_connection_t* c, xcb_window_t w) {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), NULL);
    if (!r) return;
    char name[257] = {0};
    const int n = xcb_get_property_value_length(r);
    memcpy(name, xcb_get_property_value(r), n < 256 ? (size_t)n : 256);
    free(r);
    if (!wanted(name)) return;
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL));
    take();
}

xcb_void_cookie_t xcb_unmap_window(xcb_connection_t* c, xcb_window_t w) {
    static xcb_void_cookie_t (*real)(xcb_connection_t*, xcb_window_t);
    if (!real) real = (xcb_void_cookie_t(*)(xcb_connection_t*, xcb_window_t))dlsym(RTLD_NEXT, "xcb_unmap_window");
    xcb_before(c, w);
    return real(c, w);
}

static void xlib_before(Display* d, Window w) {
    char* name = NULL;
    if (!XFetchName(d, w, &name)) return;
    const int yes = wanted(name);
    XFree(name);
    if (!yes) return;
    XSync(d, False);
    take();
}

int XUnmapWindow(Display* d, Window w) {
    static int (*real)(Display*, Window);
    if (!real) real = (int (*)(Display*, Window))dlsym(RTLD_NEXT, "XUnmapWindow");
    xlib_before(d, w);
    return real(d, w);
}

int XDestroyWindow(Display* d, Window w) {
    static int (*real)(Display*, Window);
    if (!real) real = (int (*)(Display*, Window))dlsym(RTLD_NEXT, "XDestroyWindow");
    xlib_before(d, w);
    return real(d, w);
}
