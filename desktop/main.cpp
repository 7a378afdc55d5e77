// kmr6650-tool: the desktop maintenance tool.
//   kmr6650-tool            the main window: connection check, software and preset updates
//   kmr6650-tool --editor   the same, with the parameter editor in a window of its own
//   kmr6650-tool --version  the program's name and version
// Qt's standard options (-platform, -display, -style, ...) go to Qt.
#include "app/UpdaterApp.h"
#include "qtplatform/GuiProgram.h"

namespace {
const char* const USAGE =
    "Usage: kmr6650-tool [--editor] [Qt options]\n"
    "  kmr6650-tool           the maintenance tool: connection check, software and preset updates\n"
    "  kmr6650-tool --editor  the same, with the DSP parameter editor and the register console\n"
    "                         in a second window, \"KMR 6650 Parameter Editor\"\n"
    "  kmr6650-tool --version the program's name and version\n"
    "  kmr6650-tool --help    this text\n";
} // namespace

int main(int argc, char** argv)
{
    // The arguments are read before the display is opened, so that --help and a mistake are
    // answered in any terminal.
    kmr::CGuiProgram program("kmr6650-tool", USAGE, "kmr6650-cli does the same work in a terminal");
    EditorPlacement editor = EditorPlacement::Hidden;
    const auto ended = program.ReadArguments(argc, argv, [&](std::string_view arg) {
        if (arg != "--editor")
            return false;
        editor = EditorPlacement::Window;
        return true;
    });
    if (ended)
        return *ended;
    program.StartApplication();
    CUpdaterApp updater(editor);
    return updater.Run();
}
