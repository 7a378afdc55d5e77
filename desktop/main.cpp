// kmr6650-tool: the desktop maintenance tool.
//   kmr6650-tool            the main window: connection check, software and preset updates
//   kmr6650-tool --editor   the same, with the parameter editor in a window of its own
#include "app/UpdaterApp.h"
#include "platform/InputFile.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {
const char* const USAGE =
    "Usage: kmr6650-tool [--editor]\n"
    "  kmr6650-tool           the maintenance tool: connection check, software and preset updates\n"
    "  kmr6650-tool --editor  the same, with the DSP parameter editor and the register console\n"
    "                         in a second window, \"KMR 6650 Parameter Editor\"\n"
    "  kmr6650-tool --help    this text\n";
} // namespace

int main(int argc, char** argv)
{
    // The arguments are read before the display is opened, so that --help and a mistake are
    // answered in any terminal.
    EditorPlacement editor = EditorPlacement::Hidden;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--editor") == 0) {
            editor = EditorPlacement::Window;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(USAGE, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "kmr6650-tool: unknown argument '%s' (kmr6650-tool --help shows the two ways to start)\n", kmr::Printable(argv[i]).c_str());
            return 2;
        }
    }
    int qtArgc = 1;  // the arguments above are the program's own, none is Qt's
    QApplication app(qtArgc, argv);
    CUpdaterApp updater(editor);
    return updater.Run();
}
