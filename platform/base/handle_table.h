// Generation-checked handle table: a handle to a removed object never resolves again, so a
// stale handle makes a call fail instead of touching freed memory.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace zv {

// Each table kind has its own tag in the low bits, so a handle of one kind never resolves in
// another kind's table.
enum class HandleKind : std::uint32_t {
    Window = 1,
    Gdi = 2,
    Find = 3,
    Accel = 4,
    Resource = 5,
    Icon = 6,
    DeferPos = 7,
    Stream = 8,
    Module = 9,
    Library = 10,
    File = 12,
    RemoteWindow = 11,  // odd, so a handle with its lowest bit set is the same handle
};

template <class T>
class HandleTable {
public:
    explicit HandleTable(HandleKind kind) : kind_(static_cast<std::uint32_t>(kind)) {}

    std::uintptr_t insert(std::unique_ptr<T> obj)
    {
        std::uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            index = static_cast<std::uint32_t>(slots_.size());
            slots_.push_back({});
        }
        Slot& s = slots_[index];
        s.obj = std::move(obj);
        return encode(index, s.generation);
    }

    T* get(std::uintptr_t handle) const
    {
        std::uint32_t index;
        if (!decode(handle, index)) return nullptr;
        return slots_[index].obj.get();
    }

    template <class H>
    T* get(H* handle) const
    {
        return get(reinterpret_cast<std::uintptr_t>(handle));
    }

    std::unique_ptr<T> remove(std::uintptr_t handle)
    {
        std::uint32_t index;
        if (!decode(handle, index)) return nullptr;
        Slot& s = slots_[index];
        std::unique_ptr<T> out = std::move(s.obj);
        ++s.generation;
        free_.push_back(index);
        return out;
    }

    template <class H>
    std::unique_ptr<T> remove(H* handle)
    {
        return remove(reinterpret_cast<std::uintptr_t>(handle));
    }

    // Every live object, in slot order.
    template <class F>
    void for_each(F&& f) const
    {
        for (std::size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i].obj) f(encode(static_cast<std::uint32_t>(i), slots_[i].generation), *slots_[i].obj);
    }

    std::size_t live_count() const { return slots_.size() - free_.size(); }

private:
    struct Slot {
        std::unique_ptr<T> obj;
        std::uint32_t generation = 1;
    };

    std::uintptr_t encode(std::uint32_t index, std::uint32_t gen) const
    {
        // index+1 so no handle is ever 0; 4 tag bits; generation above.
        std::uint64_t v =
            (static_cast<std::uint64_t>(gen & 0xFFFFFu) << 28) | (static_cast<std::uint64_t>(index + 1) << 4) | kind_;
        return static_cast<std::uintptr_t>(v);
    }

    bool decode(std::uintptr_t handle, std::uint32_t& index) const
    {
        std::uint64_t v = handle;
        if ((v & 0xF) != kind_) return false;
        std::uint64_t i = (v >> 4) & 0xFFFFFFu;
        if (i == 0 || i > slots_.size()) return false;
        index = static_cast<std::uint32_t>(i - 1);
        const Slot& s = slots_[index];
        return s.obj && s.generation == ((v >> 28) & 0xFFFFFu);
    }

    std::uint32_t kind_;
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_;
};

template <class H>
H to_handle(std::uintptr_t v)
{
    return reinterpret_cast<H>(v);
}

}  // namespace zv
