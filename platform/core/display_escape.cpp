// The display driver's escapes. Power management switches the presented screen off (the next
// tap or key wakes it, and only wakes it) or back on.
#include <windows.h>

#include <cstring>

#include "core/user_state.h"

int ExtEscape(HDC hdc, int escape, int input_size, LPCSTR input, int, LPSTR)
{
    zv::UserState* u = zv::UserState::current();
    if (!u || (GetObjectType(hdc) != OBJ_DC && GetObjectType(hdc) != OBJ_MEMDC)) return -1;
    if (escape != SETPOWERMANAGEMENT) return 0;  // not supported by this driver
    VIDEO_POWER_MANAGEMENT record{};
    if (!input || input_size < static_cast<int>(sizeof(record))) return -1;
    std::memcpy(&record, input, sizeof(record));
    if (record.Length < sizeof(record)) return -1;
    switch (record.PowerState) {
        case VideoPowerOn: u->screen().set_display_on(true); return 1;
        case VideoPowerStandBy:
        case VideoPowerSuspend:
        case VideoPowerOff: u->screen().set_display_on(false); return 1;
        default: return -1;
    }
}
