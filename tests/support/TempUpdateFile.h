#pragma once
// An update file for one test: the bytes written to a path of its own in the test temporary
// folder, removed when the object goes.
#include <cstdint>
#include <string>
#include <vector>

class TempUpdateFile {
public:
    // Writes bytes to a new path ending in ".bin"; a failed write fails the test.
    explicit TempUpdateFile(const std::vector<std::uint8_t>& bytes);
    ~TempUpdateFile();
    TempUpdateFile(const TempUpdateFile&) = delete;
    TempUpdateFile& operator=(const TempUpdateFile&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
