// What the built-in controls share when they paint: the WM_PAINT answer, and the text state of a
// DC borrowed for the paint, given back when the paint ends.
#pragma once
#include <windows.h>

namespace zv {

// A DC in wParam is painted into directly (a parent drawing the control into its own buffer, as
// the common controls allow); otherwise a normal paint cycle.
template <class Paint>
LRESULT paint_message(HWND h, WPARAM wp, Paint paint)
{
    if (wp) {
        paint(reinterpret_cast<HDC>(wp));
        return 0;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (dc) paint(dc);
    EndPaint(h, &ps);
    return 0;
}

// Sets transparent text in `color` and `font` (when given), and restores all three on leaving.
class BorrowedTextState {
public:
    BorrowedTextState(HDC dc, COLORREF color, HFONT font)
        : dc_(dc),
          old_color_(SetTextColor(dc, color)),
          old_mode_(SetBkMode(dc, TRANSPARENT)),
          old_font_(font ? SelectObject(dc, font) : nullptr)
    {
    }
    ~BorrowedTextState()
    {
        if (old_font_) SelectObject(dc_, old_font_);
        if (old_mode_) SetBkMode(dc_, old_mode_);
        if (old_color_ != CLR_INVALID) SetTextColor(dc_, old_color_);
    }
    BorrowedTextState(const BorrowedTextState&) = delete;
    BorrowedTextState& operator=(const BorrowedTextState&) = delete;

private:
    HDC dc_;
    COLORREF old_color_;
    int old_mode_;
    HGDIOBJ old_font_;
};

}  // namespace zv
