#include "link/LoopBuffer.h"
#include "support/MessageRecorder.h"

#include <gtest/gtest.h>

TEST(LoopBuffer, FullTwoSlotsEarlyAndWrapsAtCapacity)
{
    MessageRecorder messages;
    LoopBuffer ring;
    ring.SetSize(100);
    EXPECT_TRUE(ring.IsEmpty());
    EXPECT_FALSE(ring.IsFull());
    for (int i = 0; i < 97; ++i)
        ring.IncPutIndex();
    EXPECT_FALSE(ring.IsFull());
    EXPECT_EQ(ring.IncPutIndex(), 98);
    EXPECT_TRUE(ring.IsFull());

    // Take them all and go round once more: the indices wrap at 100, not at 98.
    for (int i = 0; i < 98; ++i)
        ring.IncGetIndex();
    EXPECT_TRUE(ring.IsEmpty());
    EXPECT_EQ(ring.m_getIndex, 98);
    ring.IncPutIndex();
    ring.IncPutIndex();
    EXPECT_EQ(ring.m_putIndex, 0);
    EXPECT_TRUE(messages.Texts().empty());

    ring.Clear();
    EXPECT_EQ(ring.m_putIndex, 0);
    EXPECT_EQ(ring.m_getIndex, 0);
    EXPECT_EQ(ring.m_count, 0);
    EXPECT_EQ(ring.m_capacity, 100);
}

TEST(LoopBuffer, CountOutsideTheRingIsReportedNotCorrected)
{
    MessageRecorder messages;
    LoopBuffer ring;  // capacity 50 until SetSize
    ring.IncGetIndex();
    EXPECT_EQ(ring.m_count, -1);
    EXPECT_EQ(ring.m_getIndex, 1);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"LoopBuffer Error:Get index exceed"});

    messages.Clear();
    ring.Clear();
    for (int i = 0; i < 50; ++i)
        ring.IncPutIndex();
    EXPECT_TRUE(messages.Texts().empty());  // exactly the capacity is still in bounds
    ring.IncPutIndex();
    EXPECT_EQ(ring.m_count, 51);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"LoopBuffer Error:Get index exceed"});
}
