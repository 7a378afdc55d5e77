#include "params/ParamTable.h"

#include <cstdio>
#include <iterator>
#include <string_view>

namespace {

using L = LabelTableId;

// ---- Label tables given as literal texts (leading blanks are part of the texts) ----

constexpr const char* kToneTexts[] = {
    "-6.00", "-5.50", "-5.00", "-4.50", "-4.00", "-3.50", "-3.00", "-2.50", "-2.00",
    "-1.50", "-1.00", "-0.50", " 0.00", "+0.50", "+1.00", "+1.50", "+2.00", "+2.50",
    "+3.00", "+3.50", "+4.00", "+4.50", "+5.00", "+5.50", "+6.00",
};
constexpr const char* kPageAttackTexts[] = {
    "0.25", "0.50", " 1", " 2", " 3", " 4", " 5", " 6", " 7", " 8", " 9",
    " 10", " 20", " 30", " 40", " 50", " 60", " 70", " 80", " 90", "100",
};
constexpr const char* kPageReleaseTexts[] = {
    "  25", "  50", " 100", " 200", " 300", " 400", " 500", " 600", " 700", " 800", " 900",
    " 1000", " 2000", " 3000", " 4000", " 5000", " 6000", " 7000", " 8000", " 9000", " 10000",
};
constexpr const char* kPageDelayTexts[] = {
    "0.5", "1.0", "1.5", "2.0", "2.5", "3.0", "3.5", "4.0", "4.5", "5.0",
};
constexpr const char* kLimiterAttackTexts[] = {
    " 0.5", " 0.75", " 1.0", " 1.5", " 2.0", " 2.5", " 3.0", " 4.0", " 5.0", " 6.0",
    " 7.0", " 8.0", " 9.0", "10.0", "15.0", "20.0", "25.0", "30.0", "40.0", "50.0",
    "60.0", "70.0", "80.0", "90.0", "100", "120", "150", "200", "250", "300",
    "350", "400", "450", "500",
};
// Release times in seconds: 0.05 steps, then 0.1, 0.2 and 0.3 steps.
constexpr const char* kLimiterReleaseTexts[] = {
    " 0.50", " 0.55", " 0.60", " 0.65", " 0.70", " 0.80", " 0.90", " 1.0", " 1.1", " 1.2",
    " 1.4", " 1.6", " 1.8", " 2.0", " 2.2", " 2.5", " 2.8", " 3.1", " 3.4", " 3.7",
    " 4.0", " 4.5", " 5.0",
};
constexpr const char* kPresentTexts[] = {
    "-54", "-52", "-50", "-48", "-46", "-44", "-42", "-40", "-38", "-36",
};
constexpr const char* kClipTexts[] = {
    "-5.0", "-4.5", "-4.0", "-3.5", "-3.0", "-2.5", "-2.0", "-1.5", "-1.0", "-0.5",
};
constexpr const char* kAgcSetpointTexts[] = {
    "-10", "-9", "-8", "-7", "-6", "-5", "-4", "-3", "-2", "-1", " 0",
    "+1", "+2", "+3", "+4", "+5", "+6", "+7", "+8", "+9", "+10", "+11",
    "+12", "+13", "+14", "+15", "+16", "+17", "+18", "+19", "+20",
};
constexpr const char* kAgcAttackTexts[] = {
    "2", "5", "10", "15", "20", "25", "30", "35", "40", "45", "50", "55",
    "60", "65", "70", "75", "80", "85", "90", "95", "100", "105", "110", "115",
    "120", "125", "130", "135", "140", "145", "150", "155", "160", "165", "170", "175",
    "180", "185", "190", "195", "200", "205", "210", "215", "220", "225", "230", "235",
    "240", "245", "250", "255", "260", "265", "270", "275", "280", "285", "290", "295",
    "300", "305", "310", "315", "320", "325", "330", "335", "340", "345", "350", "355",
    "360", "365", "370", "375", "380", "385", "390", "395", "400", "405", "410", "415",
    "420", "425", "430", "435", "440", "445", "450", "455", "460", "465", "470", "475",
    "480", "485", "490", "495", "500",
};

// How each label table is made: literal texts, or `count` numbers first, first + step, ...
// printed right-aligned in `width` characters (0: plainly).
struct LabelSource {
    const char* name;
    const char* unit;
    int count;
    const char* const* literal;  // null for a formatted table
    int width;
    int first;
    int step;
};

template <std::size_t N>
constexpr LabelSource Literal(const char* name, const char* unit, const char* const (&texts)[N])
{
    return {name, unit, static_cast<int>(N), texts, 0, 0, 0};
}

constexpr LabelSource Formatted(const char* name, const char* unit, int count, int width, int first, int step = 1)
{
    return {name, unit, count, nullptr, width, first, step};
}

// In LabelTableId order.
constexpr LabelSource kLabelSources[LABEL_TABLE_COUNT] = {
    Literal("ToneLabels", "dB", kToneTexts),
    Formatted("OutputGainLabels", "dB", 63, 0, -62),         // "-62" .. "0"
    Formatted("VolumeLabels", "dB", 51, 0, -40),             // "-40" .. "10"
    Formatted("EqIdLabels", "", 62, 2, 1),                   // " 1" .. "62"
    Formatted("PageThresholdLabels", "dBFS", 41, 3, -70),    // "-70" .. "-30"
    Formatted("DuckingLabels", "dB", 51, 3, -50),            // "-50" .. "  0"
    Formatted("PageLevelLabels", "dB", 41, 3, -20),          // "-20" .. " 20"
    Formatted("LimiterSetPointLabels", "dBFS", 41, 3, -40),  // "-40" .. "  0"
    Literal("PageAttackLabels", "ms", kPageAttackTexts),
    Literal("PageReleaseLabels", "ms", kPageReleaseTexts),
    Literal("PageDelayLabels", "S", kPageDelayTexts),
    Literal("LimiterAttackLabels", "ms", kLimiterAttackTexts),
    Literal("LimiterReleaseLabels", "S", kLimiterReleaseTexts),
    Literal("PresentLabels", "dBV", kPresentTexts),
    Literal("ClipLabels", "dBV", kClipTexts),
    Literal("AgcSetpointLabels", "dBFS", kAgcSetpointTexts),
    Literal("AgcAttackLabels", "ms", kAgcAttackTexts),
    Formatted("AgcReleaseLabels", "ms", 50, 0, 100, 100),    // "100" .. "5000"
};

constexpr int FormattedEntries()
{
    int n = 0;
    for (const LabelSource& s : kLabelSources)
        n += s.literal ? 0 : s.count;
    return n;
}

// ---- Parameter records, per page in slot order ----

struct ParamRow {
    const char* name;
    std::uint8_t kind;
    std::int32_t steps;
    std::int32_t defaultIndex;
    LabelTableId labels;
    std::uint16_t address;
    std::uint8_t modes[MIXER_MODE_COUNT];  // enabled in Mixer, Stereo, Dual Mono
};

constexpr ParamRow kInputRows[] = {
    {"Input 1 tone Bass", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3000, {1, 1, 1}},
    {"Input 1 tone Treble", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3006, {1, 1, 1}},
    {"Input 2 tone Bass", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3001, {1, 0, 1}},
    {"Input 2 tone Treble", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3007, {1, 0, 1}},
    {"Input 3 tone Bass", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3002, {1, 1, 1}},
    {"Input 3 tone Treble", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3008, {1, 1, 1}},
    {"Input 4 tone Bass", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3003, {1, 0, 1}},
    {"Input 4 tone Treble", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3009, {1, 0, 1}},
    {"AGC Enable, Input 1", KIND_CHECK, 2, 0, L::None, 0xB000, {1, 1, 1}},
    {"AGC Enable, Input 2", KIND_CHECK, 2, 0, L::None, 0xB001, {1, 0, 1}},
    {"AGC Enable, Input 3", KIND_CHECK, 2, 0, L::None, 0xB002, {1, 1, 1}},
    {"AGC Enable, Input 4", KIND_CHECK, 2, 0, L::None, 0xB003, {1, 0, 1}},
    {"AGC Enable, Page Input", KIND_CHECK, 2, 1, L::None, 0xB004, {0, 0, 0}},
    {"AGC Setpoint, Input 1", KIND_SLIDER, 31, 20, L::AgcSetpointLabels, 0xB005, {1, 1, 1}},
    {"AGC Attack, Input 1", KIND_SLIDER, 101, 0, L::AgcAttackLabels, 0xB00A, {1, 1, 1}},
    {"AGC Release, Input 1", KIND_SLIDER, 50, 2, L::AgcReleaseLabels, 0xB00F, {1, 1, 1}},
    {"AGC Setpoint, Input 2", KIND_SLIDER, 31, 20, L::AgcSetpointLabels, 0xB006, {1, 0, 1}},
    {"AGC Attack, Input 2", KIND_SLIDER, 101, 0, L::AgcAttackLabels, 0xB00B, {1, 0, 1}},
    {"AGC Release, Input 2", KIND_SLIDER, 50, 2, L::AgcReleaseLabels, 0xB010, {1, 0, 1}},
    {"AGC Setpoint, Input 3", KIND_SLIDER, 31, 20, L::AgcSetpointLabels, 0xB007, {1, 1, 1}},
    {"AGC Attack, Input 3", KIND_SLIDER, 101, 0, L::AgcAttackLabels, 0xB00C, {1, 1, 1}},
    {"AGC Release, Input 3", KIND_SLIDER, 50, 2, L::AgcReleaseLabels, 0xB011, {1, 1, 1}},
    {"AGC Setpoint, Input 4", KIND_SLIDER, 31, 20, L::AgcSetpointLabels, 0xB008, {1, 0, 1}},
    {"AGC Attack, Input 4", KIND_SLIDER, 101, 0, L::AgcAttackLabels, 0xB00D, {1, 0, 1}},
    {"AGC Release, Input 4", KIND_SLIDER, 50, 2, L::AgcReleaseLabels, 0xB012, {1, 0, 1}},
    {"AGC Setpoint, Page Input", KIND_SLIDER, 31, 0, L::AgcSetpointLabels, 0xB009, {1, 1, 1}},
    {"AGC Attack, Page Input", KIND_SLIDER, 101, 1, L::AgcAttackLabels, 0xB00E, {1, 1, 1}},
    {"AGC Release, Page Input", KIND_SLIDER, 50, 1, L::AgcReleaseLabels, 0xB013, {1, 1, 1}},
};

// The defaults here are those of Mixer mode (row 0 of OutputModePresets).
constexpr ParamRow kOutputRows[] = {
    {"Output 1 input mix, Input1", KIND_CHECK, 2, 1, L::None, 0x4000, {1, 1, 1}},
    {"Output 1 input mix, Input2", KIND_CHECK, 2, 0, L::None, 0x4001, {1, 0, 1}},
    {"Output 1 input mix, Input3", KIND_CHECK, 2, 0, L::None, 0x4002, {1, 1, 0}},
    {"Output 1 input mix, Input4", KIND_CHECK, 2, 0, L::None, 0x4003, {1, 0, 0}},
    {"Output 2 input mix, Input1", KIND_CHECK, 2, 1, L::None, 0x4004, {1, 0, 0}},
    {"Output 2 input mix, Input2", KIND_CHECK, 2, 0, L::None, 0x4005, {1, 0, 0}},
    {"Output 2 input mix, Input3", KIND_CHECK, 2, 0, L::None, 0x4006, {1, 0, 1}},
    {"Output 2 input mix, Input4", KIND_CHECK, 2, 0, L::None, 0x4007, {1, 0, 1}},
    {"AuxOut input mix, Input1", KIND_CHECK, 2, 1, L::None, 0x4008, {1, 1, 1}},
    {"AuxOut input mix, Input2", KIND_CHECK, 2, 0, L::None, 0x4009, {1, 0, 1}},
    {"AuxOut input mix, Input3", KIND_CHECK, 2, 0, L::None, 0x400A, {1, 1, 1}},
    {"AuxOut input mix, Input4", KIND_CHECK, 2, 0, L::None, 0x400B, {1, 0, 1}},
    {"AuxOut Output Gain", KIND_SLIDER, 63, 62, L::OutputGainLabels, 0x8002, {1, 1, 0}},
    {"AuxOut Tone Bass", KIND_SLIDER, 25, 12, L::ToneLabels, 0x7002, {1, 1, 0}},
    {"AuxOut Tone Treble", KIND_SLIDER, 25, 12, L::ToneLabels, 0x7005, {1, 1, 0}},
};

constexpr ParamRow kEqRows[] = {
    {"Output 1 Speak EQ ID", KIND_SLIDER, 62, 0, L::EqIdLabels, 0x6000, {1, 1, 1}},
    {"Output 1 Dynamic EQ Enable", KIND_CHECK, 2, 0, L::None, 0x8003, {1, 1, 1}},
    {"Output 2 Speak EQ ID", KIND_SLIDER, 62, 0, L::EqIdLabels, 0x6001, {1, 0, 1}},
    {"Output 2 Dynamic EQ Enable", KIND_CHECK, 2, 0, L::None, 0x8004, {1, 0, 1}},
    {"AuxOut Speak EQ ID", KIND_SLIDER, 62, 0, L::EqIdLabels, 0x6002, {1, 1, 1}},
    {"AuxOut Dynamic EQ Enable", KIND_CHECK, 2, 0, L::None, 0x8005, {1, 1, 1}},
};

constexpr ParamRow kPageInRows[] = {
    {"Output 1 Page Threshold", KIND_SLIDER, 41, 10, L::PageThresholdLabels, 0x500F, {1, 1, 1}},
    {"Output 1 Ducking Level", KIND_SLIDER, 51, 30, L::DuckingLabels, 0x5006, {1, 1, 1}},
    {"Output 1 Attack Time", KIND_SLIDER, 21, 3, L::PageAttackLabels, 0x5000, {1, 1, 1}},
    {"Output 1 Release Time", KIND_SLIDER, 21, 12, L::PageReleaseLabels, 0x5003, {1, 1, 1}},
    {"Output 1 Delay Time", KIND_SLIDER, 10, 2, L::PageDelayLabels, 0x500C, {1, 1, 1}},
    {"Output 2 Page Threshold", KIND_SLIDER, 41, 10, L::PageThresholdLabels, 0x5010, {1, 0, 1}},
    {"Output 2 Ducking Level", KIND_SLIDER, 51, 30, L::DuckingLabels, 0x5007, {1, 0, 1}},
    {"Output 2 Attack Time", KIND_SLIDER, 21, 3, L::PageAttackLabels, 0x5001, {1, 0, 1}},
    {"Output 2 Release Time", KIND_SLIDER, 21, 12, L::PageReleaseLabels, 0x5004, {1, 0, 1}},
    {"Output 2 Delay Time", KIND_SLIDER, 10, 2, L::PageDelayLabels, 0x500D, {1, 0, 1}},
    {"AuxOut Page Threshold", KIND_SLIDER, 41, 10, L::PageThresholdLabels, 0x5011, {1, 1, 1}},
    {"AuxOut Ducking Level", KIND_SLIDER, 51, 30, L::DuckingLabels, 0x5008, {1, 1, 1}},
    {"AuxOut Attack Time", KIND_SLIDER, 21, 3, L::PageAttackLabels, 0x5002, {1, 1, 1}},
    {"AuxOut Release Time", KIND_SLIDER, 21, 12, L::PageReleaseLabels, 0x5005, {1, 1, 1}},
    {"AuxOut Delay Time", KIND_SLIDER, 10, 2, L::PageDelayLabels, 0x500E, {1, 1, 1}},
    {"Output 1 Page Enable", KIND_CHECK, 2, 0, L::None, 0x5012, {1, 1, 1}},
    {"Output 1 Page Lvl Adjust", KIND_SLIDER, 41, 20, L::PageLevelLabels, 0x5009, {1, 1, 1}},
    {"Output 2 Page Enable", KIND_CHECK, 2, 0, L::None, 0x5013, {1, 0, 1}},
    {"Output 2 Page Lvl Adjust", KIND_SLIDER, 41, 20, L::PageLevelLabels, 0x500A, {1, 0, 1}},
    {"AuxOut Page Enable", KIND_CHECK, 2, 0, L::None, 0x5014, {1, 1, 1}},
    {"AuxOut Page Lvl Adjust", KIND_SLIDER, 41, 20, L::PageLevelLabels, 0x500B, {1, 1, 1}},
    {"Page In tone Bass", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3004, {1, 1, 1}},
    {"Page In tone Treble", KIND_SLIDER, 25, 12, L::ToneLabels, 0x300A, {1, 1, 1}},
    {"Page In Trig Mode", KIND_RADIO_PAIR, 2, 1, L::None, 0x5016, {1, 1, 1}},  // "PTT" / "Auto"
};

constexpr ParamRow kDirectInRows[] = {
    {"Direct In Volume Level", KIND_SLIDER, 51, 40, L::VolumeLabels, 0x1005, {1, 1, 1}},
    {"Direct In Tone Bass", KIND_SLIDER, 25, 12, L::ToneLabels, 0x3005, {1, 1, 1}},
    {"Direct In Tone Treble", KIND_SLIDER, 25, 12, L::ToneLabels, 0x300B, {1, 1, 1}},
    {"Direct In Detect Enable, Output 1", KIND_CHECK, 2, 1, L::None, 0x6003, {1, 1, 1}},
    {"Direct In Detect Enable, Output 2", KIND_CHECK, 2, 1, L::None, 0x6004, {1, 0, 1}},
    {"Direct In Detect Enable, AuxOut", KIND_CHECK, 2, 1, L::None, 0x6005, {1, 1, 1}},
};

constexpr ParamRow kLimiterRows[] = {
    {"Output 1 Attack Time", KIND_SLIDER, 34, 2, L::LimiterAttackLabels, 0xA000, {1, 1, 1}},
    {"Output 1 Release Time", KIND_SLIDER, 23, 22, L::LimiterReleaseLabels, 0xA003, {1, 1, 1}},
    {"Output 1 Set Point", KIND_SLIDER, 41, 37, L::LimiterSetPointLabels, 0xA006, {1, 1, 1}},
    {"Output 2 Attack Time", KIND_SLIDER, 34, 2, L::LimiterAttackLabels, 0xA001, {1, 0, 1}},
    {"Output 2 Release Time", KIND_SLIDER, 23, 22, L::LimiterReleaseLabels, 0xA004, {1, 0, 1}},
    {"Output 2 Set Point", KIND_SLIDER, 41, 37, L::LimiterSetPointLabels, 0xA007, {1, 0, 1}},
    {"AuxOut Attack Time", KIND_SLIDER, 34, 2, L::LimiterAttackLabels, 0xA002, {1, 1, 1}},
    {"AuxOut Release Time", KIND_SLIDER, 23, 22, L::LimiterReleaseLabels, 0xA005, {1, 1, 1}},
    {"AuxOut Set Point", KIND_SLIDER, 41, 37, L::LimiterSetPointLabels, 0xA008, {1, 1, 1}},
    {"Output 1 Limiter Enable", KIND_CHECK, 2, 1, L::None, 0xA009, {1, 1, 1}},
    {"Output 2 Limiter Enable", KIND_CHECK, 2, 1, L::None, 0xA00A, {1, 0, 1}},
    {"AuxOut Limiter Enable", KIND_CHECK, 2, 1, L::None, 0xA00B, {1, 1, 1}},
};

constexpr ParamRow kSignalThrRows[] = {
    {"Present threshold, Input1", KIND_SLIDER, 10, 7, L::PresentLabels, 0x2006, {1, 1, 1}},
    {"Present threshold, Input2", KIND_SLIDER, 10, 7, L::PresentLabels, 0x2007, {1, 1, 1}},
    {"Present threshold, Input3", KIND_SLIDER, 10, 7, L::PresentLabels, 0x2008, {1, 1, 1}},
    {"Present threshold, Input4", KIND_SLIDER, 10, 7, L::PresentLabels, 0x2009, {1, 1, 1}},
    {"Present threshold, Page In", KIND_SLIDER, 10, 7, L::PresentLabels, 0x200A, {1, 1, 1}},
    {"Present threshold, Direct In", KIND_SLIDER, 10, 7, L::PresentLabels, 0x200B, {1, 1, 1}},
    {"Present threshold, Output1", KIND_SLIDER, 10, 7, L::PresentLabels, 0x9002, {1, 1, 1}},
    {"Present threshold, Output2", KIND_SLIDER, 10, 7, L::PresentLabels, 0x9003, {1, 1, 1}},
    {"Clip threshold, Input1", KIND_SLIDER, 10, 4, L::ClipLabels, 0x2000, {1, 1, 1}},
    {"Clip threshold, Input2", KIND_SLIDER, 10, 4, L::ClipLabels, 0x2001, {1, 1, 1}},
    {"Clip threshold, Input3", KIND_SLIDER, 10, 4, L::ClipLabels, 0x2002, {1, 1, 1}},
    {"Clip threshold, Input4", KIND_SLIDER, 10, 4, L::ClipLabels, 0x2003, {1, 1, 1}},
    {"Clip threshold, Page In", KIND_SLIDER, 10, 4, L::ClipLabels, 0x2004, {1, 1, 1}},
    {"Clip threshold, Direct In", KIND_SLIDER, 10, 4, L::ClipLabels, 0x2005, {1, 1, 1}},
    {"Clip threshold, Output1", KIND_SLIDER, 10, 4, L::ClipLabels, 0x9000, {1, 1, 1}},
    {"Clip threshold, Output2", KIND_SLIDER, 10, 4, L::ClipLabels, 0x9001, {1, 1, 1}},
};

constexpr ParamRow kMiscRows[] = {
    {"Wallplate Linked", KIND_CHECK, 2, 0, L::None, 0xF002, {1, 0, 0}},
};

struct PageSource {
    const char* title;
    const ParamRow* rows;
    int count;
    std::uint8_t group;  // conversion group written into every record of the page
};

template <std::size_t N>
constexpr PageSource Page(const char* title, const ParamRow (&rows)[N], std::uint8_t group)
{
    return {title, rows, static_cast<int>(N), group};
}

// In page-array order. Miscellaneous shares group 6 with Signal Thr.
constexpr PageSource kPageSources[PAGE_COUNT] = {
    Page("Input", kInputRows, 0),
    Page("Output", kOutputRows, 1),
    Page("EQ", kEqRows, 2),
    Page("Page In", kPageInRows, 3),
    Page("Direct In", kDirectInRows, 4),
    Page("Limiter", kLimiterRows, 5),
    Page("Signal Thr", kSignalThrRows, 6),
    Page("Miscellaneous", kMiscRows, 6),
};

constexpr bool CountsMatch()
{
    int total = 0;
    for (int p = 0; p < PAGE_COUNT; ++p) {
        if (kPageSources[p].count != PageParamCounts[p])
            return false;
        total += kPageSources[p].count;
    }
    return total == PARAM_COUNT;
}
static_assert(CountsMatch(), "page rows must match PageParamCounts");
static_assert(std::size(kOutputRows) == OUTPUT_PARAM_COUNT);

const LabelTable kNoLabels{};

} // namespace

