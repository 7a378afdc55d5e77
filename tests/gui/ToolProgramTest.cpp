// kmr6650-tool's own arguments and its start without a display, through the real program.
#include "KmrVersion.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

namespace {
// Runs the tool with none of the variables that name a display or a Qt platform, plus env.
CliRun RunWithoutDisplay(const std::string& args, const std::string& env = "")
{
    return RunProgram(KMR_TOOL_PATH, args,
                      "env -u DISPLAY -u WAYLAND_DISPLAY -u WAYLAND_SOCKET -u QT_QPA_PLATFORM " + env);
}
} // namespace

TEST(ToolProgram, PrintsItsVersionWithoutADisplay)
{
    const CliRun r = RunWithoutDisplay("--version");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string("kmr6650-tool ") + KMR_VERSION_TEXT + "\n");
    EXPECT_EQ(r.err, "");
    const CliRun help = RunWithoutDisplay("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("kmr6650-tool --version"), std::string::npos) << help.out;
}

TEST(ToolProgram, WithoutADisplaySaysSoInOneLineAndPointsToTheCli)
{
    // Neither an X nor a Wayland display, and Qt's default platform or one that needs a display.
    for (const std::string env : {"", "QT_QPA_PLATFORM=xcb", "QT_QPA_PLATFORM='wayland;xcb'", "DISPLAY="}) {
        const CliRun r = RunWithoutDisplay("--editor", env);
        EXPECT_EQ(r.status, 1) << env;
        ASSERT_EQ(SplitLines(r.err).size(), 1u) << env << ": " << r.err;
        EXPECT_NE(r.err.find("graphical display"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("DISPLAY or WAYLAND_DISPLAY"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("kmr6650-cli"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // A wrong argument is still answered first, as a usage error.
    EXPECT_EQ(RunWithoutDisplay("--edtor").status, 2);

    // A platform that needs no display starts the program: it is still running when stopped.
    const CliRun offscreen =
        RunProgram("timeout 3 " KMR_TOOL_PATH, "", "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen");
    EXPECT_EQ(offscreen.status, 124) << offscreen.err;
    EXPECT_EQ(offscreen.err.find("graphical display"), std::string::npos) << offscreen.err;
}
