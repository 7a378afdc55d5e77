#include "support/Wait.h"

#include <gtest/gtest.h>

#include <cstdlib>

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

TestThread::TestThread(std::function<void()> work)
    : m_thread([this, work = std::move(work)] {
          work();
          m_done = true;
      })
{
}

TestThread::~TestThread()
{
    Join();
}

void TestThread::Join(std::chrono::milliseconds limit)
{
    if (!m_thread.joinable())
        return;
    if (!WaitUntil([this] { return m_done.load(); }, limit)) {
        ADD_FAILURE() << "a test thread was still running " << limit.count() << " ms after the test began to wait";
        std::abort();
    }
    m_thread.join();
}
