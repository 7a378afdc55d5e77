// kmr6650-cli: the maintenance tool's core from a terminal, for scripted and headless work.
#include "app/VersionText.h"
#include "link/FrameTrace.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "params/MixerLink.h"
#include "params/RegisterConsole.h"
#include "platform/MessageBox.h"
#include "platform/Sleep.h"
#include "protocol/ProtocolAppNormal.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned kSettleMs = 100;  // after opening, before the first request, as the desktop does

const char* const kUsage =
    "usage: kmr6650-cli [--port PORT] [--yes] [--trace FILE] COMMAND [ARGS]\n"
    "  PORT      COM1..COM12 (mapped to a device like the desktop program: KMR6650_COM<n>,\n"
    "            else /dev/ttyS<n-1>) or a device path (/dev/ttyUSB0, a pseudo-terminal).\n"
    "            Default COM1. Line: 56000 baud, 8 data bits, no parity, 2 stop bits.\n"
    "  --yes     answer OK to every question instead of asking on the terminal\n"
    "  --trace FILE  write one timestamped line per frame sent or received\n"
    "commands:\n"
    "  check         connection check; prints \"OK\" or \"Connection Error\"\n"
    "  versions      prints the firmware and EQ version labels\n"
    "  reg COMMAND   one register-console command, e.g. r16>0x3000, w16>0x3000,0x0010,\n"
    "                r16#0x10000000, w32#0x10000000,0x12345678; prints the result line\n"
    "exit status: 0 success, 1 failure (no answer, port cannot be opened), 2 bad input\n";

struct Options {
    int portNumber = 1;
    std::string devicePath;
    bool yes = false;
    std::string tracePath;
    std::vector<std::string> args;  // the command and its arguments
};

int UsageError(const std::string& reason)
{
    std::fprintf(stderr, "kmr6650-cli: %s (see kmr6650-cli --help)\n", reason.c_str());
    return 2;
}

// COM1..COM12 gives a port number; a path gives a device. Anything else is refused.
bool ParsePort(const std::string& text, Options* o)
{
    if (!text.empty() && text[0] == '/') {
        o->devicePath = text;
        return true;
    }
    if (text.size() < 4 || text.size() > 5 || strncasecmp(text.c_str(), "COM", 3) != 0)
        return false;
    int n = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        n = n * 10 + (text[i] - '0');
    }
    if (n < 1 || n > 12 || text[3] == '0')
        return false;
    o->portNumber = n;
    return true;
}

// Every message of the core goes to standard output as whole lines. A question is answered
// OK by --yes, asked on a terminal, and answered Cancel when nobody can be asked.
void InstallMessageHandler(bool yes)
{
    kmr::SetMessageHandler([yes](const std::string& text, bool showCancel) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        if (!showCancel)
            return kmr::MSG_OK;
        if (yes)
            return kmr::MSG_OK;
        if (!isatty(STDIN_FILENO))
            return kmr::MSG_CANCEL;
        std::printf("OK or Cancel? [o/C] ");
        std::fflush(stdout);
        std::string answer;
        if (!std::getline(std::cin, answer))
            return kmr::MSG_CANCEL;
        return (answer == "o" || answer == "O" || answer == "ok" || answer == "OK") ? kmr::MSG_OK : kmr::MSG_CANCEL;
    });
}

// The port for one run: opened on construction, closed and detached from the frame layer at
// the end, so no exchange can outlive it.
class PortSession {
public:
    explicit PortSession(const Options& o)
    {
        m_host.SetPortSettings(o.portNumber, "56000", "N", "8", "2");
        if (!o.devicePath.empty())
            m_host.SetPortDevice(o.devicePath);
        if (m_host.OpenPort() == 0)
            return;  // the reason has been shown
        TheMacLayer().SetPort(&m_host);
        kmr::Sleep(kSettleMs);
        m_open = true;
    }
    ~PortSession()
    {
        TheMacLayer().SetPort(nullptr);
        if (m_host.IsPortOpen())
            m_host.ClosePort();
    }
    bool IsOpen() const { return m_open; }

private:
    CMSCommDlg m_host;
    bool m_open = false;
};

int RunCheck(const Options& o)
{
    PortSession port(o);
    if (!port.IsOpen()) {
        std::printf("Can not open port.\n");
        return 1;
    }
    const unsigned r = TheNormalProtocol().CheckConnection();
    if (r == 1) {
        std::printf("Connection Error\n");
        std::printf("Port is not open! Please open the port!\nMake sure cable is attched and try again.\n");
        return 1;
    }
    std::printf("OK\n");
    return 0;
}

int RunVersions(const Options& o)
{
    PortSession port(o);
    if (!port.IsOpen()) {
        std::printf("Can not open port.\n");
        return 1;
    }
    int w[4];
    for (int n = 0; n < 4; ++n)
        w[n] = ReadVersionWord(n);
    std::printf("%s\n%s\n", FirmwareLabelText(w[0], w[1]).c_str(), EqLabelText(w[2], w[3]).c_str());
    return (w[0] < 0 || w[1] < 0 || w[2] < 0 || w[3] < 0) ? 1 : 0;
}

int RunReg(const Options& o)
{
    if (o.args.size() != 2)
        return UsageError("reg takes one command, e.g. reg r16>0x3000");
    RegisterCommand parsed;
    const RegisterParse p = ParseRegisterCommand(o.args[1], &parsed);
    if (p != RegisterParse::Ok) {  // nothing is sent for a command that is not recognised
        std::printf("%s\n", p == RegisterParse::BadCommand ? "Bad Command" : "Bad Data");
        return 2;
    }
    PortSession port(o);
    if (!port.IsOpen()) {
        std::printf("Can not open port.\n");
        return 1;
    }
    const std::string result = RunRegisterCommand(o.args[1]);
    std::printf("%s\n", result.c_str());
    return (result == "Write OK" || result.rfind("Data: ", 0) == 0) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (!o.args.empty()) {
            o.args.push_back(a);
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--port" || a == "--trace") {
            if (i + 1 >= argc)
                return UsageError(a + " needs a value");
            const std::string v = argv[++i];
            if (a == "--trace")
                o.tracePath = v;
            else if (!ParsePort(v, &o))
                return UsageError("bad port name '" + v + "': use COM1..COM12 or a device path");
        } else if (a == "--yes") {
            o.yes = true;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option '" + a + "'");
        } else {
            o.args.push_back(a);
        }
    }
    if (o.args.empty())
        return UsageError("no command given");

    InstallMessageHandler(o.yes);
    std::unique_ptr<CFileFrameTrace> trace;
    if (!o.tracePath.empty()) {
        trace = std::make_unique<CFileFrameTrace>(o.tracePath);
        if (!trace->IsOpen())
            return UsageError("cannot write the trace file '" + o.tracePath + "': " + std::strerror(errno));
        TheMacLayer().SetTrace(trace.get());
    }

    const std::string& command = o.args[0];
    int status;
    if (command == "check" && o.args.size() == 1)
        status = RunCheck(o);
    else if (command == "versions" && o.args.size() == 1)
        status = RunVersions(o);
    else if (command == "reg")
        status = RunReg(o);
    else if (command == "check" || command == "versions")
        status = UsageError(command + " takes no arguments");
    else
        status = UsageError("unknown command '" + command + "'");
    TheMacLayer().SetTrace(nullptr);
    return status;
}
