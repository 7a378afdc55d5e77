// Any text given to "params load": the parser must never crash, and whatever it accepts must be
// within the table's ranges and write back to the same text.
#include "params/ParamTable.h"
#include "params/ParamText.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static CDSPParamTable table;
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParamSettings settings;
    ParamFileError error;
    if (!ParseParamFile(text, table, &settings, &error))
        return 0;
    if (settings.mode < 0 || settings.mode > 2)
        std::abort();
    ApplyParamSettings(settings, table);
    // A file that was accepted, written out again and parsed, gives the same settings.
    ParamSettings again;
    if (!ParseParamFile(FormatParamFile(settings.mode, table), table, &again, &error))
        std::abort();
    return 0;
}
