// The dialog window: its class, the state it keeps, and the default processing around the
// program's dialog procedure.
#pragma once
#include <windows.h>

#include <memory>

#include "core/window.h"
#include "dialogs/dialog_units.h"

namespace zv {

class UserState;

inline constexpr char16_t kDialogClassName[] = u"#32770";

// What the modal call and its dialog share. The call keeps it, so it outlives a dialog that
// something else destroyed.
struct ModalRecord {
    bool ended = false;
    INT_PTR result = 0;
    HWND owner = nullptr;         // the owner's top-level window, or null
    bool owner_disabled = false;  // disabled by this dialog and not yet given back
    bool looping = false;         // the modal loop is running
};

class DialogState final : public WindowExtension {
public:
    DialogState(BaseUnits u, UniqueFont f, std::shared_ptr<ModalRecord> m)
        : units(u), font(std::move(f)), modal(std::move(m))
    {
    }

    BaseUnits units;
    UniqueFont font;  // the template's font, deleted with the dialog
    std::shared_ptr<ModalRecord> modal;
};

// The state of a live dialog; null for any other window and for a stale handle.
DialogState* dialog_state(HWND h);

// Re-enables the owner if this dialog disabled it and still holds it.
void release_owner(ModalRecord& modal);

// Makes every loop whose dialog has ended but is still waiting for a message look again. Code
// that runs outside any message (a posted closure) may end a dialog, or return from an inner
// one, while the loop it belongs to waits.
void wake_ended_loops(UserState& user);
// The dialog class ("#32770"), registered by the composition with the built-in controls.
void register_dialog_class(UserState& user);

}  // namespace zv
