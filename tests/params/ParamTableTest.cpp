#include "params/ParamTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// Each test works on a table of its own, so edits never leak into the program's instance.
class ParamTableTest : public ::testing::Test {
protected:
    CDSPParamTable table;

    std::vector<DSPParam*> All()
    {
        std::vector<DSPParam*> all;
        for (int p = 0; p < PAGE_COUNT; ++p)
            for (int s = 0; s < table.GetCount(p); ++s)
                all.push_back(table.GetRecord(p, s));
        return all;
    }

    const LabelTable& Labels(int t) { return table.GetLabelTable(static_cast<LabelTableId>(t)); }

    // The label table a record's labels point into, or null.
    const LabelTable* OwnerOf(const DSPParam& r)
    {
        for (int t = 0; t < LABEL_TABLE_COUNT; ++t)
            if (Labels(t).texts == r.labels)
                return &Labels(t);
        return nullptr;
    }
};

TEST_F(ParamTableTest, PagesAreContiguousWithTheirCountsSlotsAndGroups)
{
    const int counts[PAGE_COUNT] = {28, 15, 6, 24, 6, 12, 16, 1};
    const int groups[PAGE_COUNT] = {0, 1, 2, 3, 4, 5, 6, 6};  // Miscellaneous shares group 6
    int total = 0;
    for (int p = 0; p < PAGE_COUNT; ++p) {
        ASSERT_EQ(table.GetCount(p), counts[p]) << "page " << p;
        if (p > 0) {
            EXPECT_EQ(table.GetPage(p - 1) + table.GetCount(p - 1), table.GetPage(p)) << "page " << p;
        }
        for (int s = 0; s < counts[p]; ++s) {
            EXPECT_EQ(table.GetPage(p)[s].slot, s);
            EXPECT_EQ(table.GetPage(p)[s].group, groups[p]) << "page " << p << " slot " << s;
        }
        total += counts[p];
    }
    EXPECT_EQ(total, 108);
}

TEST_F(ParamTableTest, OutOfRangePagesAndSlotsGiveNothing)
{
    EXPECT_TRUE(!table.GetPage(-1) && !table.GetPage(PAGE_COUNT) && table.GetCount(PAGE_COUNT) == 0);
    EXPECT_TRUE(!table.GetRecord(PAGE_MISC, 1) && !table.GetRecord(PAGE_INPUT, -1));
    EXPECT_EQ(table.FindByAddress(0xF001), nullptr);  // the mixer mode has no record
}

TEST_F(ParamTableTest, AddressesAreDistinctNonZero16BitValues)
{
    std::set<std::uint32_t> seen;
    for (DSPParam* r : All()) {
        EXPECT_TRUE(r->address != 0 && r->address <= 0xFFFF) << r->name;
        EXPECT_TRUE(seen.insert(r->address).second) << "duplicate address of " << r->name;
        EXPECT_EQ(table.FindByAddress(r->address), r);
    }
    EXPECT_STREQ(table.FindByAddress(0x1005)->name, "Direct In Volume Level");
    EXPECT_STREQ(table.FindByAddress(0x9002)->name, "Present threshold, Output1");
}

TEST_F(ParamTableTest, StepsMatchLabelsAndKind)
{
    for (const DSPParam* r : All()) {
        SCOPED_TRACE(r->name);
        switch (r->kind) {
        case KIND_SLIDER: {
            const LabelTable* owner = OwnerOf(*r);
            ASSERT_NE(owner, nullptr);
            EXPECT_EQ(r->steps, owner->count) << owner->name;
            EXPECT_STREQ(r->unit, owner->unit);
            break;
        }
        case KIND_CHECK:
        case KIND_RADIO_PAIR:
            EXPECT_TRUE(r->steps == 2 && !r->labels && !CurrentLabel(*r) && *r->unit == '\0');
            break;
        default:
            ADD_FAILURE() << "kind " << int{r->kind};
        }
        EXPECT_TRUE(r->defaultIndex >= 0 && r->defaultIndex < r->steps);
    }
    EXPECT_EQ(table.GetRecord(PAGE_PAGE_IN, 23)->kind, KIND_RADIO_PAIR);  // the only radio pair
}

