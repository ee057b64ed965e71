// The static control: a picture named by the creation title sizes it and is its own until handed
// out; pictures and labels paint with the parent's colours; taps notify the parent.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "gdi/gdi_internal.h"
#include "resources/resource.h"
#include "resources/resource_access.h"
#include "tests/platform/controls/control_fixture.h"

namespace {

using namespace zv::test;

class StaticControl : public ControlFixture {
protected:
    void SetUp() override
    {
        ControlFixture::SetUp();
        log.only({WM_COMMAND, WM_LBUTTONDOWN});
        log.react = [this](HWND, UINT msg, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
            if (msg == WM_COMMAND && destroy_on_click_) DestroyWindow(reinterpret_cast<HWND>(lp));
            if (msg != WM_CTLCOLORSTATIC) return std::nullopt;
            auto dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, RGB(255, 255, 255));
            SetBkColor(dc, RGB(255, 0, 0));  // a red box would show if the text went opaque
            SetBkMode(dc, 0);                // neither mode: refused, so the text stays transparent
            return reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
        };
    }

    HWND make(LPCWSTR title, DWORD style, int x, int y, int w = 1, int h = 1, UINT id = 0)
    {
        return CreateWindowEx(0, u"STATIC", title, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent_,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), platform_->module(), NULL);
    }
    static std::vector<LONG> rect(HWND h)  // the parent sits at the screen's origin
    {
        RECT r{};
        GetWindowRect(h, &r);
        return {r.left, r.top, r.right, r.bottom};
    }
    static LRESULT set_image(HWND h, WPARAM type, HANDLE image)
    {
        return SendMessage(h, STM_SETIMAGE, type, reinterpret_cast<LPARAM>(image));
    }

    bool destroy_on_click_ = false;
};

