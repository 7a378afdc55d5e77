// kmr6650-cli: the maintenance tool's core from a terminal, for scripted and headless work.
#include "Cli.h"
#include "KmrVersion.h"

#include "link/FrameTrace.h"
#include "link/ProtocolMACLayer.h"
#include "link/SerialDevice.h"
#include "platform/InputFile.h"

#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <strings.h>

namespace {

const char* const kUsage =
    "usage: kmr6650-cli [OPTION]... COMMAND [ARGS]...\n"
    "options (before or after the command; -- ends them):\n"
    "  -p, --port=PORT    COM1..COM12 or a device path (/dev/ttyUSB0, a pseudo-terminal). COM<n>\n"
    "                     is the device KMR6650_COM<n> names, else the n-th serial device with\n"
    "                     hardware behind it (the order of 'ports'), else /dev/ttyS<n-1>, as in\n"
    "                     the desktop program. Default COM1. Line: 56000 baud, 8N2.\n"
    "  -b, --baud=BAUD    the line's speed instead of 56000 (the amplifier's must match)\n"
    "  -y, --yes          answer OK to every question instead of asking on the terminal\n"
    "  -q, --quiet        results and errors only: no progress, no intermediate status\n"
    "      --trace=FILE   write one timestamped line per frame sent or received\n"
    "      --json         one JSON document on standard output and nothing else there (texts go\n"
    "                     to standard error); same exit status\n"
    "  -V, --version      the program's name and version\n"
    "  -h, --help         this text\n"
    "commands:\n"
    "  ports                 lists the serial devices with their COM numbers, which can be\n"
    "                        used, and why not\n"
    "  check                 connection check; prints \"OK\" or \"Connection Error\"\n"
    "  versions              prints the firmware and EQ version labels\n"
    "  reg COMMAND           one register-console command, e.g. r16>0x3000, w16>0x3000,0x0010,\n"
    "                        r16#0x10000000, w32#0x10000000,0x12345678; prints the result line\n"
    "  update system FILE    replaces the DSP system software from FILE\n"
    "  update preset FILE    replaces the EQ presets from FILE\n"
    "  update test           runs the update sequence with a small test data set\n"
    "  check-file system|preset FILE\n"
    "                        checks an update file without a port\n"
    "  params read           reads the mixer mode, the preset count and every parameter\n"
    "  params save FILE      the same, written to FILE\n"
    "  params load FILE      checks FILE, then writes the mixer mode and every parameter\n"
    "  params reset          resets every parameter to its default and writes them all\n"
    "  params diff FILE      compares the amplifier's parameters with FILE\n"
    "  params diff FILE1 FILE2\n"
    "                        compares two parameter files, without a port\n"
    "exit status: 0 success, 1 failure (no answer, port cannot be opened, update failed;\n"
    "             for params diff: the parameters differ), 2 bad input (usage, bad port name,\n"
    "             bad command or file contents; for params diff also a failed read),\n"
    "             128 + the signal's number when SIGINT, SIGTERM or SIGHUP stopped the work\n";

// COM1..COM12 gives a port number; a path gives a device. Anything else is refused.
bool ParsePort(const std::string& text, CliOptions* o)
{
    if (!text.empty() && text[0] == '/') {
        o->devicePath = text;
        return true;
    }
    if (text.size() < 4 || text.size() > 5 || strncasecmp(text.c_str(), "COM", 3) != 0 || text[3] == '0')
        return false;
    int n = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        n = n * 10 + (text[i] - '0');
    }
    if (n < 1 || n > 12)
        return false;
    o->portNumber = n;
    return true;
}

struct Command {
    const char* name;
    int (*run)(const CliOptions&);
};
constexpr Command kCommands[] = {
    {"ports", RunPorts},   {"check", RunCheck},   {"versions", RunVersions},  {"reg", RunReg},
    {"update", RunUpdate}, {"check-file", RunCheckFile}, {"params", RunParams},
};

// The long options without a short form.
enum : int { OPT_TRACE = 1000, OPT_JSON };
constexpr option kOptions[] = {
    {"port", required_argument, nullptr, 'p'},   {"baud", required_argument, nullptr, 'b'},
    {"yes", no_argument, nullptr, 'y'},          {"quiet", no_argument, nullptr, 'q'},
    {"trace", required_argument, nullptr, OPT_TRACE}, {"json", no_argument, nullptr, OPT_JSON},
    {"version", no_argument, nullptr, 'V'},      {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

// Reads the options, wherever they stand, and leaves the command and its arguments in o->args.
// Returns the exit status when the program ends here (help, version, a usage error).
std::optional<int> ReadOptions(int argc, char** argv, CliOptions* o)
{
    opterr = 0;  // the reasons are ours, one line each
    optind = 1;
    for (;;) {
        const int c = getopt_long(argc, argv, ":p:b:yqVh", kOptions, nullptr);
        if (c == -1)
            break;
        // The word that held the faulty option (getopt has moved the command's words aside).
        const std::string given = optind > 0 && optind <= argc ? argv[optind - 1] : "";
        switch (c) {
        case 'p':
            if (!ParsePort(optarg, o))
                return UsageError("bad port name " + kmr::Quoted(optarg) + ": use COM1..COM12 or a device path");
            break;
        case 'b': {
            const std::string v = optarg;
            if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos || !kmr::ParseLineSettings(v + "N82"))
                return UsageError("bad baud rate " + kmr::Quoted(v) + ": give a speed such as 56000");
            o->baud = v;
            break;
        }
        case 'y': o->yes = true; break;
        case 'q': o->quiet = true; break;
        case OPT_TRACE: o->tracePath = optarg; break;
        case OPT_JSON: o->json = true; break;
        case 'V':
            std::fputs("kmr6650-cli " KMR_VERSION_TEXT "\n", stdout);
            return FinishOutput(0);
        case 'h':
            std::fputs(kUsage, stdout);
            return FinishOutput(0);
        case ':':
            return UsageError("the option " + kmr::Quoted(given) + " needs a value");
        default:  // a short option in a bundle is named alone; a long one as written
            return UsageError("unknown option " +
                              kmr::Quoted(optopt != 0 && given.rfind("--", 0) != 0 ? std::string("-") + char(optopt) : given));
        }
    }
    for (int i = optind; i < argc; ++i)
        o->args.emplace_back(argv[i]);
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    GuardStandardStreams();
    CliOptions o;
    if (const auto ended = ReadOptions(argc, argv, &o))
        return *ended;
    if (o.args.empty())
        return UsageError("no command given");
    const Command* command = nullptr;
    for (const Command& c : kCommands)
        if (o.args[0] == c.name)
            command = &c;
    if (command == nullptr)
        return UsageError("unknown command " + kmr::Quoted(o.args[0]));

    ConfigureOutput(o);
    CFileFrameTrace trace;
    if (!o.tracePath.empty()) {
        std::string reason;
        if (!trace.Open(o.tracePath, &reason))
            return UsageError("cannot write the trace file '" + kmr::Printable(o.tracePath) + "': " + reason);
        TheMacLayer().SetTrace(&trace);
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // whole lines at once, also into a pipe
    int status = command->run(o);
    if (!o.tracePath.empty()) {
        TheMacLayer().SetTrace(nullptr);
        std::string reason;
        if (!trace.Close(&reason)) {
            std::fprintf(stderr, "kmr6650-cli: the trace file '%s' is incomplete: %s\n",
                         kmr::Printable(o.tracePath).c_str(), reason.c_str());
            status = status != 0 ? status : 1;
        }
    }
    return FinishOutput(status);
}
