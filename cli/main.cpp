// kmr6650-cli: the maintenance tool's core from a terminal, for scripted and headless work.
#include "Cli.h"
#include "KmrVersion.h"

#include "link/FrameTrace.h"
#include "link/ProtocolMACLayer.h"
#include "link/SerialDevice.h"
#include "platform/InputFile.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

const char* const kUsage =
    "usage: kmr6650-cli [--port PORT] [--baud BAUD] [--yes] [--trace FILE] [--json] COMMAND [ARGS]\n"
    "  PORT      COM1..COM12 or a device path (/dev/ttyUSB0, a pseudo-terminal). COM<n> is the\n"
    "            device KMR6650_COM<n> names, else the n-th serial device with hardware behind\n"
    "            it (the order of 'ports'), else /dev/ttyS<n-1>, as in the desktop program.\n"
    "            Default COM1. Line: 56000 baud, 8 data bits, no parity, 2 stop bits.\n"
    "  --baud BAUD   the line's speed instead of 56000 (the amplifier's must match)\n"
    "  --yes     answer OK to every question instead of asking on the terminal\n"
    "  --trace FILE  write one timestamped line per frame sent or received\n"
    "  --json    for ports, check, versions and params read: one JSON document on standard\n"
    "            output and nothing else there (texts go to standard error); same exit status\n"
    "  --version the program's name and version\n"
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
    "exit status: 0 success, 1 failure (no answer, port cannot be opened, update failed),\n"
    "             2 bad input (usage, bad port name, bad command or file contents)\n";

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

} // namespace

int main(int argc, char** argv)
{
    GuardStandardStreams();
    CliOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (!o.args.empty()) {
            o.args.push_back(a);
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::fputs("kmr6650-cli " KMR_VERSION_TEXT "\n", stdout);
            return 0;
        } else if (a == "--port" || a == "--trace" || a == "--baud") {
            if (i + 1 >= argc)
                return UsageError(a + " needs a value");
            const std::string v = argv[++i];
            if (a == "--trace")
                o.tracePath = v;
            else if (a == "--baud" && (v.empty() || v.find_first_not_of("0123456789") != std::string::npos ||
                                       !kmr::ParseLineSettings(v + "N82")))
                return UsageError("bad baud rate " + kmr::Quoted(v) + ": give a speed such as 56000");
            else if (a == "--baud")
                o.baud = v;
            else if (!ParsePort(v, &o))
                return UsageError("bad port name " + kmr::Quoted(v) + ": use COM1..COM12 or a device path");
        } else if (a == "--yes") {
            o.yes = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option " + kmr::Quoted(a));
        } else {
            o.args.push_back(a);
        }
    }
    if (o.args.empty())
        return UsageError("no command given");
    const Command* command = nullptr;
    for (const Command& c : kCommands)
        if (o.args[0] == c.name)
            command = &c;
    if (command == nullptr)
        return UsageError("unknown command " + kmr::Quoted(o.args[0]));
    const bool hasJson = o.args[0] == "ports" || o.args[0] == "check" || o.args[0] == "versions" ||
                         (o.args[0] == "params" && o.args.size() == 2 && o.args[1] == "read");
    if (o.json && !hasJson)
        return UsageError("--json is for ports, check, versions and params read");

    InstallMessageHandler(o.yes, o.json);
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
