#include "link/FrameTrace.h"

#include <chrono>
#include <cstdio>
#include <ctime>

std::string FormatTraceLine(CFrameTrace::Direction dir, const std::uint8_t* frame16)
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const long us = static_cast<long>(duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000);
    std::tm tm {};
    localtime_r(&secs, &tm);
    char stamp[48];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    static const char* const names[] = {"TX", "RX", "RX-BAD-SUM"};
    char line[160];
    int n = std::snprintf(line, sizeof line, "%s.%06ld %s", stamp, us, names[dir]);
    for (int i = 0; i < 16; ++i)
        n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %02X", frame16[i]);
    return line;
}

bool CFileFrameTrace::Open(const std::string& path, std::string* reason)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_error.clear();
    return m_file.Begin(path, reason) && m_file.Publish(reason);
}

void CFileFrameTrace::Frame(Direction dir, const std::uint8_t* frame16)
{
    const std::string line = FormatTraceLine(dir, frame16) + "\n";
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file.Fd() >= 0 && m_error.empty())
        m_file.Write(line, &m_error);
}

bool CFileFrameTrace::Close(std::string* reason)
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::string closeError;
    const bool closed = m_file.Close(&closeError);
    *reason = m_error.empty() ? closeError : m_error;
    return closed && m_error.empty();
}