TEST_F(ParamTableTest, LabelTablesHaveTheirSizesAndTexts)
{
    struct Expect {
        LabelTableId id;
        int count;
        const char *first, *last;
        int at;  // one more entry worth pinning down
        const char* text;
    };
    using L = LabelTableId;
    const Expect expected[] = {
        {L::ToneLabels, 25, "-6.00", "+6.00", 12, " 0.00"},
        {L::OutputGainLabels, 63, "-62", "0", 61, "-1"},
        {L::VolumeLabels, 51, "-40", "10", 40, "0"},
        {L::EqIdLabels, 62, " 1", "62", 9, "10"},
        {L::PageThresholdLabels, 41, "-70", "-30", 10, "-60"},
        {L::DuckingLabels, 51, "-50", "  0", 41, " -9"},
        {L::PageLevelLabels, 41, "-20", " 20", 21, "  1"},
        {L::LimiterSetPointLabels, 41, "-40", "  0", 37, " -3"},
        {L::PageAttackLabels, 21, "0.25", "100", 11, " 10"},
        {L::PageReleaseLabels, 21, "  25", " 10000", 12, " 2000"},
        {L::PageDelayLabels, 10, "0.5", "5.0", 2, "1.5"},
        {L::LimiterAttackLabels, 34, " 0.5", "500", 24, "100"},
        {L::LimiterReleaseLabels, 23, " 0.50", " 5.0", 12, " 1.8"},
        {L::PresentLabels, 10, "-54", "-36", 7, "-40"},
        {L::ClipLabels, 10, "-5.0", "-0.5", 4, "-3.0"},
        {L::AgcSetpointLabels, 31, "-10", "+20", 10, " 0"},
        {L::AgcAttackLabels, 101, "2", "500", 2, "10"},
        {L::AgcReleaseLabels, 50, "100", "5000", 2, "300"},
    };
    ASSERT_EQ(std::size(expected), static_cast<std::size_t>(LABEL_TABLE_COUNT));
    for (const Expect& e : expected) {
        const LabelTable& t = table.GetLabelTable(e.id);
        SCOPED_TRACE(t.name);
        ASSERT_EQ(t.count, e.count);
        EXPECT_STREQ(t.texts[0], e.first);
        EXPECT_STREQ(t.texts[t.count - 1], e.last);
        EXPECT_STREQ(t.texts[e.at], e.text);
    }
    EXPECT_STREQ(table.GetLabelTable(L::LimiterReleaseLabels).texts[16], " 2.8");
    EXPECT_EQ(table.GetLabelTable(L::None).count, 0);
}

// Every table names a rising scale: a mistyped or misplaced literal breaks the order.
TEST_F(ParamTableTest, EveryLabelTableRisesStepByStep)
{
    for (int t = 0; t < LABEL_TABLE_COUNT; ++t) {
        const LabelTable& lt = Labels(t);
        SCOPED_TRACE(lt.name);
        double previous = -1e9;
        for (int i = 0; i < lt.count; ++i) {
            char* end = nullptr;
            const double v = std::strtod(lt.texts[i], &end);
            EXPECT_EQ(*end, '\0') << "entry " << i << " \"" << lt.texts[i] << "\"";
            EXPECT_GT(v, previous) << "entry " << i;
            previous = v;
        }
    }
}

TEST_F(ParamTableTest, StartsAtDefaultsWithNoControlsAttached)
{
    for (const DSPParam* r : All()) {
        EXPECT_EQ(r->index, r->defaultIndex) << r->name;
        EXPECT_EQ(r->deviceValue, 0u) << r->name;
        EXPECT_TRUE(!r->slider && !r->button && !r->button2 && !r->valueText) << r->name;
    }
    struct Expect { int page, slot; const char* label; };
    const Expect defaults[] = {
        {PAGE_INPUT, 0, " 0.00"}, {PAGE_INPUT, 13, "+10"},   {PAGE_INPUT, 25, "-10"},
        {PAGE_OUTPUT, 12, "0"},   {PAGE_PAGE_IN, 3, " 2000"}, {PAGE_DIRECT_IN, 0, "0"},
        {PAGE_LIMITER, 1, " 5.0"}, {PAGE_LIMITER, 2, " -3"}, {PAGE_SIGNAL_THR, 8, "-3.0"},
    };
    for (const Expect& e : defaults) {
        const DSPParam* r = table.GetRecord(e.page, e.slot);
        EXPECT_STREQ(CurrentLabel(*r), e.label) << r->name;
    }
    EXPECT_EQ(table.GetRecord(PAGE_INPUT, 12)->defaultIndex, 1);    // page input AGC: checked
    EXPECT_EQ(table.GetRecord(PAGE_PAGE_IN, 23)->defaultIndex, 1);  // Trig Mode: "PTT"
}

