#include "update/UpdateStatus.h"

#include "protocol/ProtocolAppUpdate.h"

#include <cstdio>

namespace {

using U = CProtocolAppUpdate;

// Offset of code from base when it is one of the nine phase codes, else -1.
int PhaseIndex(WPARAM code, WPARAM base)
{
    return code >= base + U::ESTABLISHING && code <= base + U::UPDATE_OK ? static_cast<int>(code - base) : -1;
}

} // namespace

const char* UpdateStatusText(WPARAM code)
{
    static const char* const texts[] = {
        "Status: Establishing",   "Status: Establish Error!",   "Status: Erasing",
        "Status: Erase Error!",   "Status: Writing Data",       "Status: Write Data Error!",
        "Status: Verifying Data", "Status: Verify Data Error!", "Status: Update OK!",
    };
    int i = PhaseIndex(code, U::SYSTEM_BASE);
    if (i < 0)
        i = PhaseIndex(code, U::PRESET_BASE);
    return i < 0 ? nullptr : texts[i];
}

const char* UpdateTestCaption(WPARAM code)
{
    static const char* const captions[] = {
        "Establishing", "Establish Error", "Erasing",      "Erase Error", "Writing Data",
        "Write Error",  "Verifying Data",  "Verify Error", "Successful!",
    };
    const int i = PhaseIndex(code, U::TEST_BASE);
    return i < 0 ? nullptr : captions[i];
}

bool IsUpdateTestFailure(WPARAM code)
{
    const int i = PhaseIndex(code, U::TEST_BASE);
    return i == U::ESTABLISH_FAILED || i == U::ERASE_FAILED || i == U::WRITE_FAILED || i == U::VERIFY_FAILED;
}

bool IsUpdateFinalCode(WPARAM code)
{
    for (WPARAM base : {U::SYSTEM_BASE, U::PRESET_BASE, U::TEST_BASE}) {
        const int i = PhaseIndex(code, base);
        if (i == U::ESTABLISH_FAILED || i == U::ERASE_FAILED || i == U::WRITE_FAILED || i == U::VERIFY_FAILED ||
            i == U::UPDATE_OK)
            return true;
    }
    return false;
}

bool IsUpdateProgressCode(WPARAM code)
{
    for (WPARAM base : {U::SYSTEM_BASE, U::PRESET_BASE})
        if (code >= base + U::ERASE_PROGRESS && code <= base + U::VERIFY_PROGRESS)
            return true;
    return false;
}

int UpdateProgressValue(LPARAM value)
{
    return value > 100 ? 100 : static_cast<int>(value);
}

std::string UpdatePercentText(int value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "Tx:%3d%%", value);
    return buf;
}
