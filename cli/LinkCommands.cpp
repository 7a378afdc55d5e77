// check, versions and reg: single exchanges with the amplifier.
#include "Cli.h"

#include "app/VersionText.h"
#include "link/PortSurvey.h"
#include "params/MixerLink.h"
#include "params/RegisterConsole.h"
#include "protocol/ProtocolAppNormal.h"

#include <cstdio>

int RunCheck(const CliOptions& o)
{
    if (o.args.size() != 1)
        return UsageError("check takes no arguments");
    PortSession port(o);
    if (!port.IsOpen())
        return 1;
    if (TheNormalProtocol().CheckConnection() == CProtocolAppNormal::CHECK_NO_ANSWER) {
        std::printf("Connection Error\n");
        std::printf("Port is not open! Please open the port!\nMake sure cable is attched and try again.\n");
        return 1;
    }
    std::printf("OK\n");
    return 0;
}

int RunVersions(const CliOptions& o)
{
    if (o.args.size() != 1)
        return UsageError("versions takes no arguments");
    PortSession port(o);
    if (!port.IsOpen())
        return 1;
    int w[4];
    for (int n = 0; n < 4; ++n)
        w[n] = ReadVersionWord(n);
    std::printf("%s\n%s\n", FirmwareLabelText(w[0], w[1]).c_str(), EqLabelText(w[2], w[3]).c_str());
    return (w[0] < 0 || w[1] < 0 || w[2] < 0 || w[3] < 0) ? 1 : 0;
}

int RunReg(const CliOptions& o)
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
    if (!port.IsOpen())
        return 1;
    const std::string result = RunRegisterCommand(o.args[1]);
    std::printf("%s\n", result.c_str());
    return (result == "Write OK" || result.rfind("Data: ", 0) == 0) ? 0 : 1;
}

int RunPorts(const CliOptions& o)
{
    if (o.args.size() != 1)
        return UsageError("ports takes no arguments");
    const PortSurvey survey = SurveySerialPorts();
    std::fputs(FormatSurvey(survey).c_str(), stdout);
    for (const PortFinding& f : survey.ports)
        if (f.usable)
            return 0;
    return 1;
}
