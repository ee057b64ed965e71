// The program's real resources, as compiled from resources/zorvane.rc and embedded.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "dialogs/dialog_template.h"
#include "gdi/gdi_internal.h"
#include "resources/dib.h"
#include "resources/resource_access.h"
#include "resources/resource_blob.h"
#include "resources/resource_table.h"
#include "windows.h"

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

Rgb rgb_of(std::uint32_t p)
{
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
}

class EmbeddedResources : public ::testing::Test {
protected:
    zv::GdiState gdi;
    // Optional so that a test can end the table's lifetime.
    std::optional<zv::ResourceTable> table{std::in_place,
                                           std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size)};
    HINSTANCE inst = table->instance();

    std::span<const std::uint8_t> bytes(LPCWSTR name, LPCWSTR type)
    {
        HRSRC r = FindResourceW(inst, name, type);
        if (!r) return {};
        auto* p = static_cast<const std::uint8_t*>(LockResource(LoadResource(inst, r)));
        return p ? std::span<const std::uint8_t>(p, SizeofResource(inst, r)) : std::span<const std::uint8_t>{};
    }

    zv::DecodedDib bitmap(int id)
    {
        auto d = zv::decode_dib(bytes(MAKEINTRESOURCE(id), RT_BITMAP));
        EXPECT_TRUE(d) << "bitmap " << id;
        return d ? *d : zv::DecodedDib{};
    }

    static Rgb px(const zv::DecodedDib& d, int x, int y)
    {
        return rgb_of(d.pixels[static_cast<std::size_t>(y) * d.width + x]);
    }

    std::vector<std::uint16_t> words(std::span<const std::uint8_t> b)
    {
        std::vector<std::uint16_t> w;
        for (std::size_t i = 0; i + 1 < b.size(); i += 2) w.push_back(static_cast<std::uint16_t>(b[i] | b[i + 1] << 8));
        return w;
    }
};

