// kmr6650-tool: the desktop maintenance tool.
//   kmr6650-tool            the main window: connection check, software and preset updates
//   kmr6650-tool --editor   the same, with the parameter editor in a window of its own
//   kmr6650-tool --version  the program's name and version
#include "KmrVersion.h"
#include "app/UpdaterApp.h"
#include "platform/InputFile.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
const char* const USAGE =
    "Usage: kmr6650-tool [--editor]\n"
    "  kmr6650-tool           the maintenance tool: connection check, software and preset updates\n"
    "  kmr6650-tool --editor  the same, with the DSP parameter editor and the register console\n"
    "                         in a second window, \"KMR 6650 Parameter Editor\"\n"
    "  kmr6650-tool --version the program's name and version\n"
    "  kmr6650-tool --help    this text\n";

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// True when Qt would look for an X or Wayland display that the environment does not name.
// QT_QPA_PLATFORM is a ';'-separated list of platforms to try, each maybe with ':options'
// (offscreen, vnc:size=800x600, "wayland;xcb"); any one that needs no display (offscreen,
// minimal, vnc, eglfs, linuxfb, ...) lets Qt start, and unset or empty means xcb.
bool DisplayMissing()
{
    if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("WAYLAND_SOCKET"))
        return false;
    const char* platforms = std::getenv("QT_QPA_PLATFORM");
    const std::string list = platforms != nullptr ? platforms : "";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string entry = list.substr(start, end - start);
        const std::string name = entry.substr(0, entry.find(':'));
        if (!name.empty() && name != "xcb" && name.rfind("wayland", 0) != 0)
            return false;
        start = end + 1;
    }
    return true;
}
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
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("kmr6650-tool " KMR_VERSION_TEXT "\n", stdout);
            return 0;
        } else {
            std::fprintf(stderr, "kmr6650-tool: unknown argument '%s' (kmr6650-tool --help shows the two ways to start)\n", kmr::Printable(argv[i]).c_str());
            return 2;
        }
    }
    // Without a display Qt would end the program with a message about its platform plugin and an
    // abort; say instead what is missing and where the same work can be done.
    if (DisplayMissing()) {
        std::fputs("kmr6650-tool: needs a graphical display (DISPLAY or WAYLAND_DISPLAY is not set); "
                   "kmr6650-cli does the same work in a terminal\n",
                   stderr);
        return 1;
    }
    int qtArgc = 1;  // the arguments above are the program's own, none is Qt's
    QApplication app(qtArgc, argv);
    CUpdaterApp updater(editor);
    return updater.Run();
}
