// kmr6650-sim: a simulated amplifier on a pseudo-terminal, and a maker of update files.
//   kmr6650-sim [--silent] [--erase-ms MS] [--baud BAUD] [--latency MS]
//       prints the device path on its first line, then serves until ended (Ctrl-C, SIGTERM)
//   kmr6650-sim make-file system|preset PATH [FAULT]
//       writes a valid update file, or one with FAULT, for trying the tool
#include "AmpSimulator.h"
#include "KmrVersion.h"
#include "UpdateFileMaker.h"
#include "platform/InputFile.h"
#include "platform/OutputFile.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const kUsage =
    "usage: kmr6650-sim [--silent] [--erase-ms MS] [--baud BAUD] [--latency MS]\n"
    "  Serves a simulated KMR 6650 amplifier on a pseudo-terminal. The first line of output\n"
    "  is the device path to open (kmr6650-cli --port /dev/pts/N ..., or KMR6650_COM1=/dev/pts/N\n"
    "  for the desktop program). Ends on Ctrl-C or SIGTERM.\n"
    "  --silent      the amplifier answers nothing (to see how the tool reports it)\n"
    "  --erase-ms MS how long the amplifier takes to erase before an update (default 1500)\n"
    "  --baud BAUD   pace the line both ways as a serial line at BAUD (8N2) does (300 or more)\n"
    "  --latency MS  deliver the answers in bursts at most every MS ms, as a USB-serial\n"
    "                adapter's latency timer does (16 is a common default)\n"
    "  --version     the program's name and version\n"
    "usage: kmr6650-sim make-file system|preset PATH [FAULT]\n"
    "  Writes a valid update file to PATH, or a broken one with FAULT:\n"
    "    system: header (first bytes 00 00 00 01), marker (bad marker at 0x4000),\n"
    "            block-sum (one bad block sum), short (one byte short)\n"
    "    preset: record-sum (bad second record), short (one byte short)\n";

int Usage(const std::string& reason)
{
    std::fprintf(stderr, "kmr6650-sim: %s\n%s", reason.c_str(), kUsage);
    return 2;
}

bool ParseNumber(const char* text, unsigned* value)
{
    char* end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || v > 100000000)
        return false;
    *value = static_cast<unsigned>(v);
    return true;
}

int MakeFile(int argc, char** argv)
{
    if (argc < 4 || argc > 5)
        return Usage("make-file needs a kind and a path");
    const std::string kind = argv[2];
    const std::string fault = argc == 5 ? argv[4] : "";
    std::vector<std::uint8_t> bytes;
    if (kind == "system") {
        kmr::sim::SystemFileOptions o;
        if (fault == "header")
            o.fault = o.HEADER;
        else if (fault == "marker")
            o.fault = o.MARKER;
        else if (fault == "block-sum")
            o.fault = o.BLOCK_SUM;
        else if (fault == "short")
            o.fault = o.SHORT;
        else if (!fault.empty())
            return Usage("unknown system file fault '" + fault + "'");
        bytes = kmr::sim::MakeSystemUpdateFile(o);
    } else if (kind == "preset") {
        kmr::sim::PresetFileOptions o;
        if (fault == "record-sum")
            o.fault = o.RECORD_SUM;
        else if (fault == "short")
            o.fault = o.SHORT;
        else if (!fault.empty())
            return Usage("unknown preset file fault '" + fault + "'");
        bytes = kmr::sim::MakePresetUpdateFile(o);
    } else {
        return Usage("the kind is system or preset, not '" + kind + "'");
    }
    std::string target, reason;
    if (!kmr::CheckOutputFile(argv[3], &target, &reason)) {
        std::fprintf(stderr, "kmr6650-sim: cannot write '%s': %s\n", kmr::Printable(argv[3]).c_str(), reason.c_str());
        return 2;
    }
    std::string error;
    if (!kmr::sim::WriteUpdateFile(argv[3], bytes, &error)) {
        std::fprintf(stderr, "kmr6650-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %s update file, %zu bytes%s\n", kmr::Printable(argv[3]).c_str(), kind.c_str(), bytes.size(),
                fault.empty() ? "" : (" with fault " + fault).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "make-file") == 0)
        return MakeFile(argc, argv);

    bool silent = false;
    unsigned eraseMs = 1500, baud = 0, latencyMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--silent") {
            silent = true;
        } else if ((a == "--erase-ms" || a == "--baud" || a == "--latency") && i + 1 < argc) {
            unsigned* value = a == "--baud" ? &baud : a == "--latency" ? &latencyMs : &eraseMs;
            if (!ParseNumber(argv[++i], value))
                return Usage("bad number '" + std::string(argv[i]) + "' for " + a);
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::fputs("kmr6650-sim " KMR_VERSION_TEXT "\n", stdout);
            return 0;
        } else {
            return Usage("unknown option '" + a + "'");
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
    if (!sim.SetLineBaud(baud))
        return Usage("--baud must be " + std::to_string(CAmpSimulator::MIN_LINE_BAUD) + " or more, not " +
                     std::to_string(baud));
    sim.SetLatencyMs(latencyMs);
    sim.Update().SetEraseTimeMs(eraseMs);
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
