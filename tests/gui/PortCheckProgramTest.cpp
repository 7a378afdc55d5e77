// kmr6650-portcheck's arguments and its start without a display, through the real program.
#include "KmrVersion.h"
#include "gui/ProgramStart.h"

#include <gtest/gtest.h>

TEST(PortCheckProgram, PrintsItsVersionAndHelpWithoutADisplay)
{
    const CliRun version = RunWithoutDisplay(KMR_PORTCHECK_PATH, "-platform offscreen --version");
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, std::string("kmr6650-portcheck ") + KMR_VERSION_TEXT + "\n");
    EXPECT_EQ(version.err, "");
    const CliRun help = RunWithoutDisplay(KMR_PORTCHECK_PATH, "-h");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("kmr6650-portcheck --version"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("kmr6650-cli ports"), std::string::npos) << help.out;

    const CliRun wrong = RunWithoutDisplay(KMR_PORTCHECK_PATH, "--editor");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err, "kmr6650-portcheck: unknown argument '--editor' (kmr6650-portcheck --help lists the arguments)\n");
}

TEST(PortCheckProgram, WithoutADisplaySaysSoInOneLineAndPointsToCliPorts)
{
    // No display at all, one that cannot be opened, and a platform Qt does not have.
    const std::string display = UnreachableDisplay();
    const struct {
        std::string env, args, reason;
    } cases[] = {
        {"", "", "DISPLAY or WAYLAND_DISPLAY is not set"},
        {"DISPLAY=" + display, "", "could not connect to display " + display},
        {"DISPLAY=" + display, "-platform nosuchplatform", "\"nosuchplatform\""},
    };
    for (const auto& c : cases) {
        const CliRun r = RunWithoutDisplay(KMR_PORTCHECK_PATH, c.args, c.env);
        EXPECT_EQ(r.status, 1) << c.env << " " << c.args << ": " << r.err;
        ASSERT_EQ(SplitLines(r.err).size(), 1u) << c.env << " " << c.args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("kmr6650-portcheck: cannot open a graphical display (", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("; kmr6650-cli ports prints the same check in a terminal\n"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(PortCheckProgram, StartsWithQtsOwnOptionsAndPassesOnWhatQtSaysOnTheWay)
{
    // Qt's options go to Qt: the window runs on the offscreen platform (still running when
    // stopped), and Qt's warning about the unknown style, given while the application is being
    // made, still reaches standard error.
    const CliRun r = RunWithoutDisplay("timeout 3 " KMR_PORTCHECK_PATH, "--platform offscreen -style nosuchstyle -reverse");
    EXPECT_EQ(r.status, 124) << r.err;
    EXPECT_NE(r.err.find("invalid style override 'nosuchstyle'"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("graphical display"), std::string::npos) << r.err;
}
