#pragma once
// Builds update files for tests and demonstrations: well-formed system and preset update files
// with a deterministic pseudo-random content, and the usual broken ones. The same options and
// seed always give the same bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace kmr::sim {

// System update file: 4 zero bytes, the marker 00 01 .. 0F at 0x4000, a pseudo-random image of
// 704 blocks at 0x10000 with their byte sums at 0x3C000, pseudo-random bytes elsewhere.
struct SystemFileOptions {
    enum Fault : unsigned char {
        NONE,         // well formed
        HEADER,       // the first bytes are 00 00 00 01
        MARKER,       // the last marker byte (at 0x400F) is 00 instead of 0F
        BLOCK_SUM,    // the checksum byte of image block badBlock is off by one
        SHORT,        // one byte short of the checked area: 246463 bytes, length is ignored
    };
    Fault fault = NONE;
    // File length. 246464 ends right after the checksum bytes (15078 blocks are sent); a longer
    // file has pseudo-random trailing bytes; a shorter one is the full layout cut off there.
    std::uint32_t length = 246464;
    int badBlock = 0;  // 0..703, for BLOCK_SUM
    std::uint32_t seed = 1;
};

// Preset update file: ten records of 65 pseudo-random words and their sum, then pseudo-random
// bytes up to length.
struct PresetFileOptions {
    enum Fault : unsigned char {
        NONE,        // well formed
        RECORD_SUM,  // the checksum word of record badRecord is off by one
        SHORT,       // one byte short of the ten records: 2639 bytes, length is ignored
    };
    Fault fault = NONE;
    // File length. 32760 is exactly what a preset update sends; a shorter file is the layout cut
    // off there (below 2640 bytes the check fails).
    std::uint32_t length = 32760;
    int badRecord = 1;  // 0..9, for RECORD_SUM
    std::uint32_t seed = 1;
};

std::vector<std::uint8_t> MakeSystemUpdateFile(const SystemFileOptions& options = {});
std::vector<std::uint8_t> MakePresetUpdateFile(const PresetFileOptions& options = {});

// Writes bytes to path: a new file, or one that replaces a regular file whole (through links,
// keeping its mode and owner; kmr::WriteFileAtomically). False with *error (the path and the
// reason) if it could not; a device, a FIFO or a folder is refused untouched.
bool WriteUpdateFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error = nullptr);

} // namespace kmr::sim
