#include "support/TempUpdateFile.h"

#include "UpdateFileMaker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <unistd.h>

TempUpdateFile::TempUpdateFile(const std::vector<std::uint8_t>& bytes)
{
    // Tests run as processes of their own, side by side: the process id keeps their names apart,
    // the serial number the files of one process.
    static std::atomic<int> serial{0};
    m_path = ::testing::TempDir() + "kmr-update-" + std::to_string(getpid()) + "-" + std::to_string(serial++) + ".bin";
    std::string error;
    EXPECT_TRUE(kmr::sim::WriteUpdateFile(m_path, bytes, &error)) << error;
}

TempUpdateFile::~TempUpdateFile()
{
    std::remove(m_path.c_str());
}