// Sliders that share a scale share its default on every channel; only the page input's AGC
// starts elsewhere.
TEST_F(ParamTableTest, SlidersOfOneScaleShareTheirDefault)
{
    std::map<const char* const*, const DSPParam*> first;
    for (const DSPParam* r : All()) {
        if (r->kind != KIND_SLIDER || std::string(r->name).find("Page Input") != std::string::npos)
            continue;
        const auto [it, inserted] = first.emplace(r->labels, r);
        EXPECT_EQ(r->defaultIndex, it->second->defaultIndex) << r->name << " vs " << it->second->name;
    }
}

// Which controls each mixer mode disables, by address: Mixer only the page input's AGC switch;
// Stereo everything of Input 2, Input 4 and Output 2 and the mix switches a pair choice fixes;
// Dual Mono the mix switches outside the output's pair and the AuxOut gain and tone.
TEST_F(ParamTableTest, ModesDisableExactlyTheirControls)
{
    const std::set<std::uint32_t> disabled[MIXER_MODE_COUNT] = {
        {0xB004},
        {0x3001, 0x3007, 0x3003, 0x3009, 0xB001, 0xB003, 0xB004, 0xB006, 0xB00B, 0xB010, 0xB008,
         0xB00D, 0xB012, 0x4001, 0x4003, 0x4004, 0x4005, 0x4006, 0x4007, 0x4009, 0x400B, 0x6001,
         0x8004, 0x5010, 0x5007, 0x5001, 0x5004, 0x500D, 0x5013, 0x500A, 0x6004, 0xA001, 0xA004,
         0xA007, 0xA00A, 0xF002},
        {0x4002, 0x4003, 0x4004, 0x4005, 0x8002, 0x7002, 0x7005, 0xB004, 0xF002},
    };
    for (int m = 0; m < MIXER_MODE_COUNT; ++m) {
        std::set<std::uint32_t> actual;
        for (const DSPParam* r : All()) {
            if (r->enabledInMode[m] == 0)
                actual.insert(r->address);
        }
        EXPECT_EQ(actual, disabled[m]) << "mode " << m;
    }
}

TEST_F(ParamTableTest, LoadModeDefaultsSetsEachModesOutputDefaults)
{
    // Mix switches on in each mode, as slots 0..11 (4 x output + input).
    const std::set<int> mixOn[MIXER_MODE_COUNT] = {{0, 4, 8}, {0, 5, 8, 9}, {0, 6, 8}};
    DSPParam* input = table.GetRecord(PAGE_INPUT, 0);
    input->index = 3;  // another page's edit must survive
    for (int m : {MIXER_MODE_STEREO, MIXER_MODE_DUAL_MONO, MIXER_MODE_MIXER}) {
        SCOPED_TRACE(m);
        DSPParam* output = table.GetPage(PAGE_OUTPUT);
        output[12].index = 0;  // an edit that the mode's defaults replace
        ASSERT_TRUE(table.LoadModeDefaults(m));
        for (int s = 0; s < 12; ++s) {
            EXPECT_EQ(output[s].defaultIndex, mixOn[m].count(s) ? 1 : 0) << "slot " << s;
            EXPECT_EQ(output[s].index, output[s].defaultIndex) << "slot " << s;
        }
        for (int s : {12, 13, 14})
            EXPECT_EQ(output[s].index, s == 12 ? 62 : 12);
    }
    EXPECT_EQ(input->index, 3);
    EXPECT_EQ(input->defaultIndex, 12);

    table.GetPage(PAGE_OUTPUT)[0].index = 0;  // an unknown mode changes nothing
    EXPECT_FALSE(table.LoadModeDefaults(-1));
    EXPECT_FALSE(table.LoadModeDefaults(MIXER_MODE_COUNT));
    EXPECT_EQ(table.GetPage(PAGE_OUTPUT)[0].index, 0);
}

TEST_F(ParamTableTest, PageUnitIsGivenOnlyWhereThePageHasOne)
{
    const std::string units[PAGE_COUNT] = {"mixed", "dB", "", "mixed", "dB", "mixed", "dBV", ""};
    for (int p = 0; p < PAGE_COUNT; ++p) {
        const char* unit = table.PageUnit(p);
        EXPECT_EQ(unit ? unit : "mixed", units[p]) << CDSPParamTable::PageTitle(p);
    }
    EXPECT_STREQ(table.GetRecord(PAGE_LIMITER, 1)->unit, "S");
    EXPECT_STREQ(CDSPParamTable::PageTitle(PAGE_MISC), "Miscellaneous");
    EXPECT_EQ(&TheParamTable(), &TheParamTable());
}

} // namespace
