#pragma once
// Waits with a deadline, for tests: a test whose condition never comes fails, it does not hang.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

// Checks condition at once and then every 200 microseconds (short next to the sub-millisecond
// steps some tests race against) until it holds: true. False once limit has passed without it.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// A thread of a test, joined with a deadline. Join waits up to limit for work to return and then
// joins it. Work still running at the deadline may use the test's objects, so the test can
// neither go on nor return: the failure is recorded and the test program aborts rather than
// hang. The destructor joins with the default limit when the test has not (for instance after a
// failed assertion returned early).
class TestThread {
public:
    static constexpr std::chrono::seconds DEFAULT_LIMIT{30};

    explicit TestThread(std::function<void()> work);
    ~TestThread();
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    void Join(std::chrono::milliseconds limit = DEFAULT_LIMIT);

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};
