// Global operator new of the test binary, able to fail on the Nth
// allocation after it is armed: every allocation a driver operation makes
// can be made to fail in turn.
#pragma once

namespace testing_support {

class FailingAllocator {
public:
    // From now on, allocation number `n` (1-based) throws std::bad_alloc.
    explicit FailingAllocator(long n);
    ~FailingAllocator();
    FailingAllocator(const FailingAllocator&) = delete;
    FailingAllocator& operator=(const FailingAllocator&) = delete;
    // Whether allocation n was reached (the failure happened).
    bool Failed() const;
};

} // namespace testing_support
