#include "support/FailingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> g_failAt{0};
std::atomic<long> g_count{0};

void* Allocate(std::size_t size)
{
    if (g_failAt.load(std::memory_order_relaxed) > 0 && ++g_count == g_failAt.load(std::memory_order_relaxed)) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
} // namespace

// The sanitizer runtime brings its own operator new; objects it allocated
// before ours took over (in its own start-up) are freed by ours with free,
// which it would report as a mismatch that is none.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "alloc_dealloc_mismatch=0"; }
#endif

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace testing_support {

FailingAllocator::FailingAllocator(long n)
{
    g_count = 0;
    g_failAt = n;
}

FailingAllocator::~FailingAllocator() { g_failAt = 0; }

bool FailingAllocator::Failed() const { return g_count >= g_failAt; }

} // namespace testing_support
