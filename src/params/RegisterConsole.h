#pragma once
// The raw register console: one typed command reads or writes a DSP parameter or a memory word.
//
//   r16>0xNNNN                  read parameter          w16>0xNNNN,0xVVVV          write parameter
//   r16#0xNNNNNNNN              read memory word        w16#0xNNNNNNNN,0xVVVV      write memory word
//   r32#0xNNNNNNNN              read memory dword       w32#0xNNNNNNNN,0xVVVVVVVV  write memory dword
//
// A command is recognised by its operation letter, width, kind and exact length; the "0x" and
// separator positions are not examined. Numbers are hexadecimal digits at fixed positions.
#include "protocol/ProtocolAppNormal.h"

#include <cstdint>
#include <string>

struct RegisterCommand {
    enum Kind { ReadParam, WriteParam, ReadMemWord, WriteMemWord, ReadMemDWord, WriteMemDWord };
    Kind kind = ReadParam;
    std::uint32_t address = 0;
    std::uint32_t value = 0;
};

enum class RegisterParse { Ok, BadCommand, BadData };

// Recognises text; fills *command only when the result is Ok.
RegisterParse ParseRegisterCommand(const std::string& text, RegisterCommand* command);

// Runs one command and returns the result line: "Data: 0x...", "Read Error", "Write OK",
// "Write Error", "Bad Command" or "Bad Data". A command that is not recognised sends nothing.
std::string RunRegisterCommand(const std::string& text, CProtocolAppNormal& protocol = TheNormalProtocol());
