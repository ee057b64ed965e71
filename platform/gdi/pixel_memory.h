// Memory for pixel buffers. A freed large buffer is kept for the next buffer of the same size:
// each track change decodes a cover that is usually the size of the one before, and memory fresh
// from the kernel costs a page fault per 4 KB, a fifth of the decode. The cache is process-wide,
// shared by every platform instance (see pixel_memory.cpp).
#pragma once
#include <cstddef>

namespace zv::pixel_memory {

void* allocate(std::size_t bytes);
void release(void* block, std::size_t bytes) noexcept;

// How many freed buffers are being kept (for tests).
std::size_t kept_count();

}  // namespace zv::pixel_memory
