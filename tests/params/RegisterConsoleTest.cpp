#include "params/RegisterConsole.h"
#include "support/SimLink.h"

#include <gtest/gtest.h>

namespace {
RegisterParse Parse(const std::string& text, RegisterCommand* c = nullptr)
{
    RegisterCommand local;
    return ParseRegisterCommand(text, c ? c : &local);
}
} // namespace

TEST(RegisterGrammar, RecognisesEachFormByLetterWidthKindAndLength)
{
    RegisterCommand c;
    ASSERT_EQ(Parse("r16>0x3000", &c), RegisterParse::Ok);
    EXPECT_EQ(c.kind, RegisterCommand::ReadParam);
    EXPECT_EQ(c.address, 0x3000u);
    ASSERT_EQ(Parse("w16>0x3000,0x0010", &c), RegisterParse::Ok);
    EXPECT_EQ(c.kind, RegisterCommand::WriteParam);
    EXPECT_EQ(c.value, 0x10u);
    ASSERT_EQ(Parse("r16#0x1000abCD", &c), RegisterParse::Ok);
    EXPECT_EQ(c.kind, RegisterCommand::ReadMemWord);
    EXPECT_EQ(c.address, 0x1000ABCDu);
    ASSERT_EQ(Parse("w16#0x10000000,0xBEEF", &c), RegisterParse::Ok);
    EXPECT_EQ(c.kind, RegisterCommand::WriteMemWord);
    EXPECT_EQ(c.value, 0xBEEFu);
    ASSERT_EQ(Parse("r32#0x10000000", &c), RegisterParse::Ok);
    EXPECT_EQ(c.kind, RegisterCommand::ReadMemDWord);
    ASSERT_EQ(Parse("w32#0x10000000,0x89abcdef", &c), RegisterParse::Ok);
    EXPECT_EQ(c.kind, RegisterCommand::WriteMemDWord);
    EXPECT_EQ(c.value, 0x89ABCDEFu);
}

TEST(RegisterGrammar, SeparatorPositionsAreNotExamined)
{
    RegisterCommand c;
    ASSERT_EQ(Parse("w16>0x3000;0x0010", &c), RegisterParse::Ok);
    EXPECT_EQ(c.value, 0x10u);
    EXPECT_EQ(Parse("r16>  3000"), RegisterParse::Ok);
    EXPECT_EQ(Parse("w32#xx10000000 zz89abcdef"), RegisterParse::Ok);
}

TEST(RegisterGrammar, BadCommands)
{
    for (const char* bad : {"", "r", "r16", "x16>0x3000", "R16>0x3000", "r16=0x3000", "r16>0x300", "r16>0x30000",
                            "w16>0x3000,0x001", "r32>0x3000", "r17>0x3000", "w32>0x3000,0x0010",
                            "r26#0x10000000", "r12#0x10000000", "w16#0x10000000,0x00100", "w16#0x10000000,0x0010000",
                            "w32#0x10000000,0xBEEF", "w16#0x10000000,0x12345678"})
        EXPECT_EQ(Parse(bad), RegisterParse::BadCommand) << '"' << bad << '"';
}

TEST(RegisterGrammar, BadDigits)
{
    for (const char* bad : {"r16>0x30G0", "r16>0x 300", "w16>0x3000,0x00g0", "r16#0x1000000Z", "w32#0x10000000,0x1234567-",
                            "w16#0x10000000,0x-001"})
        EXPECT_EQ(Parse(bad), RegisterParse::BadData) << bad;
}

class RegisterConsole : public SimLinkTest {};

TEST_F(RegisterConsole, RunsEachCommandAgainstTheAmplifier)
{
    sim.SetParam(0x3000, 0x00AB);
    EXPECT_EQ(RunRegisterCommand("r16>0x3000", proto), "Data: 0x00ab");
    EXPECT_EQ(RunRegisterCommand("w16>0x3000,0x0010", proto), "Write OK");
    EXPECT_EQ(sim.GetParam(0x3000), 0x0010);
    EXPECT_EQ(RunRegisterCommand("w32#0x10000000,0x89ABCDEF", proto), "Write OK");
    EXPECT_EQ(RunRegisterCommand("r32#0x10000000", proto), "Data: 0x89abcdef");
    EXPECT_EQ(RunRegisterCommand("r16#0x10000000", proto), "Data: 0xcdef");
    EXPECT_EQ(RunRegisterCommand("w16#0x10000000,0x0001", proto), "Write OK");
    EXPECT_EQ(sim.GetMemory(0x10000000), 1u);

    sim.ClearReceived();
    EXPECT_EQ(RunRegisterCommand("r16>0x300", proto), "Bad Command");
    EXPECT_EQ(RunRegisterCommand("r16>0x30G0", proto), "Bad Data");
    EXPECT_TRUE(sim.Received().empty());  // nothing is sent for a bad command

    sim.SetSilent(true);
    EXPECT_EQ(RunRegisterCommand("r16>0x3000", proto), "Read Error");
    EXPECT_EQ(RunRegisterCommand("w16>0x3000,0x0010", proto), "Write Error");
    EXPECT_EQ(RunRegisterCommand("r32#0x10000000", proto), "Read Error");
}
