#include "gdi/pixel_memory.h"

#include <array>
#include <mutex>
#include <new>

namespace zv::pixel_memory {

namespace {

// Only blocks big enough for page faults to matter, and not so big that keeping one is a burden.
constexpr std::size_t kMinKeptBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxKeptBytes = std::size_t{16} << 20;
constexpr std::size_t kKeptBlocks = 2;

struct Kept {
    void* block = nullptr;
    std::size_t bytes = 0;
};

struct Cache {
    std::mutex lock;
    std::array<Kept, kKeptBlocks> kept{};  // kept[0] is the most recently freed
};

// Process-wide, not reached through a current instance (base/current_instance.h) like the rest
// of the platform's state: surfaces owned by statics may be freed after every platform is gone,
// and a kept block is plain memory any instance can reuse. Never destroyed, for the same reason:
// such a surface may be freed after this file's statics are gone.
Cache& cache()
{
    static Cache* c = new Cache;
    return *c;
}

}  // namespace

void* allocate(std::size_t bytes)
{
    if (bytes >= kMinKeptBytes && bytes <= kMaxKeptBytes) {
        Cache& c = cache();
        std::lock_guard<std::mutex> hold(c.lock);
        for (std::size_t i = 0; i < kKeptBlocks; ++i) {
            if (c.kept[i].block && c.kept[i].bytes == bytes) {
                void* block = c.kept[i].block;
                for (std::size_t j = i; j + 1 < kKeptBlocks; ++j) c.kept[j] = c.kept[j + 1];
                c.kept[kKeptBlocks - 1] = Kept{};
                return block;
            }
        }
    }
    return ::operator new(bytes);
}

void release(void* block, std::size_t bytes) noexcept
{
    if (!block) return;
    if (bytes >= kMinKeptBytes && bytes <= kMaxKeptBytes) {
        Cache& c = cache();
        void* evicted = nullptr;
        {
            std::lock_guard<std::mutex> hold(c.lock);
            evicted = c.kept[kKeptBlocks - 1].block;
            for (std::size_t j = kKeptBlocks - 1; j > 0; --j) c.kept[j] = c.kept[j - 1];
            c.kept[0] = Kept{block, bytes};
        }
        ::operator delete(evicted);
        return;
    }
    ::operator delete(block);
}

std::size_t kept_count()
{
    Cache& c = cache();
    std::lock_guard<std::mutex> hold(c.lock);
    std::size_t n = 0;
    for (const Kept& k : c.kept) n += k.block != nullptr;
    return n;
}

}  // namespace zv::pixel_memory
