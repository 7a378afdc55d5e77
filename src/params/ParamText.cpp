#include "params/ParamText.h"

#include "platform/InputFile.h"

#include "params/ValueConvert.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <vector>

namespace {

// Captions of the radio pairs, first button (index 1) and second button (index 0).
struct RadioCaptions {
    std::uint32_t address;
    const char* first;
    const char* second;
};
constexpr RadioCaptions kRadioCaptions[] = {
    {0x5016, "PTT", "Auto"},  // Page In Trig Mode
};

constexpr const char* kModeNames[MIXER_MODE_COUNT] = {"Mixer", "Stereo Select", "Dual Mono Select"};

constexpr const char* kFileHeader =
    "# KMR 6650 parameter file\n"
    "# \"mode M\": the mixer mode, 0 Mixer, 1 Stereo Select, 2 Dual Mono Select\n"
    "# \"0xAAAA V\": device value V (decimal) of the parameter at address 0xAAAA, one line each\n"
    "# Text after \"#\" is for people: page, parameter name and the label of the value.\n";

constexpr std::uint32_t DEVICE_VALUE_MAX = 0xFFFF;

// Calls f(position, page, slot, record) for every record in table order.
template <typename F>
void ForEachRecord(CDSPParamTable& table, F f)
{
    int position = 0;
    for (int page = 0; page < PAGE_COUNT; ++page) {
        DSPParam* records = table.GetPage(page);
        for (int slot = 0; slot < table.GetCount(page); ++slot)
            f(position++, page, slot, records[slot]);
    }
}

// A whole number of 1 to 5 decimal digits no greater than 0xFFFF.
bool ParseDeviceValue(const std::string& word, std::uint32_t* value)
{
    if (word.empty() || word.size() > 5 || !std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    *value = static_cast<std::uint32_t>(std::stoul(word));
    return *value <= DEVICE_VALUE_MAX;
}

// "0x" and exactly four hex digits.
bool ParseAddress(const std::string& word, std::uint32_t* address)
{
    if (word.size() != 6 || word[0] != '0' || (word[1] != 'x' && word[1] != 'X'))
        return false;
    if (!std::all_of(word.begin() + 2, word.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return false;
    *address = static_cast<std::uint32_t>(std::stoul(word.substr(2), nullptr, 16));
    return true;
}

// The words of a line, without its comment.
std::vector<std::string> Words(const std::string& line)
{
    std::istringstream in(line.substr(0, line.find('#')));
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

} // namespace

std::string AddressText(std::uint32_t address)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", address & 0xFFFF);
    return text;
}

std::string DescribeRecord(const DSPParam& record)
{
    return AddressText(record.address) + " (" + record.name + ")";
}

std::string DeviceRangeText(const DSPParam& record)
{
    const std::int32_t a = ConvertValue(record, 0, CONVERT_TO_DEVICE);
    const std::int32_t b = ConvertValue(record, record.steps - 1, CONVERT_TO_DEVICE);
    return std::to_string(std::min(a, b)) + ".." + std::to_string(std::max(a, b));
}

std::string StepText(const DSPParam& record)
{
    if (record.index < 0 || record.index >= record.steps)
        return "?";
    switch (record.kind) {
    case KIND_SLIDER:
        if (const char* label = CurrentLabel(record)) {
            std::string text = label;
            return text.substr(std::min(text.find_first_not_of(' '), text.size()));
        }
        return "?";
    case KIND_CHECK:
        return record.index != 0 ? "on" : "off";
    case KIND_RADIO_PAIR:
        for (const RadioCaptions& r : kRadioCaptions)
            if (r.address == record.address)
                return record.index != 0 ? r.first : r.second;
        return record.index != 0 ? "first" : "second";
    default:
        return "?";
    }
}

std::string LabelWithUnit(const DSPParam& record)
{
    const std::string step = StepText(record);
    return record.unit != nullptr && record.unit[0] != '\0' ? step + " " + record.unit : step;
}

std::string RecordListingLine(int page, int slot, const DSPParam& record)
{
    return std::to_string(page) + " " + std::to_string(slot) + " " + AddressText(record.address) + " \"" + record.name +
           "\" " + LabelWithUnit(record) + " " + std::to_string(record.deviceValue);
}

const char* MixerModeName(int mode)
{
    return mode >= 0 && mode < MIXER_MODE_COUNT ? kModeNames[mode] : "?";
}

std::string FormatParamFile(int mode, CDSPParamTable& table)
{
    std::string text = kFileHeader;
    text += "mode " + std::to_string(mode) + "  # " + MixerModeName(mode) + "\n";
    ForEachRecord(table, [&](int, int page, int, const DSPParam& r) {
        char head[32];
        std::snprintf(head, sizeof head, "%s %-5u", AddressText(r.address).c_str(), r.deviceValue & DEVICE_VALUE_MAX);
        text += std::string(head) + "  # " + CDSPParamTable::PageTitle(page) + ": " + r.name + " = " + LabelWithUnit(r) + "\n";
    });
    return text;
}

bool ParseParamFile(const std::string& text, CDSPParamTable& table, ParamSettings* settings, ParamFileError* error)
{
    // The reason may quote the file's own bytes: shown escaped, never raw.
    auto fail = [&](int line, const std::string& reason) {
        *error = {line, kmr::Printable(reason)};
        return false;
    };
    *settings = ParamSettings{};
    int modeLine = 0;
    int seenOnLine[PARAM_COUNT] = {};  // 0: not given yet

    // A byte order mark, as some editors write at the start of a UTF-8 file, is no part of the text.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::istringstream in(text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0 ? text.substr(kByteOrderMark.size()) : text);
    // A word of the file quoted in a message is cut short: a line of any length stays readable.
    auto quote = [](const std::string& word) { return "'" + kmr::Shortened(word) + "'"; };
    int lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        const std::vector<std::string> w = Words(line);
        if (w.empty())
            continue;
        if (w.size() != 2)
            return fail(lineNo, "expected \"mode M\" or \"0xAAAA VALUE\"");
        if (w[0] == "mode") {
            if (modeLine != 0)
                return fail(lineNo, "a second mode line (the first is line " + std::to_string(modeLine) + ")");
            std::uint32_t mode = 0;
            if (!ParseDeviceValue(w[1], &mode) || mode >= MIXER_MODE_COUNT)
                return fail(lineNo, "the mixer mode must be 0, 1 or 2, not " + quote(w[1]));
            settings->mode = static_cast<int>(mode);
            modeLine = lineNo;
            continue;
        }
        std::uint32_t address = 0;
        if (!ParseAddress(w[0], &address))
            return fail(lineNo, "expected \"mode M\" or \"0xAAAA VALUE\", not " + quote(w[0]));
        int position = -1;
        DSPParam* record = nullptr;
        ForEachRecord(table, [&](int pos, int, int, DSPParam& r) {
            if (r.address == address) {
                position = pos;
                record = &r;
            }
        });
        if (record == nullptr)
            return fail(lineNo, "no parameter has the address " + AddressText(address));
        if (seenOnLine[position] != 0)
            return fail(lineNo, DescribeRecord(*record) + " is given twice (the first time on line " +
                                    std::to_string(seenOnLine[position]) + ")");
        std::uint32_t value = 0;
        if (!ParseDeviceValue(w[1], &value))
            return fail(lineNo, "bad value " + quote(w[1]) + " for " + DescribeRecord(*record) + ": a decimal number 0..65535");
        DSPParam check = *record;  // the conversion is tried on a copy: no record changes
        check.deviceValue = value;
        if (FromDeviceValue(check) < 0)
            return fail(lineNo, "value " + w[1] + " of " + DescribeRecord(*record) + " is outside its range " +
                                    DeviceRangeText(*record));
        settings->deviceValues[position] = static_cast<std::uint16_t>(value);
        seenOnLine[position] = lineNo;
    }
    if (modeLine == 0)
        return fail(0, "no mode line");
    bool complete = true;
    ForEachRecord(table, [&](int pos, int, int, const DSPParam& r) {
        if (complete && seenOnLine[pos] == 0) {
            complete = false;
            fail(0, "no line for " + DescribeRecord(r));
        }
    });
    return complete;
}

std::vector<ParamDifference> CompareParams(CDSPParamTable& a, CDSPParamTable& b)
{
    std::vector<ParamDifference> differences;
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < a.GetCount(page); ++slot) {
            const DSPParam* ra = a.GetRecord(page, slot);
            const DSPParam* rb = b.GetRecord(page, slot);
            if (ra->deviceValue != rb->deviceValue)
                differences.push_back({page, slot, ra, rb});
        }
    return differences;
}

std::string DifferenceLine(const ParamDifference& d, const std::string& nameA, const std::string& nameB)
{
    return AddressText(d.a->address) + " " + d.a->name + ": " + nameA + " " + LabelWithUnit(*d.a) + ", " + nameB + " " +
           LabelWithUnit(*d.b);
}

std::string ModeDifferenceLine(int modeA, int modeB, const std::string& nameA, const std::string& nameB)
{
    return "mode: " + nameA + " " + std::to_string(modeA) + " " + MixerModeName(modeA) + ", " + nameB + " " +
           std::to_string(modeB) + " " + MixerModeName(modeB);
}

std::string ParamFileFaultText(const std::string& path, const ParamFileError& error)
{
    const std::string where = kmr::Printable(path) + (error.line > 0 ? ":" + std::to_string(error.line) : "");
    return where + ": " + error.reason;
}

void ApplyParamSettings(const ParamSettings& settings, CDSPParamTable& table)
{
    table.LoadModeDefaults(settings.mode);
    ForEachRecord(table, [&](int pos, int, int, DSPParam& r) {
        r.deviceValue = settings.deviceValues[pos];
        FromDeviceValue(r);
    });
}
