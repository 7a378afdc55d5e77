// kmr6650-portcheck: checks the serial line before work and shows the findings in a window.
//   kmr6650-portcheck            the window
//   kmr6650-portcheck --version  the program's name and version
// Qt's standard options (-platform, -display, -style, ...) go to Qt.
#include "app/DlgPortCheck.h"
#include "qtplatform/GuiProgram.h"

#include <QApplication>

namespace {
const char* const USAGE =
    "Usage: kmr6650-portcheck [Qt options]\n"
    "  kmr6650-portcheck           a window that lists the serial devices, which of them this\n"
    "                              account can open, and for each one it cannot, why and what to do\n"
    "  kmr6650-portcheck --version the program's name and version\n"
    "  kmr6650-portcheck --help    this text\n";
} // namespace

int main(int argc, char** argv)
{
    kmr::CGuiProgram program("kmr6650-portcheck", USAGE, "kmr6650-cli ports prints the same check in a terminal");
    if (const auto ended = program.ReadArguments(argc, argv, [](std::string_view) { return false; }))
        return *ended;
    QApplication& app = program.StartApplication();
    CDlgPortCheck window;
    window.show();
    return app.exec();
}
