#include "platform/gui/gui.h"

#include <atomic>

#include "platform/codepage.h"

namespace gui {
namespace {
std::atomic<Application*> g_app{nullptr};
}

Application& application() {
    Application* a = g_app.load(std::memory_order_acquire);
    return a ? *a : builtin_application();
}

void set_application(Application* app) {
    g_app.store(app, std::memory_order_release);
}

std::string to_utf8(const UnicodeString& text) {
    const int n = static_cast<int>(text.size());
    if (n == 0) return {};
    std::string out(static_cast<size_t>(from_wide(kUtf8CodePage, text.data(), n, nullptr, 0)) + 1,
                    '\0');
    from_wide(kUtf8CodePage, text.data(), n, out.data(), static_cast<int>(out.size()));
    out.resize(std::char_traits<char>::length(out.c_str()));
    return out;
}

} // namespace gui