const std::int32_t OutputModePresets[MIXER_MODE_COUNT][OUTPUT_PARAM_COUNT] = {
    // Output 1 mix | Output 2 mix | AuxOut mix | gain, bass, treble
    {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 62, 12, 12},  // Mixer
    {1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 62, 12, 12},  // Stereo Select
    {1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 62, 12, 12},  // Dual Mono Select
};

CDSPParamTable::CDSPParamTable()
{
    static_assert(FormattedEntries() == FORMATTED_LABELS);

    // Label tables first: the records point into them.
    int used = 0;
    for (int t = 0; t < LABEL_TABLE_COUNT; ++t) {
        const LabelSource& src = kLabelSources[t];
        LabelTable& table = m_labelTables[t];
        table.name = src.name;
        table.count = src.count;
        table.unit = src.unit;
        if (src.literal) {
            table.texts = src.literal;
            continue;
        }
        for (int i = 0; i < src.count; ++i) {
            char* text = m_formattedText[used + i];
            std::snprintf(text, FORMATTED_TEXT_LEN, "%*d", src.width, src.first + i * src.step);
            m_formattedEntries[used + i] = text;
        }
        table.texts = &m_formattedEntries[used];
        used += src.count;
    }

    // Then the records, page by page in slot order, each starting at its default.
    int first = 0;
    for (int p = 0; p < PAGE_COUNT; ++p) {
        const PageSource& page = kPageSources[p];
        m_pages[p] = &m_records[first];
        for (int s = 0; s < page.count; ++s) {
            const ParamRow& row = page.rows[s];
            const LabelTable& labels = GetLabelTable(row.labels);
            DSPParam& r = m_pages[p][s];
            r = DSPParam{};
            r.kind = row.kind;
            r.steps = row.steps;
            r.defaultIndex = row.defaultIndex;
            r.index = row.defaultIndex;
            r.labels = labels.texts;
            r.group = page.group;
            r.slot = static_cast<std::uint8_t>(s);
            r.address = row.address;
            for (int m = 0; m < MIXER_MODE_COUNT; ++m)
                r.enabledInMode[m] = row.modes[m];
            r.name = row.name;
            r.unit = labels.unit;
        }
        first += page.count;
    }
}

