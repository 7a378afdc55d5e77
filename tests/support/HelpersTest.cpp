// The shared test helpers: what they leave behind, and that their waits end.
#include "support/ScopedEnv.h"
#include "support/TempUpdateFile.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace std::chrono_literals;

TEST(ScopedEnv, NestedScopesRestoreEachPreviousValueAndUnsetWhatWasUnset)
{
    const char* const name = "KMR_HELPERS_TEST_VAR";
    const ScopedEnv clean(name);
    {
        const ScopedEnv outer(name, "outer");
        {
            const ScopedEnv inner(name, "inner");
            EXPECT_STREQ(std::getenv(name), "inner");
            {
                const ScopedEnv unset(name);
                EXPECT_EQ(std::getenv(name), nullptr);
            }
            EXPECT_STREQ(std::getenv(name), "inner");
        }
        EXPECT_STREQ(std::getenv(name), "outer");
    }
    EXPECT_EQ(std::getenv(name), nullptr) << "it was unset before the first scope";
}

TEST(TempUpdateFile, HoldsTheBytesAtAPathOfItsOwnUntilItGoes)
{
    std::string path;
    {
        const TempUpdateFile file({1, 2, 3});
        const TempUpdateFile other({4});
        path = file.Path();
        EXPECT_NE(other.Path(), path);
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(bytes, (std::vector<char>{1, 2, 3}));
    }
    EXPECT_NE(::access(path.c_str(), F_OK), 0) << path << " is left behind";
}

TEST(WaitUntil, TrueWhenTheConditionComesFalseAtTheDeadline)
{
    std::atomic<bool> set{false};
    TestThread setter([&] {
        std::this_thread::sleep_for(20ms);
        set = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return set.load(); }, 5s));
    setter.Join();

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WaitUntil([] { return false; }, 50ms));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 50ms);
    EXPECT_LT(waited, 2s);
}
