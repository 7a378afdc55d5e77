#include "app/VersionText.h"

#include <cstdio>

namespace {

// "M.m.pp" from the first word of either pair.
std::string MainPart(int w)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%01d.%01d.%02d", w / 1000, (w / 100) % 10, w % 100);
    return buf;
}

// The pre-release suffix from the second word: nothing when its units digit is 0, else " b"
// (hundreds digit 0) or "rc" followed by its tens digit.
std::string Suffix(int w)
{
    const int h = (w % 1000) / 100;
    const int t = (w % 100) / 10;
    const int u = w % 10;
    if (u == 0)
        return {};
    return (h == 0 ? " b" : "rc") + std::to_string(t);
}

std::string Label(const char* prefix, int w1, int w2, const std::string& version)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%04X%04X / V", prefix, static_cast<unsigned>(w1), static_cast<unsigned>(w2));
    return buf + version;
}

} // namespace

std::string FirmwareVersionText(int f1, int f2)
{
    return MainPart(f1) + Suffix(f2);
}

std::string EqVersionText(int e1, int e2)
{
    return MainPart(e1) + (e2 / 1000 == 0 ? ".G" : ".J") + Suffix(e2);
}

std::string FirmwareLabelText(int f1, int f2)
{
    if (f1 < 0 || f2 < 0)
        return "FW V: 0000 / 000000";
    return Label("FW V: ", f1, f2, FirmwareVersionText(f1, f2));
}

std::string EqLabelText(int e1, int e2)
{
    if (e1 < 0 || e2 < 0)
        return "EQ V: 0000 / 000000";
    return Label("EQ V: ", e1, e2, EqVersionText(e1, e2));
}
