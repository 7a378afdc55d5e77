// The port check window (kmr6650-portcheck): what it lists, and that looking opens nothing.
#include "app/DlgPortCheck.h"
#include "support/DeviceUsers.h"
#include "support/PtyPair.h"
#include "support/ScopedEnv.h"

#include <QPushButton>
#include <gtest/gtest.h>

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

TEST(PortCheckWindow, NamesTheHolderAndWhatItCheckedWithoutOpeningAnyDevice)
{
    PtyPair pty;
    const std::string fifo = ::testing::TempDir() + "kmr-portcheck-fifo-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ScopedEnv com11("KMR6650_COM11", fifo), com12("KMR6650_COM12", pty.SlavePath());
    OpenWatch watch;
    ASSERT_TRUE(watch.Add(pty.SlavePath()));
    ASSERT_TRUE(watch.Add(fifo));

    std::optional<HoldingProcess> terminal;
    terminal.emplace(std::vector<int>{pty.WatchFd()});
    ASSERT_GT(terminal->Pid(), 0);
    CDlgPortCheck window;
    window.show();
    std::string text = window.Findings().toStdString();
    EXPECT_NE(text.find("Checked without opening any device"), std::string::npos) << text;
    EXPECT_NE(text.find("COM11: " + fifo + " - serial device\n  cannot be used: not a serial device\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("COM12: " + pty.SlavePath() + " - pseudo-terminal\n  cannot be used: busy, in use by sleep (pid " +
                        std::to_string(terminal->Pid()) + ")\n"),
              std::string::npos)
        << text;

    // The other program ends; Check Again finds the port free.
    terminal.reset();
    for (QPushButton* b : window.findChildren<QPushButton*>())
        if (b->text() == "Check Again")
            b->click();
    text = window.Findings().toStdString();
    EXPECT_NE(text.find("COM12: " + pty.SlavePath() + " - pseudo-terminal\n  can be opened: ready for use\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(watch.Opens(), 0) << "the window opened a device";
    std::remove(fifo.c_str());
}
