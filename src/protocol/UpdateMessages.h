#pragma once
// Message types, command codes, acknowledges and fixed bytes of the update command protocol,
// shared by the program and the amplifier simulator. Every message is one 13-byte payload;
// multi-byte fields are big-endian.
#include <cstdint>

namespace update {

// Payload byte 0: the message type.
constexpr int POS_TYPE = 0;
constexpr std::uint8_t MSG_COMMAND = 0xD0;  // a command to the amplifier, or its acknowledge
constexpr std::uint8_t MSG_DATA = 0xE0;     // 12 bytes of update data in payload bytes 1 to 12
constexpr int POS_DATA = 1;

// Payload byte 1 of a command: what it asks for.
constexpr int POS_CODE = 1;
constexpr std::uint8_t CMD_SYNC = 0x00;          // synchronise; sent first
constexpr std::uint8_t CMD_ESTABLISH = 0x01;     // announces the kind of update
constexpr std::uint8_t CMD_ERASE = 0x02;
constexpr std::uint8_t CMD_BEGIN_WRITE = 0x03;   // N blocks follow
constexpr std::uint8_t CMD_END_WRITE = 0x04;     // all N blocks written
constexpr std::uint8_t CMD_END_VERIFY = 0x05;    // all verify blocks sent
constexpr std::uint8_t CMD_FINISH = 0x06;

// Payload byte 1 of an acknowledge: what it confirms.
constexpr std::uint8_t ACK_ESTABLISH = 0x11;
constexpr std::uint8_t ACK_ERASE = 0x12;
constexpr std::uint8_t ACK_WRITE = 0x13;   // the end of the write pass
constexpr std::uint8_t ACK_VERIFY = 0x14;  // the end of the verify pass

// Establish: payload byte 2 names the kind of update.
constexpr int POS_KIND = 2;
constexpr std::uint8_t KIND_SYSTEM_CODE = 0x11;
constexpr std::uint8_t KIND_PRESET_CODE = 0x22;
constexpr std::uint8_t KIND_TEST_CODE = 0x33;
constexpr std::uint8_t KIND_UNKNOWN_CODE = 0x00;

// Begin and end of writing: the block count N in payload bytes 2 and 3.
constexpr int POS_BLOCK_COUNT = 2;

// Fixed byte runs, sent as they are.
constexpr int POS_SYNC_PATTERN = 2;
constexpr std::uint8_t SYNC_PATTERN[9] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
// Flash unlock-and-command triples (a 16-bit address, then one data byte): erase and program.
constexpr int POS_ERASE_SEQUENCE = 2;
constexpr std::uint8_t ERASE_SEQUENCE[9] = {0x0A, 0xAA, 0xAA, 0x05, 0x55, 0x55, 0x0A, 0xAA, 0x80};
constexpr int POS_PROGRAM_SEQUENCE = 4;
constexpr std::uint8_t PROGRAM_SEQUENCE[9] = {0x0A, 0xAA, 0xAA, 0x05, 0x55, 0x55, 0x0A, 0xAA, 0xA0};

} // namespace update