TEST_F(EmbeddedResources, StringsAcceleratorsMenuMarkerBitmapsAndIcons)
{
    const std::tuple<HINSTANCE, UINT, int, int, std::u16string> strings[] = {
        {inst, 1, 100, 4, u"Vemo"},    {inst, 2, 100, 4, u"VEMO"},
        {inst, 103, 100, 2, u"OK"},    {inst, 104, 100, 4, u"HELP"},
        {inst, 1, 3, 2, u"Ve"},  // cut to buffer - 1 characters, always terminated
        {inst, 1, 1, 0, u""},          {inst, 500, 1, 0, u""},
        {inst, 3, 100, 0, u""},  // missing in a present block, and in an absent one
        {inst, 500, 100, 0, u""},      {reinterpret_cast<HINSTANCE>(0x1234), 1, 100, 0, u""},
        {nullptr, 1, 100, 4, u"Vemo"},  // null is the program's own module
    };
    for (const auto& [module, id, size, length, text] : strings) {
        WCHAR buf[100] = {u'x'};
        EXPECT_EQ(LoadStringW(module, id, buf, size), length) << id << " into " << size;
        EXPECT_EQ(std::u16string(buf), text) << id << " into " << size;
    }
    WCHAR buf[4];
    EXPECT_EQ(LoadStringW(inst, 1, nullptr, 100), 0);
    EXPECT_EQ(LoadStringW(inst, 1, buf, -1), 0);
    // Buffer size 0: a read-only pointer to the unterminated text.
    const WCHAR* text = nullptr;
    EXPECT_EQ(LoadStringW(inst, 2, reinterpret_cast<LPWSTR>(&text), 0), 4);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, 4), u"VEMO");

    // As stored: 8-byte entries, the last one flagged with 0x80.
    EXPECT_EQ(words(bytes(MAKEINTRESOURCE(2), RT_ACCELERATOR)),
              (std::vector<std::uint16_t>{0x0B, 0x41, 40002, 0, 0x8B, 0x51, 40000, 0}));
    HACCEL a = LoadAcceleratorsW(inst, MAKEINTRESOURCE(2));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(LoadAccelerators(inst, MAKEINTRESOURCE(2)), a) << "one table per resource";
    auto e = zv::accelerator_entries(a);
    ASSERT_EQ(e.size(), 2u);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(e[i].fVirt, FVIRTKEY | FNOINVERT | FCONTROL);
    EXPECT_EQ((std::vector<int>{e[0].key, e[0].cmd, e[1].key, e[1].cmd}), (std::vector<int>{'A', 40002, 'Q', 40000}));
    EXPECT_EQ(LoadAcceleratorsW(inst, MAKEINTRESOURCE(3)), nullptr);
    EXPECT_TRUE(zv::accelerator_entries(nullptr).empty());
    EXPECT_TRUE(zv::accelerator_entries(reinterpret_cast<HACCEL>(0x5555)).empty());

    // The menu-bar definition, the menu and the high-resolution marker.
    EXPECT_EQ(words(bytes(MAKEINTRESOURCE(102), RT_RCDATA)),
              (std::vector<std::uint16_t>{102, 2, 0xFFFE, 40000, 4, 0x10, 103, 0, 0xFFFF, 0xFFFE, 40001, 4, 0x18, 104,
                                          0, 0}));
    EXPECT_EQ(words(bytes(MAKEINTRESOURCE(102), RT_MENU)),
              (std::vector<std::uint16_t>{0, 0, 0x90, 'H', 'e', 'l', 'p', 0, 0x80, 40002, 'A', 'b', 'o', 'u', 't', 0}));
    EXPECT_EQ(words(bytes(u"HI_RES_AWARE", u"CEUX")), std::vector<std::uint16_t>{1});
    EXPECT_EQ(words(bytes(u"hi_res_aware", u"ceux")), std::vector<std::uint16_t>{1}) << "names ignore case";
    EXPECT_EQ((std::vector<std::size_t>{bytes(u"#102", u"#10").size(), bytes(u"#2", u"#9").size()}),
              (std::vector<std::size_t>{32, 16}))
        << "#n names number n";
    EXPECT_TRUE(bytes(u"#102", u"#:").empty() && bytes(u"#65638", u"#10").empty())
        << "only digits, and only up to 65535, make a number";

    // The background's rows.
    auto raw = bytes(MAKEINTRESOURCE(129), RT_BITMAP);
    ASSERT_GE(raw.size(), 40u + 1024u);
    EXPECT_EQ(raw[14], 8) << "8 bits per pixel";
    zv::DecodedDib d = bitmap(129);
    ASSERT_EQ(d.width, 240);
    ASSERT_EQ(d.height, 320);
    auto row = [&](int y) { return px(d, 120, y); };
    // Every row is one colour.
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; x += 37) ASSERT_EQ(px(d, x, y), row(y));

    EXPECT_EQ(row(0), (Rgb{153, 153, 153}));
    for (int y = 1; y < 10; ++y) {
        EXPECT_LT(row(y).r, row(y - 1).r) << "fading at row " << y;
        EXPECT_EQ(row(y), (Rgb{row(y).r, row(y).r, row(y).r})) << "grey";
    }
    EXPECT_GT(std::min(row(37).r, row(38).r), 40);
    int brightest = 247;
    for (int y = 247; y < 290; ++y) {
        EXPECT_GT(row(y).r, 0) << y;
        if (row(y).r > row(brightest).r) brightest = y;
    }
    EXPECT_NEAR(brightest, 250, 1);
    for (int y = 10; y < 320; ++y)
        if (y < 37 || (y > 38 && y < 247) || y >= 290) {
            EXPECT_EQ(row(y), (Rgb{0, 0, 0})) << y;
        }

    // Through LoadBitmap: a new GDI bitmap the caller owns at each load.
    HBITMAP bg = LoadBitmap(inst, MAKEINTRESOURCE(129));
    ASSERT_NE(bg, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(bg, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ((std::vector<LONG>{info.bmWidth, info.bmHeight}), (std::vector<LONG>{240, 320}));
    EXPECT_EQ((std::vector<std::uint32_t>{zv::bitmap_surface(bg)->pixel(0, 0), zv::bitmap_surface(bg)->pixel(239, 20)}),
              (std::vector<std::uint32_t>{0x999999, 0}));
    HBITMAP pressed = LoadBitmapW(inst, MAKEINTRESOURCE(176));
    ASSERT_NE(pressed, nullptr);
    EXPECT_EQ(zv::bitmap_surface(pressed)->pixel(10, 36), 0x0075E7u);
    HBITMAP again = LoadBitmapW(inst, MAKEINTRESOURCE(176));
    EXPECT_NE(again, pressed);
    for (HBITMAP b : {again, pressed, bg}) EXPECT_TRUE(DeleteObject(b));
    EXPECT_EQ(LoadBitmapW(inst, MAKEINTRESOURCE(131)), nullptr) << "a dialog, not a bitmap";
    EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCE(129)), nullptr);
    EXPECT_EQ(LoadBitmapW(inst, MAKEINTRESOURCE(101)), nullptr);

    // Every bitmap and icon has its size, depth and colours.
    const std::array<int, 3> all[] = {{130, 30, 34},  {137, 194, 209}, {140, 240, 78}, {141, 240, 78}, {144, 30, 34},
                                      {145, 30, 34},  {147, 37, 36},   {152, 50, 23},  {153, 50, 23},  {156, 37, 36},
                                      {157, 121, 50}, {158, 37, 36},   {159, 37, 36},  {160, 27, 27},  {161, 85, 68},
                                      {162, 27, 27},  {165, 48, 40},   {166, 240, 82}, {167, 58, 55},  {168, 64, 55},
                                      {169, 56, 52},  {170, 30, 30},   {171, 48, 40},  {172, 48, 40},  {173, 48, 40},
                                      {174, 48, 40},  {175, 240, 5},   {176, 48, 40},  {177, 48, 40},  {178, 48, 40}};
    for (const auto [id, w, h] : all) {
        auto raw = bytes(MAKEINTRESOURCE(id), RT_BITMAP);
        ASSERT_GE(raw.size(), 40u) << id;
        const zv::DecodedDib d = bitmap(id);
        EXPECT_EQ((std::vector<int>{raw[0], raw[14], d.width, d.height}), (std::vector<int>{40, 24, w, h})) << id;
    }

    zv::DecodedDib sep = bitmap(175);
    EXPECT_EQ((std::vector<Rgb>{px(sep, 0, 2), px(sep, 239, 2)}), (std::vector<Rgb>{{12, 12, 12}, {179, 179, 179}}));
    for (int x = 1; x < 240; ++x) EXPECT_GE(px(sep, x, 0).r, px(sep, x - 1, 0).r);
    for (int id : {157, 166})
        for (std::uint32_t p : bitmap(id).pixels) ASSERT_EQ(p, 0u) << "solid black " << id;

    // Pressed pictures: the symbol sits where the normal picture has it, on the main blue.
    const std::pair<int, int> pairs[] = {{165, 176}, {172, 177}, {174, 178}};
    for (auto [normal_id, pressed_id] : pairs) {
        zv::DecodedDib normal = bitmap(normal_id), pressed = bitmap(pressed_id);
        EXPECT_EQ(px(normal, 2, 2), (Rgb{0, 0, 0}));
        EXPECT_EQ(px(pressed, 10, 36), (Rgb{0, 117, 231})) << pressed_id;
        int white = 0;
        for (std::size_t i = 0; i < normal.pixels.size(); ++i)
            if (normal.pixels[i] == 0xFFFFFF) {
                ++white;
                EXPECT_EQ(pressed.pixels[i], 0xFFFFFFu) << pressed_id << " at " << i;
            }
        EXPECT_GT(white, 60) << "a symbol is drawn in " << normal_id;
    }

    // Same pictures under two numbers.
    EXPECT_EQ(bitmap(147).pixels, bitmap(156).pixels);
    EXPECT_EQ(bitmap(160).pixels, bitmap(162).pixels);
    EXPECT_EQ(bitmap(171).pixels, bitmap(174).pixels);
    // White strip with black symbols, and its inverse.
    EXPECT_EQ((std::vector<Rgb>{px(bitmap(140), 0, 0), px(bitmap(141), 0, 0)}),
              (std::vector<Rgb>{{255, 255, 255}, {0, 0, 0}}));
    // The dark square's light outline.
    zv::DecodedDib sq = bitmap(160);
    EXPECT_GT(px(sq, 0, 13).r, 150);
    EXPECT_LT(px(sq, 13, 13).r, 60);

    // The icon group lists eight images; LoadIcon picks two.
    auto group = bytes(MAKEINTRESOURCE(101), RT_GROUP_ICON);
    ASSERT_EQ(group.size(), 6u + 8 * 14);
    EXPECT_EQ(words(group.first(6)), (std::vector<std::uint16_t>{0, 1, 8}));
    const std::pair<int, int> want[] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {48, 32}, {32, 32}, {16, 32}};
    for (int i = 0; i < 8; ++i) {
        const std::uint8_t* e = group.data() + 6 + i * 14;
        const int id = e[12] | e[13] << 8;
        EXPECT_EQ((std::vector<int>{e[0], e[1], e[6] | e[7] << 8, id}),
                  (std::vector<int>{want[i].first, want[i].first, want[i].second, i + 1}));
        auto img = zv::decode_icon_image(bytes(MAKEINTRESOURCE(id), RT_ICON));
        ASSERT_TRUE(img) << id;
        EXPECT_EQ((std::vector<int>{img->width, img->height, img->bits_per_pixel}),
                  (std::vector<int>{want[i].first, want[i].first, want[i].second}));
    }

    HICON icon = LoadIconW(inst, MAKEINTRESOURCE(101));
    ASSERT_NE(icon, nullptr);
    auto shown = zv::icon_pixels(icon);
    auto big = zv::icon_largest_pixels(icon);
    ASSERT_TRUE(shown && big);
    EXPECT_EQ(std::vector<std::uint32_t>(shown->argb.begin(), shown->argb.end()),
              zv::decode_icon_image(bytes(MAKEINTRESOURCE(7), RT_ICON))->pixels)
        << "32 pixels, 32 bits";
    ASSERT_EQ(big->width, 48);
    ASSERT_EQ(big->argb.size(), 48u * 48);
    auto at = [&](int x, int y) { return big->argb[static_cast<std::size_t>(y) * 48 + x]; };
    EXPECT_EQ(at(0, 0) >> 24, 0u) << "transparent corner";
    EXPECT_EQ(at(24, 30), 0xFFFFFFFFu) << "white window body";
    const Rgb bar = rgb_of(at(24, 9));
    EXPECT_EQ(at(24, 9) >> 24, 0xFFu);
    EXPECT_GT(bar.b, 150);
    EXPECT_GT(bar.b, bar.r + 100) << "blue title bar";

    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_FALSE(zv::icon_pixels(icon));
    EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCE(101)), nullptr);
    EXPECT_EQ(LoadIcon(inst, MAKEINTRESOURCE(102)), nullptr);
}

