// Any text typed into the register console: the parser must never read out of bounds, and
// whatever it accepts must be one of the six command forms.
#include "params/RegisterConsole.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    RegisterCommand c;
    if (ParseRegisterCommand(text, &c) != RegisterParse::Ok)
        return 0;
    const std::size_t len = text.size();
    if ((text[0] != 'r' && text[0] != 'w') || (text[3] != '>' && text[3] != '#'))
        std::abort();
    const bool param = text[3] == '>';
    if (param && (c.address > 0xFFFF || c.value > 0xFFFF || (len != 10 && len != 17)))
        std::abort();
    if (!param && len != 14 && len != 21 && len != 25)
        std::abort();
    if ((c.kind == RegisterCommand::WriteMemWord) && c.value > 0xFFFF)
        std::abort();
    return 0;
}
