// FindResource and friends, LoadString and LoadAccelerators over the live resource table.
#include <algorithm>
#include <cstring>

#include "resources/byte_reader.h"
#include "resources/resource_access.h"
#include "resources/resource_table.h"

namespace {

zv::ResourceTable* table_for(HMODULE module)
{
    zv::ResourceTable* t = zv::ResourceTable::current();
    return t && t->answers_to(module) ? t : nullptr;
}

}  // namespace

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    zv::ResourceTable* t = table_for(module);
    if (!t || !name || !type) return nullptr;
    const zv::ResourceEntry* e = t->find(zv::ResourceId::from_argument(name), zv::ResourceId::from_argument(type));
    return e ? t->handle_of(*e) : nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource)
{
    zv::ResourceTable* t = table_for(module);
    const zv::ResourceEntry* e = t ? t->entry(resource) : nullptr;
    // The bytes are the module's own and read-only; Win32 hands them out the same way.
    return e ? const_cast<std::uint8_t*>(e->data.data()) : nullptr;
}

LPVOID LockResource(HGLOBAL loaded)
{
    zv::ResourceTable* t = zv::ResourceTable::current();
    return t && t->entry_at(loaded) ? loaded : nullptr;
}

DWORD SizeofResource(HMODULE module, HRSRC resource)
{
    zv::ResourceTable* t = table_for(module);
    const zv::ResourceEntry* e = t ? t->entry(resource) : nullptr;
    return e ? static_cast<DWORD>(e->data.size()) : 0;
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int buffer_max)
{
    if (!buffer || buffer_max < 0) return 0;
    if (buffer_max > 0) buffer[0] = 0;
    zv::ResourceTable* t = table_for(instance);
    // Strings live in blocks of 16: block n + 1 holds ids 16n .. 16n + 15, each as a length
    // and that many UTF-16 units.
    const WORD low = LOWORD(id);
    const zv::ResourceEntry* block = t ? t->find(static_cast<WORD>((low >> 4) + 1), 6) : nullptr;
    if (!block) return 0;
    const zv::ByteReader r(block->data);
    std::size_t pos = 0;
    for (unsigned i = 0; i < (low & 15u); ++i) {
        auto len = r.u16(pos);
        if (!len) return 0;
        pos += 2 + 2 * static_cast<std::size_t>(*len);
    }
    auto len = r.u16(pos);
    if (!len || !r.has(pos + 2, 2 * static_cast<std::size_t>(*len))) return 0;
    const std::uint8_t* text = block->data.data() + pos + 2;
    if (buffer_max == 0) {
        // The caller passed the address of a pointer in place of a buffer.
        auto* p = reinterpret_cast<LPWSTR>(const_cast<std::uint8_t*>(text));
        std::memcpy(buffer, &p, sizeof p);
        return *len;
    }
    const int n = std::min<int>(*len, buffer_max - 1);
    for (int i = 0; i < n; ++i) buffer[i] = static_cast<WCHAR>(*r.u16(pos + 2 + 2 * static_cast<std::size_t>(i)));
    buffer[n] = 0;
    return n;
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name)
{
    zv::ResourceTable* t = table_for(instance);
    if (!t || !name) return nullptr;
    const zv::ResourceEntry* e = t->find(zv::ResourceId::from_argument(name), zv::ResourceId{true, 9, {}});
    return e ? t->accelerators_for(*e) : nullptr;
}

namespace zv {

std::span<const ACCEL> accelerator_entries(HACCEL accel)
{
    ResourceTable* t = ResourceTable::current();
    return t ? t->accelerators(accel) : std::span<const ACCEL>{};
}

}  // namespace zv
