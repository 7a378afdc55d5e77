// --version of kmr6650-cli and kmr6650-sim, and the build step that makes the version text:
// the project version alone outside a git checkout, with the checkout's description inside one.
#include "KmrVersion.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Runs the version script as the build does, for SOURCE_DIR dir, and returns the header it wrote.
std::string MakeVersionHeader(const fs::path& dir)
{
    const fs::path out = dir / "KmrVersion.h";
    const std::string cmd = std::string("'") + KMR_CMAKE_COMMAND + "' -DSOURCE_DIR='" + dir.string() + "' -DOUTPUT='" +
                            out.string() + "' -DPROJECT_VERSION=7.3 -P '" + KMR_VERSION_SCRIPT + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return ReadTextFile(out.string());
}

std::string Shell(const std::string& cmd)
{
    const CliRun r = RunProgram("sh", "-c '" + cmd + "'");
    EXPECT_EQ(r.status, 0) << cmd << ": " << r.err;
    return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1);
}

} // namespace

TEST(ProgramVersion, CliAndSimPrintTheirNameAndTheBuildsVersionAndNothingElse)
{
    // The build's text starts with the project version; a description only follows it.
    const std::string text = KMR_VERSION_TEXT;
    ASSERT_EQ(text.rfind(KMR_PROJECT_VERSION, 0), 0u) << text;
    if (std::string(KMR_GIT_DESCRIBE).empty())
        EXPECT_EQ(text, KMR_PROJECT_VERSION);
    else
        EXPECT_EQ(text, std::string(KMR_PROJECT_VERSION) + " (git " + KMR_GIT_DESCRIBE + ")");

    for (const auto& [path, name] : {std::pair{KMR_CLI_PATH, "kmr6650-cli"}, std::pair{KMR_SIM_PATH, "kmr6650-sim"}}) {
        const CliRun r = RunProgram(path, "--version");
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(r.out, std::string(name) + " " + text + "\n");
        EXPECT_EQ(r.err, "");
        const CliRun help = RunProgram(path, "--help");
        EXPECT_NE(help.out.find("--version"), std::string::npos) << name << " --help does not name --version";
    }
    // Options before it are still read; a bad one is still refused first.
    EXPECT_EQ(RunProgram(KMR_CLI_PATH, "--port COM2 --version").out, "kmr6650-cli " + text + "\n");
    EXPECT_EQ(RunProgram(KMR_CLI_PATH, "--port COM13 --version").status, 2);
}

TEST(ProgramVersion, TheBuildStepDescribesAGitCheckoutAndOnlyTheVersionWithoutOne)
{
    const fs::path dir = fs::path(::testing::TempDir()) / ("version-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);

    // An unpacked tarball: no .git, so the project version alone.
    std::string header = MakeVersionHeader(dir);
    EXPECT_NE(header.find("#define KMR_VERSION_TEXT \"7.3\"\n"), std::string::npos) << header;
    EXPECT_NE(header.find("#define KMR_GIT_DESCRIBE \"\"\n"), std::string::npos) << header;

    if (std::system("git --version >/dev/null 2>&1") != 0) {
        fs::remove_all(dir);
        GTEST_SKIP() << "git is not installed";
    }
    const std::string git = "git -C " + dir.string() + " -c user.name=t -c user.email=t@t -c safe.directory=* ";
    std::ofstream(dir / "file.txt") << "one\n";
    Shell(git + "init -q && " + git + "add file.txt && " + git + "commit -q -m one");
    const std::string hash = Shell(git + "rev-parse --short HEAD");
    ASSERT_FALSE(hash.empty());

    header = MakeVersionHeader(dir);
    EXPECT_NE(header.find("#define KMR_VERSION_TEXT \"7.3 (git " + hash + ")\"\n"), std::string::npos) << header;

    // An edit of a tracked file shows as -dirty at the next build.
    std::ofstream(dir / "file.txt") << "two\n";
    header = MakeVersionHeader(dir);
    EXPECT_NE(header.find("#define KMR_VERSION_TEXT \"7.3 (git " + hash + "-dirty)\"\n"), std::string::npos)
        << header;
    fs::remove_all(dir);
}
