#include "UpdateFileMaker.h"

#include "platform/InputFile.h"
#include "platform/OutputFile.h"
#include "update/UpdateFile.h"

#include <algorithm>
#include <cstring>

namespace kmr::sim {
namespace {

// xorshift32: small, fast and the same on every platform and compiler.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : m_state(seed != 0 ? seed : 0x9E3779B9u) {}
    std::uint8_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return static_cast<std::uint8_t>(m_state >> 24);
    }
    void Fill(std::vector<std::uint8_t>& bytes)
    {
        for (std::uint8_t& b : bytes)
            b = Next();
    }

private:
    std::uint32_t m_state;
};

void PutU32LE(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetU32LE(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

std::vector<std::uint8_t> MakeSystemUpdateFile(const SystemFileOptions& options)
{
    using F = CUpdateFile;
    const std::uint32_t length =
        options.fault == SystemFileOptions::SHORT ? F::SYSTEM_CHECKED_LEN - 1 : options.length;

    // The full layout first, then cut to length.
    std::vector<std::uint8_t> file(std::max(length, F::SYSTEM_CHECKED_LEN));
    Noise(options.seed).Fill(file);
    std::fill_n(file.begin() + F::SYSTEM_HEADER_OFFSET, F::SYSTEM_HEADER_LEN, 0);
    for (std::size_t j = 0; j < F::SYSTEM_MARKER_LEN; ++j)
        file[F::SYSTEM_MARKER_OFFSET + j] = static_cast<std::uint8_t>(j);
    for (int k = 0; k < F::SYSTEM_IMAGE_BLOCKS; ++k) {
        const auto block = file.begin() + F::SYSTEM_DATA_OFFSET + F::SYSTEM_IMAGE_BLOCK_LEN * k;
        unsigned sum = 0;
        std::for_each(block, block + F::SYSTEM_IMAGE_BLOCK_LEN, [&sum](std::uint8_t b) { sum += b; });
        file[F::SYSTEM_SUMS_OFFSET + k] = static_cast<std::uint8_t>(sum);
    }

    switch (options.fault) {
    case SystemFileOptions::HEADER:
        file[F::SYSTEM_HEADER_OFFSET + 3] = 0x01;
        break;
    case SystemFileOptions::MARKER:
        file[F::SYSTEM_MARKER_OFFSET + F::SYSTEM_MARKER_LEN - 1] = 0x00;
        break;
    case SystemFileOptions::BLOCK_SUM:
        file[F::SYSTEM_SUMS_OFFSET + std::clamp(options.badBlock, 0, F::SYSTEM_IMAGE_BLOCKS - 1)] += 1;
        break;
    case SystemFileOptions::NONE:
    case SystemFileOptions::SHORT:
        break;
    }
    file.resize(length);
    return file;
}

std::vector<std::uint8_t> MakePresetUpdateFile(const PresetFileOptions& options)
{
    using F = CUpdateFile;
    const std::uint32_t length = options.fault == PresetFileOptions::SHORT ? F::PRESET_CHECKED_LEN - 1 : options.length;

    std::vector<std::uint8_t> file(std::max(length, F::PRESET_CHECKED_LEN));
    Noise(options.seed).Fill(file);
    for (int r = 0; r < F::PRESET_RECORDS; ++r) {
        std::uint8_t* record = file.data() + F::PRESET_RECORD_LEN * r;
        std::uint32_t sum = 0;
        for (int w = 0; w < F::PRESET_RECORD_WORDS; ++w)
            sum += GetU32LE(record + 4 * w);
        if (options.fault == PresetFileOptions::RECORD_SUM && r == std::clamp(options.badRecord, 0, F::PRESET_RECORDS - 1))
            sum += 1;
        PutU32LE(record + 4 * F::PRESET_RECORD_WORDS, sum);
    }
    file.resize(length);
    return file;
}

bool WriteUpdateFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error)
{
    std::string reason;
    if (kmr::WriteFileAtomically(path, std::string(bytes.begin(), bytes.end()), &reason))
        return true;
    if (error)
        *error = kmr::Printable(path) + ": " + reason;
    return false;
}

} // namespace kmr::sim
