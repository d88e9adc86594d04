// The window or the terminal line, chosen when the program first asks for its application
// object. LUMBRAKE_UI=tty or LUMBRAKE_UI=qt forces one; otherwise a display whose connection
// opens gives the window (Wayland first, then X). The toolkit ends the process when its platform
// cannot start, so the display is tried here first, with the system's own client libraries.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/gui/qt/chooser.h"
#include "platform/gui/qt/module.h"
#include "platform/gui/tty/tty.h"
#include "platform/process.h"

namespace gui {
namespace qt {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

template <typename F> F symbol(void* lib, const char* name) {
    return reinterpret_cast<F>(dlsym(lib, name));
}

void* open_client(const char* library, std::string& why) {
    void* lib = dlopen(library, RTLD_LAZY | RTLD_LOCAL);
    if (!lib) why = std::string(library) + " is not installed";
    return lib;
}

bool close_client(void* lib, bool connected, const char* variable, std::string& why) {
    dlclose(lib);
    if (!connected) why = "cannot connect to the display " + env(variable);
    return connected;
}

bool connects_x(std::string& why) {
    void* lib = open_client("libxcb.so.1", why);
    if (!lib) return false;
    auto connect = symbol<void* (*)(const char*, int*)>(lib, "xcb_connect");
    auto has_error = symbol<int (*)(void*)>(lib, "xcb_connection_has_error");
    auto disconnect = symbol<void (*)(void*)>(lib, "xcb_disconnect");
    bool ok = false;
    if (connect && has_error && disconnect) {
        void* c = connect(nullptr, nullptr); // never null: an error object at worst
        ok = has_error(c) == 0;
        disconnect(c);
    }
    return close_client(lib, ok, "DISPLAY", why);
}

bool connects_wayland(std::string& why) {
    void* lib = open_client("libwayland-client.so.0", why);
    if (!lib) return false;
    auto connect = symbol<void* (*)(const char*)>(lib, "wl_display_connect");
    auto disconnect = symbol<void (*)(void*)>(lib, "wl_display_disconnect");
    void* c = connect && disconnect ? connect(nullptr) : nullptr;
    if (c) disconnect(c);
    return close_client(lib, c != nullptr, "WAYLAND_DISPLAY", why);
}

// The toolkit platform that will start, in platform (null: the toolkit's own setting), or
// false with the reason.
bool find_display(bool forced, const char*& platform, std::string& why) {
    const std::string qpa = env("QT_QPA_PLATFORM");
    const std::string first = qpa.substr(0, qpa.find(';'));
    const bool any = first.empty();
    platform = nullptr;
    // A platform without a display (offscreen, vnc...) that the user set for the toolkit.
    if (!any && first != "xcb" && first.rfind("wayland", 0) != 0 && forced) return true;
    const bool wayland = !env("WAYLAND_DISPLAY").empty() && (any || first != "xcb");
    const bool x = !env("DISPLAY").empty() && (any || first == "xcb");
    if (!wayland && !x) {
        why = "no display (DISPLAY and WAYLAND_DISPLAY are not set)";
        return false;
    }
    if (wayland && connects_wayland(why)) {
        if (any) platform = x && connects_x(why) ? "wayland;xcb" : "wayland";
        return true;
    }
    if (x && connects_x(why)) {
        if (any) platform = "xcb";
        return true;
    }
    return false;
}

// The folder of the running program, with its final slash.
std::string program_folder() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

Application& choose() {
    const std::string ui = env("LUMBRAKE_UI");
    if (ui == "tty") return tty_application();
    const bool forced = ui == "qt";
    std::string why;
    const char* platform = nullptr;
    if (find_display(forced, platform, why)) {
        if (Application* app = load_window(platform, why)) return *app;
    }
    // Asked for, or a display named that does not answer: one line says why there is no window.
    if (forced || !env("DISPLAY").empty() || !env("WAYLAND_DISPLAY").empty()) {
        std::fprintf(stderr, "LumbrakeCD: no window (%s); progress is shown here instead\n",
                     why.c_str());
    }
    return tty_application();
}

} // namespace

Application* load_window(const char* platform, std::string& why) {
    static Application* app = nullptr;
    if (app) return app;
    // Installed, the module has a folder of its own, found from the program's folder; in the
    // build tree it is next to the program.
    const std::string folder = program_folder();
    void* module = nullptr;
    for (const std::string& path :
         {folder + LUMBRAKE_QT_MODULE_DIR "/" + kModuleName, folder + kModuleName}) {
        if (access(path.c_str(), F_OK) != 0) continue;
        module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module) break;
        const char* error = dlerror();
        why = error ? error : path + " cannot be loaded";
    }
    if (!module) {
        if (why.empty()) why = std::string(kModuleName) + " is not where the program looks";
        return nullptr;
    }
    auto create = reinterpret_cast<CreateFunction>(dlsym(module, kCreateSymbol));
    static const Host host{::platform::process::take_interrupts};
    app = create ? create(&host, platform) : nullptr;
    if (!app) why = std::string(kModuleName) + " has no window";
    return app;
}

} // namespace qt

Application& builtin_application() {
    static Application& chosen = qt::choose();
    return chosen;
}

} // namespace gui
