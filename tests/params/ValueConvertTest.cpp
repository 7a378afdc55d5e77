#include "params/ValueConvert.h"

#include <gtest/gtest.h>

namespace {

class ValueConvertTest : public ::testing::Test {
protected:
    CDSPParamTable table;

    // Stores a read value and converts it, as the reader does.
    std::int32_t Read(DSPParam& r, std::uint32_t deviceValue)
    {
        r.deviceValue = deviceValue;
        return FromDeviceValue(r);
    }
    std::uint32_t Write(DSPParam& r, std::int32_t index)
    {
        r.index = index;
        return ToDeviceValue(r);
    }
};

// Whatever a write sends, a read of the same value gives back: for every record and step.
// The largest 16-bit value is no valid step anywhere, and a value wider than 16 bits is
// refused before any arithmetic on it; a refused read keeps the index.
TEST_F(ValueConvertTest, EveryStepSurvivesAWriteAndAReadAndNothingElseDoes)
{
    for (int p = 0; p < PAGE_COUNT; ++p) {
        for (int s = 0; s < table.GetCount(p); ++s) {
            DSPParam& r = *table.GetRecord(p, s);
            for (int i = 0; i < r.steps; ++i) {
                const std::uint32_t sent = Write(r, i);
                ASSERT_LE(sent, 0xFFFFu) << r.name << " index " << i;
                r.index = -100;
                ASSERT_EQ(Read(r, sent), i) << r.name << " device value " << sent;
                ASSERT_EQ(r.index, i) << r.name;
            }
            EXPECT_LT(Read(r, 0xFFFF), 0) << r.name;
            EXPECT_EQ(Read(r, 0x10000), FROM_DEVICE_TOO_HIGH) << r.name;
            EXPECT_EQ(Read(r, 0x80000000u), FROM_DEVICE_TOO_HIGH) << r.name;
            EXPECT_EQ(r.index, r.steps - 1) << r.name;
        }
    }
}

TEST_F(ValueConvertTest, DirectInVolumeTravelsWithAnOffsetOf20)
{
    DSPParam& volume = *table.GetRecord(PAGE_DIRECT_IN, 0);
    EXPECT_EQ(Write(volume, 0), 20u);   // "-40"
    EXPECT_EQ(Write(volume, 40), 60u);  // "0"
    EXPECT_EQ(Write(volume, 50), 70u);  // "10"

    volume.index = 33;
    EXPECT_EQ(Read(volume, 19), FROM_DEVICE_TOO_LOW);
    EXPECT_EQ(Read(volume, 71), FROM_DEVICE_TOO_HIGH);
    EXPECT_EQ(volume.index, 33);
    EXPECT_EQ(Read(volume, 20), 0);
    EXPECT_EQ(Read(volume, 70), 50);
    EXPECT_EQ(Read(volume, 60), 40);
    EXPECT_STREQ(CurrentLabel(volume), "0");
}

TEST_F(ValueConvertTest, LimiterSetPointsTravelReversed)
{
    for (int slot : {2, 5, 8}) {
        DSPParam& setPoint = *table.GetRecord(PAGE_LIMITER, slot);
        SCOPED_TRACE(setPoint.name);
        EXPECT_EQ(Write(setPoint, 0), 40u);  // "-40"
        EXPECT_EQ(Write(setPoint, 40), 0u);  // "  0"

        setPoint.index = 11;
        EXPECT_EQ(Read(setPoint, 41), FROM_DEVICE_TOO_LOW);
        EXPECT_EQ(setPoint.index, 11);
        EXPECT_EQ(Read(setPoint, 40), 0);
        EXPECT_EQ(Read(setPoint, 0), 40);
        EXPECT_EQ(Read(setPoint, 3), 37);
        EXPECT_STREQ(CurrentLabel(setPoint), " -3");
    }
}

TEST_F(ValueConvertTest, OtherRecordsTravelUnchanged)
{
    // Neighbours of the special records, a tone, and the two pages of group 6.
    const int plain[][2] = {{PAGE_DIRECT_IN, 1}, {PAGE_LIMITER, 0}, {PAGE_LIMITER, 3}, {PAGE_INPUT, 0},
                            {PAGE_SIGNAL_THR, 2}, {PAGE_MISC, 0}};
    for (const auto& ps : plain) {
        DSPParam& r = *table.GetRecord(ps[0], ps[1]);
        EXPECT_EQ(ConvertValue(r, 1, CONVERT_TO_DEVICE), 1) << r.name;
        EXPECT_EQ(ConvertValue(r, 1, CONVERT_FROM_DEVICE), 1) << r.name;
        EXPECT_EQ(ConvertValue(r, 1, 3), 1) << r.name;
    }
    DSPParam& bass = *table.GetRecord(PAGE_INPUT, 0);
    EXPECT_EQ(Read(bass, 24), 24);
    EXPECT_STREQ(CurrentLabel(bass), "+6.00");
    EXPECT_EQ(Read(bass, 25), FROM_DEVICE_TOO_HIGH);
    EXPECT_EQ(bass.index, 24);

    // A special record asked for an unknown direction gives 0.
    EXPECT_EQ(ConvertValue(*table.GetRecord(PAGE_DIRECT_IN, 0), 30, 0), 0);
    EXPECT_EQ(ConvertValue(*table.GetRecord(PAGE_LIMITER, 5), 30, 3), 0);
}

} // namespace
