// A window, a window class, and the per-window state that the message machinery keeps.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace zv {

class Surface;

// What a class tells the window manager beyond WNDCLASS.
struct ClassTraits {
    // Nonzero: the class's windows let the stylus through to their parent unless they have one
    // of these style bits (a label or picture that does not notify).
    DWORD stylus_through_unless = 0;
};

struct WindowClass {
    std::u16string name;
    ClassTraits traits;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int window_extra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HBRUSH background = nullptr;
};

// State of a built-in control or dialog, hung off its window (never a global).
class WindowExtension {
public:
    virtual ~WindowExtension() = default;
};

struct Window {
    HWND handle = nullptr;
    const WindowClass* cls = nullptr;
    WNDPROC proc = nullptr;
    HWND parent = nullptr;       // WS_CHILD: the parent; popup: the owner
    std::vector<HWND> children;  // z-order, topmost first
    DWORD style = 0;
    DWORD ex_style = 0;
    std::u16string text;
    RECT rect{};  // window rectangle: parent-client coordinates for children, screen for top-level
    UINT id = 0;
    HINSTANCE instance = nullptr;
    LONG_PTR user_data = 0;
    std::vector<LONG_PTR> extra;  // DWL_/extra window bytes, as LONG_PTR slots
    RECT invalid{};               // client coordinates; empty when valid
    bool erase_pending = false;
    bool destroyed = false;    // WM_DESTROY sent; the handle is being torn down
    bool full_screen = false;  // asked the shell for the whole screen
    // Made by the dialog manager: when the screen turns, it is given the new screen if it asked
    // for the full screen or covered the old one.
    bool turns_with_screen = false;
    HFONT font = nullptr;
    std::shared_ptr<Surface> surface;  // top-level windows only
    std::unique_ptr<WindowExtension> extension;

    bool is_child() const { return (style & WS_CHILD) != 0; }
    bool visible() const { return (style & WS_VISIBLE) != 0; }
    bool enabled() const { return (style & WS_DISABLED) == 0; }
    int width() const { return rect.right - rect.left; }
    int height() const { return rect.bottom - rect.top; }
};

}  // namespace zv
