#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "base/names.h"
#include "dialogs/dialog_units.h"

int MulDiv(int number, int numerator, int denominator)
{
    if (denominator == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const bool negative = (product < 0) != (denominator < 0);
    // Both magnitudes fit comfortably: |product| <= 2^62 and |denominator| <= 2^31.
    const auto magnitude = static_cast<std::uint64_t>(product < 0 ? -product : product);
    const auto divisor = static_cast<std::uint64_t>(denominator < 0 ? -static_cast<std::int64_t>(denominator)
                                                                    : static_cast<std::int64_t>(denominator));
    const std::uint64_t rounded = (magnitude + divisor / 2) / divisor;  // half away from zero
    if (rounded > static_cast<std::uint64_t>(INT_MAX)) return -1;
    return negative ? -static_cast<int>(rounded) : static_cast<int>(rounded);
}

namespace zv {

namespace {

bool is_handheld_face(std::u16string_view face) { return names_equal(face, u"MS Shell Dlg"); }

// A memory DC with `font` selected for as long as it lives.
class MeasuringDc {
public:
    explicit MeasuringDc(HFONT font) : dc_(CreateCompatibleDC(nullptr))
    {
        if (dc_) old_ = SelectObject(dc_, font);
    }
    ~MeasuringDc()
    {
        if (!dc_) return;
        if (old_) SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    MeasuringDc(const MeasuringDc&) = delete;
    MeasuringDc& operator=(const MeasuringDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

}  // namespace

UniqueFont create_dialog_font(const DialogTemplate& t)
{
    if (!t.has_font) return nullptr;
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(t.point_size, 96, 72);
    lf.lfWeight = FW_NORMAL;
    const std::size_t n = std::min<std::size_t>(t.face.size(), LF_FACESIZE - 1);
    std::copy_n(t.face.data(), n, lf.lfFaceName);
    return UniqueFont(CreateFontIndirectW(&lf));
}

BaseUnits dialog_base_units(const DialogTemplate& t, HFONT font)
{
    if (!t.has_font || (t.point_size == 8 && is_handheld_face(t.face)) || !font) return kHandheldUnits;
    MeasuringDc dc(font);
    if (!dc.get()) return kHandheldUnits;
    constexpr char16_t kAlphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    TEXTMETRICW tm{};
    SIZE extent{};
    if (!GetTextMetricsW(dc.get(), &tm) || !GetTextExtentPoint32W(dc.get(), kAlphabet, 52, &extent))
        return kHandheldUnits;
    if (tm.tmHeight <= 0 || extent.cx <= 0) return kHandheldUnits;
    return BaseUnits{(extent.cx / 26 + 1) / 2, tm.tmHeight};
}

int units_to_x(int v, BaseUnits u) { return MulDiv(v, u.x, 4); }
int units_to_y(int v, BaseUnits u) { return MulDiv(v, u.y, 8); }

RECT map_dialog_rect(const RECT& r, BaseUnits u)
{
    return RECT{units_to_x(r.left, u), units_to_y(r.top, u), units_to_x(r.right, u), units_to_y(r.bottom, u)};
}

RECT item_rect(const DialogItemTemplate& item, BaseUnits u)
{
    return map_dialog_rect(RECT{item.x, item.y, item.x + item.cx, item.y + item.cy}, u);
}

}  // namespace zv
