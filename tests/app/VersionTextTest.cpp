#include "app/VersionText.h"

#include <gtest/gtest.h>

TEST(VersionText, FirmwareLabels)
{
    EXPECT_EQ(FirmwareLabelText(1203, 0), "FW V: 04B30000 / V1.2.03");
    EXPECT_EQ(FirmwareVersionText(1203, 21), "1.2.03 b2");
    EXPECT_EQ(FirmwareVersionText(1203, 121), "1.2.03rc2");
    EXPECT_EQ(FirmwareVersionText(1203, 20), "1.2.03");  // units digit 0: no suffix
    EXPECT_EQ(FirmwareVersionText(5, 0), "0.0.05");
    EXPECT_EQ(FirmwareLabelText(65535, 65535), "FW V: FFFFFFFF / V65.5.35rc3");
}

TEST(VersionText, EqLabels)
{
    EXPECT_EQ(EqLabelText(105, 0), "EQ V: 00690000 / V0.1.05.G");
    EXPECT_EQ(EqVersionText(105, 1000), "0.1.05.J");
    EXPECT_EQ(EqVersionText(105, 1121), "0.1.05.Jrc2");
    EXPECT_EQ(EqVersionText(105, 21), "0.1.05.G b2");
}

TEST(VersionText, FailedReadsGiveTheFailureTexts)
{
    EXPECT_EQ(FirmwareLabelText(-1, 0), "FW V: 0000 / 000000");
    EXPECT_EQ(FirmwareLabelText(1203, -1), "FW V: 0000 / 000000");
    EXPECT_EQ(EqLabelText(-1, -1), "EQ V: 0000 / 000000");
    EXPECT_EQ(EqLabelText(105, -1), "EQ V: 0000 / 000000");
}
