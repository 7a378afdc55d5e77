// kmr6650-tool's own arguments and its start without a display, through the real program.
#include "KmrVersion.h"
#include "gui/ProgramStart.h"

#include <gtest/gtest.h>

TEST(ToolProgram, PrintsItsVersionWithoutADisplay)
{
    // With or without Qt's options before it.
    for (const std::string args : {"--version", "-platform offscreen --version", "--style Fusion --version"}) {
        const CliRun r = RunWithoutDisplay(KMR_TOOL_PATH, args);
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        EXPECT_EQ(r.out, std::string("kmr6650-tool ") + KMR_VERSION_TEXT + "\n") << args;
        EXPECT_EQ(r.err, "") << args;
    }
    const CliRun help = RunWithoutDisplay(KMR_TOOL_PATH, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("kmr6650-tool --version"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("-platform offscreen"), std::string::npos) << help.out;
}

TEST(ToolProgram, WithoutADisplaySaysSoInOneLineAndPointsToTheCli)
{
    // Neither an X nor a Wayland display, and Qt's default platform or one that needs a display.
    for (const std::string env : {"", "QT_QPA_PLATFORM=xcb", "QT_QPA_PLATFORM='wayland;xcb'", "DISPLAY="}) {
        const CliRun r = RunWithoutDisplay(KMR_TOOL_PATH, "--editor", env);
        EXPECT_EQ(r.status, 1) << env;
        ASSERT_EQ(SplitLines(r.err).size(), 1u) << env << ": " << r.err;
        EXPECT_NE(r.err.find("graphical display"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("DISPLAY or WAYLAND_DISPLAY"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("kmr6650-cli"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // A display that is named but cannot be opened, in the environment or on the command line:
    // the same one line, with the display Qt tried, and no abort.
    const std::string display = UnreachableDisplay();
    for (const auto& [env, args] : {std::pair<std::string, std::string>{"DISPLAY=" + display, ""},
                                    {"DISPLAY=" + display, "--editor -style Fusion"},
                                    {"", "-display " + display}}) {
        const CliRun r = RunWithoutDisplay(KMR_TOOL_PATH, args, env);
        EXPECT_EQ(r.status, 1) << env << " " << args << ": " << r.err;
        ASSERT_EQ(SplitLines(r.err).size(), 1u) << env << " " << args << ": " << r.err;
        EXPECT_NE(r.err.find("kmr6650-tool: cannot open a graphical display"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("could not connect to display " + display), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("kmr6650-cli does the same work in a terminal"), std::string::npos) << r.err;
    }
    // A wrong argument is still answered first, as a usage error, and so is a Qt option
    // without its value.
    EXPECT_EQ(RunWithoutDisplay(KMR_TOOL_PATH, "--edtor").status, 2);
    const CliRun noValue = RunWithoutDisplay(KMR_TOOL_PATH, "--editor -platform");
    EXPECT_EQ(noValue.status, 2);
    EXPECT_NE(noValue.err.find("-platform needs a value"), std::string::npos) << noValue.err;

    // A platform that needs no display starts the program, chosen in the environment or with
    // Qt's own option: it is still running when stopped.
    for (const auto& [env, args] : {std::pair<std::string, std::string>{"QT_QPA_PLATFORM=offscreen", ""},
                                    {"", "-platform offscreen --editor"}}) {
        const CliRun r = RunWithoutDisplay("timeout 3 " KMR_TOOL_PATH, args, env);
        EXPECT_EQ(r.status, 124) << env << " " << args << ": " << r.err;
        EXPECT_EQ(r.err.find("graphical display"), std::string::npos) << r.err;
    }
}
