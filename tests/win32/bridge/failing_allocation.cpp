#include "failing_allocation.h"

#include <cstdlib>
#include <new>

namespace {

// Allocations left before the failing one; negative when none is armed.
int g_left = -1;
bool g_hit = false;

}  // namespace

void* operator new(std::size_t size) {
    if (g_left == 0) {
        g_left = -1;
        g_hit = true;
        throw std::bad_alloc();
    }
    if (g_left > 0)
        --g_left;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace kelvra::test {

FailingAllocation::FailingAllocation(int nth) {
    g_hit = false;
    g_left = nth;
}

FailingAllocation::~FailingAllocation() {
    g_left = -1;
}

bool FailingAllocation::Hit() const {
    return g_hit;
}

}  // namespace kelvra::test
