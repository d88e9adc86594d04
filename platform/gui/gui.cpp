#include "platform/gui/gui.h"

#include <atomic>
#include <exception>

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

namespace {
UnicodeString from_utf8(const char* text) {
    const int n = static_cast<int>(std::char_traits<char>::length(text));
    if (n == 0) return {};
    UnicodeString out(static_cast<size_t>(to_wide(kUtf8CodePage, text, n, nullptr, 0)) + 1, u'\0');
    out.resize(static_cast<size_t>(
        to_wide(kUtf8CodePage, text, n, out.data(), static_cast<int>(out.size()))));
    return out;
}
} // namespace

Exception current_exception() {
    try {
        throw;
    } catch (Exception* e) {
        Exception copy = e ? *e : Exception(u"Unknown error");
        delete e;
        return copy;
    } catch (const Exception& e) {
        return e;
    } catch (const char* text) {
        return Exception(from_utf8(text ? text : ""));
    } catch (const std::exception& e) {
        return Exception(from_utf8(e.what()));
    } catch (...) {
        return Exception(u"Unknown error");
    }
}

} // namespace gui