DSPParam* CDSPParamTable::GetPage(int page)
{
    return page >= 0 && page < PAGE_COUNT ? m_pages[page] : nullptr;
}

int CDSPParamTable::GetCount(int page) const
{
    return page >= 0 && page < PAGE_COUNT ? PageParamCounts[page] : 0;
}

DSPParam* CDSPParamTable::GetRecord(int page, int slot)
{
    if (slot < 0 || slot >= GetCount(page))
        return nullptr;
    return &m_pages[page][slot];
}

DSPParam* CDSPParamTable::FindByAddress(std::uint32_t address)
{
    for (DSPParam& r : m_records) {
        if (r.address == address)
            return &r;
    }
    return nullptr;
}

bool CDSPParamTable::LoadModeDefaults(int mode)
{
    if (mode < 0 || mode >= MIXER_MODE_COUNT)
        return false;
    DSPParam* output = m_pages[PAGE_OUTPUT];
    for (int s = 0; s < OUTPUT_PARAM_COUNT; ++s) {
        output[s].defaultIndex = OutputModePresets[mode][s];
        output[s].index = OutputModePresets[mode][s];
    }
    return true;
}

const LabelTable& CDSPParamTable::GetLabelTable(LabelTableId id) const
{
    const int t = static_cast<int>(id);
    return t < LABEL_TABLE_COUNT ? m_labelTables[t] : kNoLabels;
}

const char* CDSPParamTable::PageTitle(int page)
{
    return page >= 0 && page < PAGE_COUNT ? kPageSources[page].title : "";
}

const char* CDSPParamTable::PageUnit(int page) const
{
    if (page < 0 || page >= PAGE_COUNT)
        return nullptr;
    const char* unit = "";
    bool seen = false;
    for (int s = 0; s < PageParamCounts[page]; ++s) {
        const DSPParam& r = m_pages[page][s];
        if (r.kind != KIND_SLIDER)
            continue;
        if (seen && std::string_view(unit) != r.unit)
            return nullptr;
        unit = r.unit;
        seen = true;
    }
    return unit;
}

CDSPParamTable& TheParamTable()
{
    static CDSPParamTable table;
    return table;
}

const char* CurrentLabel(const DSPParam& record)
{
    if (record.kind != KIND_SLIDER || !record.labels || record.index < 0 || record.index >= record.steps)
        return nullptr;
    return record.labels[record.index];
}