TEST_F(StaticControl, PicturesSizeTheControlAndAreItsOwnUntilHandedOut)
{
    HWND button = make(MAKEINTRESOURCE(IDB_PLAYPAUSE), SS_BITMAP, 10, 20);
    HWND icon = make(MAKEINTRESOURCE(IDI_APP), SS_ICON, 100, 20);
    auto icon_image = reinterpret_cast<HICON>(SendMessage(icon, STM_GETIMAGE, IMAGE_ICON, 0));
    auto from_template = reinterpret_cast<HBITMAP>(SendMessage(button, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_TRUE(zv::icon_pixels(icon_image) && from_template);
    EXPECT_EQ(rect(button), (std::vector<LONG>{10, 20, 58, 60}));
    EXPECT_EQ(rect(icon), (std::vector<LONG>{100, 20, 100 + zv::icon_pixels(icon_image)->width, 52}));
    EXPECT_EQ(rect(make(u"", SS_BITMAP, 10, 100, 50, 30)), (std::vector<LONG>{10, 100, 60, 130}));
    EXPECT_EQ(rect(make(MAKEINTRESOURCE(9999), SS_BITMAP, 10, 140, 50, 30)), (std::vector<LONG>{10, 140, 60, 170}));

    HBITMAP background = LoadBitmap(platform_->module(), MAKEINTRESOURCE(IDB_BACKGROUND));
    EXPECT_EQ(SendMessage(icon, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "an icon is no bitmap";
    EXPECT_EQ(set_image(button, IMAGE_ICON, background), 0);
    EXPECT_EQ(set_image(button, IMAGE_BITMAP, GetStockObject(BLACK_BRUSH)), 0);
    EXPECT_EQ(set_image(button, IMAGE_BITMAP, background), reinterpret_cast<LRESULT>(from_template));
    EXPECT_EQ(set_image(button, IMAGE_BITMAP, nullptr), reinterpret_cast<LRESULT>(background));
    EXPECT_EQ(rect(button), (std::vector<LONG>{10, 20, 250, 340})) << "resized; no picture keeps the last size";

    // Destruction frees only what the statics still own.
    DestroyWindow(button);
    DestroyWindow(icon);
    EXPECT_FALSE(zv::icon_pixels(icon_image));
    EXPECT_TRUE(DeleteObject(from_template) && DeleteObject(background)) << "handed-out pictures live on";
    EXPECT_EQ(SendMessage(button, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);

    pump();
    const std::size_t before = zv::GdiState::current()->object_count();
    const LPCWSTR names[] = {MAKEINTRESOURCE(IDB_PLAYPAUSE), MAKEINTRESOURCE(IDB_PLAYPAUSE_HIGHLIGHT)};
    HWND swapped = make(names[0], SS_BITMAP, 0, 0);
    for (int i = 0; i < 1000; ++i) {
        DestroyWindow(make(names[i % 2], SS_BITMAP, i % 200, 0));
        DeleteObject(
            reinterpret_cast<HGDIOBJ>(set_image(swapped, IMAGE_BITMAP, LoadBitmap(platform_->module(), names[i % 2]))));
        if (i % 100 == 0) pump();  // paint some
    }
    auto last = reinterpret_cast<HGDIOBJ>(SendMessage(swapped, STM_GETIMAGE, IMAGE_BITMAP, 0));
    DestroyWindow(swapped);
    EXPECT_TRUE(DeleteObject(last)) << "a picture given by STM_SETIMAGE stays the caller's";
    pump();
    EXPECT_EQ(zv::GdiState::current()->object_count(), before);
}

TEST_F(StaticControl, PicturesAndLabelsReachTheScreenWithTheParentsColours)
{
    make(MAKEINTRESOURCE(IDB_PLAYPAUSE_HIGHLIGHT), SS_BITMAP, 30, 50);
    HWND icon = make(MAKEINTRESOURCE(IDI_APP), SS_ICON, 100, 150);
    make(u"&Play", SS_CENTER | SS_NOPREFIX, 20, 250, 200, 24);
    make(u"&Play", SS_CENTER, 20, 280, 200, 24);
    pump();
    const zv::Surface shot = backend().screen();
    EXPECT_EQ(shot.pixel(30 + 10, 50 + 36), 0x0075E7u);
    auto px = zv::icon_pixels(reinterpret_cast<HICON>(SendMessage(icon, STM_GETIMAGE, IMAGE_ICON, 0)));
    ASSERT_TRUE(px);
    for (int i = 0; i < px->width * px->height; ++i) {  // blended over the parent's black
        const std::uint32_t argb = px->argb[static_cast<std::size_t>(i)], a = argb >> 24;
        std::uint32_t want = 0;
        for (int shift = 0; shift <= 16; shift += 8) want |= (((argb >> shift & 0xFF) * a + 127) / 255) << shift;
        ASSERT_EQ(shot.pixel(100 + i % px->width, 150 + i / px->width), want) << i;
    }
    // White glyphs (grey edges) over black, centred, with no box in the DC's red; the '&' shows
    // only with SS_NOPREFIX (without, it underlines the P).
    bool grey = true;
    auto ink = [&](int top) {
        int left = 200, right = -1;
        for (int y = top; y < top + 24; ++y)
            for (int x = 20; x < 220; ++x) {
                const std::uint32_t p = shot.pixel(x, y);
                grey = grey && (p >> 16) == (p & 0xFF) && (p >> 8 & 0xFF) == (p & 0xFF);
                if (p) left = std::min(left, x - 20), right = std::max(right, x - 20);
            }
        return std::pair{left, right};
    };
    const auto [left, right] = ink(250);
    const auto [plain_left, plain_right] = ink(280);
    EXPECT_TRUE(grey && right >= left);
    EXPECT_LE(std::abs((left + right) / 2 - 100), 3);
    EXPECT_GT(right - left, plain_right - plain_left + 4);
}

TEST_F(StaticControl, TapsNotifyByTimeAndDistance)
{
    HWND button = make(MAKEINTRESOURCE(IDB_PLAYPAUSE), SS_BITMAP | SS_NOTIFY, 20, 20, 1, 1, 1009);
    HWND plain = make(MAKEINTRESOURCE(IDB_PLAYPAUSE), SS_BITMAP, 100, 100);
    // Within 500 ms and 4 px a tap doubles; a third quick tap starts over.
    const struct {
        UINT wait_ms;
        int x, y;
        WORD code;
    } steps[] = {{0, 30, 30, STN_CLICKED},   {100, 30, 30, STN_DBLCLK},  {100, 30, 30, STN_CLICKED},
                 {500, 30, 30, STN_CLICKED}, {100, 40, 30, STN_CLICKED}, {100, 44, 34, STN_DBLCLK}};
    for (const auto& s : steps) {
        if (s.wait_ms) advance(s.wait_ms);
        log.clear();
        tap(s.x, s.y);
        EXPECT_SEQUENCE(log, parent_, {command(1009, button, s.code)}) << s.x << " after " << s.wait_ms;
    }

    tap(110, 105);
    EXPECT_SEQUENCE(log, parent_, {{WM_LBUTTONDOWN, posted | lparam, 0, MAKELPARAM(110, 105)}})
        << "no SS_NOTIFY: to the parent, in its terms";
    EnableWindow(button, FALSE);
    tap(30, 30);
    SendMessage(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessage(plain, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_SEQUENCE(log, parent_, {{WM_LBUTTONDOWN, posted}}) << "disabled, or without SS_NOTIFY, it says nothing";

    EnableWindow(button, TRUE);
    destroy_on_click_ = true;
    tap(30, 30);
    EXPECT_SEQUENCE(log, parent_, {command(1009, button, STN_CLICKED)});
    EXPECT_FALSE(IsWindow(button));
    EXPECT_EQ(SendMessage(button, WM_LBUTTONDOWN, MK_LBUTTON, 0), 0);
}

}  // namespace