zv::TemplateText num(WORD n) { return {true, n, {}}; }
zv::TemplateText str(std::u16string s) { return {false, 0, std::move(s)}; }
const zv::TemplateText kButton = num(0x80), kStatic = num(0x82), kListBox = num(0x83);

struct Item {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    zv::TemplateText cls, title;
    bool operator==(const Item&) const = default;
};

TEST_F(EmbeddedResources, DialogTemplatesModuleHandleAndLifetime)
{
    // Each dialog's own style, box, menu and caption as an item numbered 0, then its items.
    const std::pair<int, Item> rows[] = {
        {105, {0x80880048, 0, 0, 160, 199, 0, str(u""), str(u"")}},
        {105, {0x40A10101, 193, 188, 141, 110, 1006, kListBox, str(u"")}},
        {105, {0x50010000, 52, 182, 58, 16, 1009, kButton, str(u"Back To Player")}},
        {105, {0x50010000, 60, 239, 58, 16, 1011, kButton, str(u"Sort By Artist")}},
        {105, {0x50A10101, 227, 4, 161, 181, 1010, kListBox, str(u"")}},
        {105, {0x52004405, 1, 0, 177, 180, 1036, str(u"SysListView32"), str(u"")}},
        {106, {0x80C00040, 0, 0, 210, 129, 0, str(u""), str(u"About Zorvane")}},
        {106, {0x50000803, 12, 12, 21, 20, 201, kStatic, num(101)}},
        {106, {0x50020080, 48, 12, 66, 8, 202, kStatic, str(u"Zorvane 1.0")}},
        {106, {0x50020000, 48, 24, 66, 8, 203, kStatic, str(u"MP3 player")}},
        {142, {0x80880048, 240, 0, 182, 219, 0, str(u""), str(u"")}},
        {142, {0x5000010E, 68, 174, 29, 21, 1012, kStatic, num(165)}},
        {142, {0x5000010E, 7, 174, 32, 25, 1013, kStatic, num(174)}},
        {142, {0x5000010E, 0, 24, 161, 145, 1016, kStatic, str(u"")}},
        {142, {0x50020081, 1, 7, 159, 16, 1026, kStatic, str(u"Static")}},
        {142, {0x5000000E, 0, 169, 160, 3, 0xFFFF, kStatic, num(175)}},
        {142, {0x5000010E, 120, 174, 32, 25, 1014, kStatic, num(172)}},
        {142, {0x5000000E, 0, 151, 160, 50, 0xFFFF, kStatic, num(166)}},
        {142, {0x5000000E, 0, 0, 160, 197, 1011, kStatic, num(129)}},
        {146, {0x80880048, -230, 0, 156, 114, 0, str(u""), str(u"")}},
        {146, {0x5000010E, 116, 37, 33, 14, 1028, kStatic, num(152)}},
        {146, {0x5000010E, 16, 37, 33, 14, 1029, kStatic, num(153)}},
        {146, {0x5000010E, 71, 12, 27, 25, 1030, kStatic, num(156)}},
        {146, {0x5000010E, 22, 12, 30, 25, 1032, kStatic, num(158)}},
        {146, {0x5000010E, 119, 12, 25, 22, 1017, kStatic, num(159)}},
        {146, {0x5000010E, 74, 35, 20, 18, 1037, kStatic, num(170)}},
        {131, {0x80880040, 0, 0, 160, 200, 0, str(u""), str(u"")}},
        {131, {0x50010000, 72, 121, 54, 13, 1009, kButton, str(u"Button1")}},
        {163, {0x80C80048, 0, 0, 166, 190, 0, str(u""), str(u"Dialog")}},
        {163, {0x50810800, 7, 9, 152, 173, 1006, str(u"SysListView32"), str(u"")}},
    };
    for (int id : {105, 106, 142, 146, 131, 163}) {
        SCOPED_TRACE(id);
        auto t = bytes(MAKEINTRESOURCE(id), RT_DIALOG);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(t.data()) % 4, 0u) << "templates start DWORD-aligned";
        const auto d = zv::parse_dialog_template(t);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->cls, str(u""));
        EXPECT_EQ(d->point_size, 8);
        EXPECT_EQ(d->face, u"MS Shell Dlg");
        std::vector<Item> got = {{d->style, d->x, d->y, d->cx, d->cy, 0, d->menu, str(d->title)}}, want;
        for (const auto& i : d->items) got.push_back({i.style, i.x, i.y, i.cx, i.cy, i.id, i.cls, i.title});
        for (const auto& [dialog, item] : rows)
            if (dialog == id) want.push_back(item);
        EXPECT_EQ(got, want);
    }

    // The module handle, and the table's lifetime.
    EXPECT_EQ(zv::ResourceTable::current(), &*table);
    HRSRC r = FindResourceW(nullptr, MAKEINTRESOURCE(105), RT_DIALOG);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(FindResource(inst, MAKEINTRESOURCE(105), RT_DIALOG), r);
    EXPECT_EQ(FindResourceW(reinterpret_cast<HMODULE>(0x77), MAKEINTRESOURCE(105), RT_DIALOG), nullptr);
    EXPECT_EQ(FindResourceW(inst, MAKEINTRESOURCE(105), RT_MENU), nullptr);
    EXPECT_EQ(LoadResource(inst, reinterpret_cast<HRSRC>(0x4242)), nullptr);
    EXPECT_EQ(SizeofResource(inst, nullptr), 0u);
    int junk = 0;
    EXPECT_EQ(LockResource(&junk), nullptr) << "only loaded resource data locks";

    {
        // A second table answers to its own handle while it lives.
        zv::ResourceTable other{std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size)};
        EXPECT_NE(other.instance(), inst);
        EXPECT_EQ(FindResourceW(inst, MAKEINTRESOURCE(105), RT_DIALOG), nullptr);
        EXPECT_NE(FindResourceW(other.instance(), MAKEINTRESOURCE(105), RT_DIALOG), nullptr);
    }
    EXPECT_EQ(zv::ResourceTable::current(), &*table) << "the outer table answers again";
    EXPECT_EQ(FindResourceW(inst, MAKEINTRESOURCE(105), RT_DIALOG), r);
    table.reset();
    EXPECT_EQ(zv::ResourceTable::current(), nullptr);
    WCHAR buf[8];
    EXPECT_EQ(LoadStringW(inst, 1, buf, 8), 0);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCE(105), RT_DIALOG), nullptr);
    EXPECT_EQ(LoadIconW(inst, MAKEINTRESOURCE(101)), nullptr);
    EXPECT_EQ(LoadBitmapW(inst, MAKEINTRESOURCE(129)), nullptr);
}

}  // namespace
