#include "gui/ProgramStart.h"

#include <fstream>
#include <unistd.h>

CliRun RunWithoutDisplay(const std::string& program, const std::string& args, const std::string& env)
{
    return RunProgram(program, args, "env -u DISPLAY -u WAYLAND_DISPLAY -u WAYLAND_SOCKET -u QT_QPA_PLATFORM " + env);
}

std::string UnreachableDisplay()
{
    // An X server of display :N listens on /tmp/.X11-unix/XN, and on Linux also on the
    // abstract socket of that name, which /proc/net/unix lists with a leading '@'.
    std::string sockets;
    {
        std::ifstream in("/proc/net/unix");
        sockets.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (int n = 55;; ++n) {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(n);
        if (access(path.c_str(), F_OK) != 0 && sockets.find("@" + path + "\n") == std::string::npos)
            return ":" + std::to_string(n);
    }
}
