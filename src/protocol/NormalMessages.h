#pragma once
// Command codes and fixed values of the normal message protocol, shared by the program and the
// amplifier simulator. Multi-byte fields are big-endian.
#include <cstdint>

namespace normal {

constexpr std::uint8_t CMD_WRITE_PARAMS = 0x08;
constexpr std::uint8_t CMD_READ_PARAMS = 0x60;
constexpr std::uint8_t ANS_PARAM_VALUES = 0xA0;
constexpr std::uint8_t ANS_ACK = 0x30;
constexpr std::uint8_t CMD_WRITE_MEM_WORD = 0x09;
constexpr std::uint8_t CMD_WRITE_MEM_DWORD = 0x0A;
constexpr std::uint8_t CMD_READ_MEM_WORD = 0x61;
constexpr std::uint8_t CMD_READ_MEM_DWORD = 0x62;
constexpr std::uint8_t ANS_MEM_WORD = 0xA1;
constexpr std::uint8_t ANS_MEM_DWORD = 0xA2;

// The amplifier takes a memory command only with these four bytes in payload bytes 9 to 12.
constexpr std::uint8_t MEM_ACCESS_CODE[4] = {0x6B, 0x6D, 0x72, 0x5A};
constexpr int MEM_ACCESS_CODE_POS = 9;

// Parameters with a fixed role.
constexpr std::uint16_t ADDR_FIRST_INPUT = 0x3000;    // read by the connection check
constexpr std::uint32_t MEM_CHECK_ADDRESS = 0x10000000; // read by the connection check
constexpr std::uint16_t ADDR_MIXER_MODE = 0xF001;     // mode + 1
constexpr std::uint16_t ADDR_EQ_PRESET_COUNT = 0xF003;
constexpr std::uint16_t ADDR_VERSION_FIRST = 0xF004;  // 0xF004..0xF007: FW1, FW2, EQ1, EQ2

inline void PutU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}
inline std::uint16_t GetU16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t GetU32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

} // namespace normal
