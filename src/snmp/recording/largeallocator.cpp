#include "largeallocator.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <cstdint>

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;

#if defined(__linux__)
bool isLarge(std::size_t bytes)
{
    return bytes >= HugePage;
}

std::size_t roundedUp(std::size_t bytes)
{
    return (bytes + HugePage - 1) & ~(HugePage - 1);
}
#endif

} // namespace

void *allocateLarge(std::size_t bytes)
{
#if defined(__linux__)
    if (isLarge(bytes)) {
        // Mapped with a huge page of slack, then trimmed to a block that starts and ends on
        // huge-page bounds, and advised before any page of it is touched.
        const std::size_t size = roundedUp(bytes);
        void *mapped = ::mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t aligned = (start + HugePage - 1) & ~std::uintptr_t(HugePage - 1);
        if (aligned > start)
            ::munmap(mapped, aligned - start);
        if (const std::size_t tail = start + HugePage - aligned)
            ::munmap(reinterpret_cast<void *>(aligned + size), tail);
        void *block = reinterpret_cast<void *>(aligned);
        // Only advice: where the system has no huge pages to give, ordinary ones serve.
        ::madvise(block, size, MADV_HUGEPAGE);
        return block;
    }
#endif
    return ::operator new(bytes);
}

void freeLarge(void *block, std::size_t bytes)
{
    if (!block)
        return;
#if defined(__linux__)
    if (isLarge(bytes)) {
        ::munmap(block, roundedUp(bytes));
        return;
    }
#endif
    ::operator delete(block);
}
