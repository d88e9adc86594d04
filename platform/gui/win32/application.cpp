#include "platform/gui/win32/application.h"

#include <commctrl.h>

#include "platform/gui/win32/form.h"

namespace gui {
namespace win32 {

void Win32Application::Initialize() {
    if (initialized_) return;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Form::Procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    // The program's icon, resource 1 of its resource script (title bar and taskbar; the
    // small one is taken from the same resource); the system's where a program has none.
    wc.hIcon = ::LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);
    initialized_ = true;
}

std::unique_ptr<ProgressForm> Win32Application::CreateForm(const FormLayout& layout,
                                                           FormEvents* events) {
    Initialize();
    const bool main = main_ == nullptr;
    auto form = std::make_unique<Form>(this, layout, events, main);
    if (main) {
        main_ = form.get();
        MainWindow(form->hwnd());
    }
    return form;
}

void Win32Application::Run() {
    if (!main_ || !main_->hwnd()) return;
    main_->Show();
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        Dispatch(msg);
}

void Win32Application::Dispatch(MSG& msg) {
    if (main_ && main_->PreTranslate(msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

void Win32Application::Forget(Form* form) {
    if (form == main_) {
        main_ = nullptr;
        MainWindow(nullptr);
    }
}

void Win32Application::Wake() {
    if (HWND h = main_hwnd_.load(std::memory_order_acquire)) ::PostMessageW(h, kMsgWake, 0, 0);
}

// Message boxes are owned by the main window while it is there; this back-end has no
// dialog windows of its own that would take its place.
int Win32Application::Alert(const UnicodeString& text, const UnicodeString& caption,
                            unsigned style) {
    HWND owner = main_hwnd_.load(std::memory_order_relaxed);
    if (owner && !::IsWindow(owner)) owner = nullptr;
    return ::MessageBoxW(owner, wide(text), wide(caption), style);
}

void Win32Application::ShowException(const Exception& e) {
    Alert(e.Message(), title_, MB_OK | MB_ICONERROR);
}

} // namespace win32

Application& builtin_application() {
    static win32::Win32Application app;
    return app;
}

} // namespace gui
