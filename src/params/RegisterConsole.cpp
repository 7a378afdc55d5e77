#include "params/RegisterConsole.h"

#include <cstdio>

namespace {

constexpr std::size_t kNumberStart = 6;   // after "r16>0x"
constexpr std::size_t kMemValueStart = 17;  // after "w16#0xNNNNNNNN,0x"
constexpr std::size_t kParamValueStart = 13;  // after "w16>0xNNNN,0x"

bool HexField(const std::string& text, std::size_t start, std::size_t digits, std::uint32_t* value)
{
    std::uint32_t v = 0;
    for (std::size_t i = start; i < start + digits; ++i) {
        const char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    *value = v;
    return true;
}

} // namespace

RegisterParse ParseRegisterCommand(const std::string& text, RegisterCommand* command)
{
    if (text.size() < 4 || (text[0] != 'r' && text[0] != 'w') || (text[3] != '>' && text[3] != '#'))
        return RegisterParse::BadCommand;
    const bool read = text[0] == 'r';
    const bool param = text[3] == '>';
    const std::size_t len = text.size();

    RegisterCommand c;
    const char* width;  // what characters 1 and 2 must read
    std::size_t addressDigits = 8, valueDigits = 0, valueStart = kMemValueStart;
    if (param) {
        if (len != (read ? 10u : 17u))
            return RegisterParse::BadCommand;
        c.kind = read ? RegisterCommand::ReadParam : RegisterCommand::WriteParam;
        width = "16";
        addressDigits = 4;
        valueDigits = read ? 0 : 4;
        valueStart = kParamValueStart;
    } else if (read) {
        if (len != 14 || (text[1] != '1' && text[1] != '3'))
            return RegisterParse::BadCommand;
        const bool word = text[1] == '1';
        c.kind = word ? RegisterCommand::ReadMemWord : RegisterCommand::ReadMemDWord;
        width = word ? "16" : "32";
    } else {
        if (len != 21 && len != 25)
            return RegisterParse::BadCommand;
        const bool word = len == 21;
        c.kind = word ? RegisterCommand::WriteMemWord : RegisterCommand::WriteMemDWord;
        width = word ? "16" : "32";
        valueDigits = word ? 4 : 8;
    }
    if (text[1] != width[0] || text[2] != width[1])
        return RegisterParse::BadCommand;

    if (!HexField(text, kNumberStart, addressDigits, &c.address) ||
        (valueDigits != 0 && !HexField(text, valueStart, valueDigits, &c.value)))
        return RegisterParse::BadData;
    *command = c;
    return RegisterParse::Ok;
}

std::string RunRegisterCommand(const std::string& text, CProtocolAppNormal& protocol)
{
    RegisterCommand c;
    switch (ParseRegisterCommand(text, &c)) {
    case RegisterParse::BadCommand: return "Bad Command";
    case RegisterParse::BadData: return "Bad Data";
    case RegisterParse::Ok: break;
    }
    auto data = [](const char* format, std::uint32_t v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, format, v);
        return std::string(buf);
    };
    auto written = [](unsigned r) { return std::string(r == CProtocolAppNormal::OK ? "Write OK" : "Write Error"); };
    const std::string readError = "Read Error";
    const auto addr16 = static_cast<std::uint16_t>(c.address);
    switch (c.kind) {
    case RegisterCommand::ReadParam: {
        std::uint16_t v = 0;
        return protocol.ReadParams(addr16, &v) == CProtocolAppNormal::OK ? data("Data: 0x%04x", v) : readError;
    }
    case RegisterCommand::WriteParam:
        return written(protocol.WriteParams(addr16, static_cast<std::uint16_t>(c.value)));
    case RegisterCommand::ReadMemWord: {
        std::uint16_t v = 0;
        return protocol.ReadMemWord(c.address, &v) == CProtocolAppNormal::OK ? data("Data: 0x%04x", v) : readError;
    }
    case RegisterCommand::WriteMemWord:
        return written(protocol.WriteMemWord(c.address, static_cast<std::uint16_t>(c.value)));
    case RegisterCommand::ReadMemDWord: {
        std::uint32_t v = 0;
        return protocol.ReadMemDWord(c.address, &v) == CProtocolAppNormal::OK ? data("Data: 0x%08x", v) : readError;
    }
    case RegisterCommand::WriteMemDWord:
        return written(protocol.WriteMemDWord(c.address, c.value));
    }
    return "Bad Command";
}
