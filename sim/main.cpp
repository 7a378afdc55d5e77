// kmr6650-sim: a simulated amplifier on a pseudo-terminal. Prints the device path on its first
// line, then serves until it is ended (Ctrl-C, SIGTERM).
#include "AmpSimulator.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

void Usage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: kmr6650-sim [--silent]\n"
                 "  Serves a simulated KMR 6650 amplifier on a pseudo-terminal. The first line of\n"
                 "  output is the device path to open (e.g. kmr6650-cli --port /dev/pts/3 check,\n"
                 "  or KMR6650_COM1=/dev/pts/3 for the desktop program). Ends on Ctrl-C or SIGTERM.\n"
                 "  --silent   the amplifier answers nothing (to see how the tool reports it)\n");
}

} // namespace

int main(int argc, char** argv)
{
    bool silent = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--silent") == 0) {
            silent = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "kmr6650-sim: unknown option '%s'\n", argv[i]);
            Usage(stderr);
            return 2;
        }
    }

    // Block the ending signals before the serving thread starts, so only sigwait sees them.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);

    CAmpSimulator sim;
    sim.SetSilent(silent);
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "kmr6650-sim: cannot create a pseudo-terminal: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", sim.SlavePath().c_str());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&ending, &sig);
    sim.Stop();
    return 0;
}
