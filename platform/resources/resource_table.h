// The module's resource table, indexed from the bytes of a compiled resource (.res) file. It
// answers for one module handle; the Win32 resource functions reach the live table through
// current(). A damaged file gives fewer resources, never a failure to construct.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/current_instance.h"
#include "base/handle_table.h"
#include "windows.h"

namespace zv {

// A resource type or name: a number, or a string kept as stored.
struct ResourceId {
    bool is_number = true;
    WORD number = 0;
    std::u16string name;

    // Win32's rules: numbers equal, or names equal without regard to (ASCII) case.
    bool matches(const ResourceId& other) const;
    // From a Win32 argument: MAKEINTRESOURCE, a name, or "#123". Names longer than 255
    // characters are cut there.
    static ResourceId from_argument(LPCWSTR arg);
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    std::span<const std::uint8_t> data;
};

// One decoded icon image: 0xAARRGGBB, straight alpha, top-down.
struct IconImage {
    int width = 0;
    int height = 0;
    int bits_per_pixel = 0;
    std::vector<std::uint32_t> argb;
};

// What an HICON holds: the image LoadIcon chose, and the group's largest 32-bit image.
struct IconObject {
    IconImage shown;
    IconImage largest;
};

class ResourceTable {
public:
    // `res_file` must outlive the table; its bytes are served in place.
    explicit ResourceTable(std::span<const std::uint8_t> res_file);
    ~ResourceTable();
    ResourceTable(const ResourceTable&) = delete;
    ResourceTable& operator=(const ResourceTable&) = delete;

    // The newest live table, or null (base/current_instance.h).
    static ResourceTable* current() { return CurrentInstance<ResourceTable>::get(); }

    HINSTANCE instance() const { return instance_; }
    // Null stands for the program's own module, as in FindResource.
    bool answers_to(HMODULE module) const { return module == nullptr || module == instance_; }

    std::span<const ResourceEntry> entries() const { return entries_; }
    const ResourceEntry* find(const ResourceId& name, const ResourceId& type) const;
    const ResourceEntry* find(WORD name, WORD type) const;

    HRSRC handle_of(const ResourceEntry& entry) const;
    const ResourceEntry* entry(HRSRC handle) const;
    // The entry whose data starts at `p` (a LoadResource result), or null.
    const ResourceEntry* entry_at(const void* p) const;
    // The entry whose data holds the byte at `p` (a pointer anywhere into a loaded resource),
    // or null; it bounds what may be read from `p` on.
    const ResourceEntry* entry_containing(const void* p) const;

    // Accelerator tables are made once per resource and live with the table.
    HACCEL accelerators_for(const ResourceEntry& entry);
    std::span<const ACCEL> accelerators(HACCEL handle) const;

    HICON add_icon(std::unique_ptr<IconObject> icon);
    const IconObject* icon(HICON handle) const;
    bool destroy_icon(HICON handle);

private:
    struct AccelTable {
        const ResourceEntry* source;
        std::vector<ACCEL> entries;
    };

    HINSTANCE instance_;
    std::vector<ResourceEntry> entries_;
    HandleTable<std::size_t> handles_{HandleKind::Resource};  // entry index per HRSRC
    std::vector<std::uintptr_t> entry_handles_;
    HandleTable<AccelTable> accels_{HandleKind::Accel};
    HandleTable<IconObject> icons_{HandleKind::Icon};
    CurrentInstance<ResourceTable> current_{this};  // last: registered once the rest exists
};

}  // namespace zv
