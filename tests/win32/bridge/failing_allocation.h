// Allocation-failure seam for the COM tests: this test program replaces the global
// operator new, and while a FailingAllocation is alive the nth allocation from its start
// throws std::bad_alloc (the nothrow forms then return null).
#pragma once

namespace kelvra::test {

class FailingAllocation {
  public:
    explicit FailingAllocation(int nth);
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
    // Whether the chosen allocation was reached (and failed).
    bool Hit() const;
};

}  // namespace kelvra::test
