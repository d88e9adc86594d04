// The label of the progress window: as wide as its text up to the client's edge, and painted
// by the window itself so that a long path is cut at folder boundaries and right-to-left
// names read in order. The text is laid out by Uniscribe, which orders it by the
// bidirectional algorithm (the isolates included) and takes the letters the label's font
// lacks from a fallback font.
#include "platform/gui/win32/form.h"

#include <commctrl.h>
#include <usp10.h>

#include <algorithm>
#include <functional>

#include "platform/gui/path_fit.h"

namespace gui::win32 {
namespace {

// One line of text laid out for a device context.
class Line {
  public:
    Line(HDC dc, std::u16string_view text) {
        const int n = static_cast<int>(text.size());
        if (n > 0 &&
            ::ScriptStringAnalyse(dc, text.data(), n, n * 3 / 2 + 16, -1, SSA_GLYPHS | SSA_FALLBACK,
                                  0, nullptr, nullptr, nullptr, nullptr, nullptr, &layout_) != S_OK)
            layout_ = nullptr;
    }
    ~Line() {
        if (layout_) ::ScriptStringFree(&layout_);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;
    int Width() const {
        const SIZE* size = layout_ ? ::ScriptString_pSize(layout_) : nullptr;
        return size ? static_cast<int>(size->cx) : 0;
    }
    void Draw(int x, int y) const {
        if (layout_) ::ScriptStringOut(layout_, x, y, 0, nullptr, 0, 0, FALSE);
    }

  private:
    SCRIPT_STRING_ANALYSIS layout_ = nullptr;
};

} // namespace

// The label is as wide as its text, at least its layout width, and never past the client's
// right edge; a wider text is cut when it is painted.
void Form::PlaceLabel() {
    const FormLayout& l = layout_;
    int width = Scale(l.label_width);
    if (!label_text_.empty()) {
        HDC dc = ::GetDC(label_);
        HGDIOBJ old = ::SelectObject(dc, font_);
        width = std::max(width, Line(dc, label_text_).Width());
        ::SelectObject(dc, old);
        ::ReleaseDC(label_, dc);
    }
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    const int left = Scale(l.label_left);
    width = std::max(0, std::min(width, static_cast<int>(client.right) - left));
    ::MoveWindow(label_, left, Scale(l.label_top), width, Scale(l.label_height), TRUE);
}

void Form::SetLabel(const UnicodeString& text) {
    if (text == label_text_) return;
    label_text_ = text;
    PlaceLabel();
    ::SetWindowTextW(label_, wide(text));
}

void Form::SetPathRoot(const UnicodeString& root) {
    if (root == path_root_) return;
    path_root_ = root;
    ::InvalidateRect(label_, nullptr, TRUE);
}

UnicodeString Form::ShownLabel(HDC dc, int width) const {
    const std::function<int(std::u16string_view)> measure = [dc](std::u16string_view t) {
        return Line(dc, t).Width();
    };
    const std::u16string_view text = label_text_;
    const UnicodeString fitted =
        fit_path(text, find_path(text, std::u16string_view(path_root_), u'\\'), width, measure,
                 std::u16string_view(u"\u2026"), u'\\');
    return isolate_components(fitted, u'\\');
}

void Form::PaintLabel(HWND label) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(label, &ps);
    RECT r{};
    ::GetClientRect(label, &r);
    ::FillRect(dc, &r, background_);
    HGDIOBJ old = ::SelectObject(dc, font_);
    ::SetTextColor(dc, ::GetSysColor(::IsWindowEnabled(label) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    ::SetBkMode(dc, TRANSPARENT);
    Line(dc, ShownLabel(dc, r.right)).Draw(0, 0);
    ::SelectObject(dc, old);
    ::EndPaint(label, &ps);
}

// The label paints its text itself, cut at folder boundaries; the control's text (what a
// screen reader reads), class and style stay those of a plain label.
LRESULT CALLBACK Form::LabelProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                      DWORD_PTR form_address) {
    auto* form = reinterpret_cast<Form*>(form_address);
    switch (msg) {
    case WM_SETTEXT: {
        const LRESULT r = ::DefWindowProcW(hwnd, msg, wp, lp);
        ::InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        form->PaintLabel(hwnd);
        return 0;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, LabelProcedure, 0);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

} // namespace gui::win32
