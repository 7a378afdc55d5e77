// check, versions and reg: single exchanges with the amplifier.
#include "Cli.h"

#include "app/VersionText.h"
#include "link/PortSurvey.h"
#include "params/MixerLink.h"
#include "params/RegisterConsole.h"
#include "protocol/ProtocolAppNormal.h"

#include <algorithm>
#include <cstdio>

int RunCheck(const CliOptions& o)
{
    if (o.args.size() != 1)
        return UsageError("check takes no arguments");
    PortSession port(o);
    const bool answered = port.IsOpen() && TheNormalProtocol().CheckConnection() != CProtocolAppNormal::CHECK_NO_ANSWER;
    if (o.json) {
        PrintDocument(port.JsonHead().AddBool("ok", answered).AddString("result", !port.IsOpen() ? "Can not open port." : answered ? "OK" : "Connection Error").Text());
    } else if (port.IsOpen()) {
        PrintLine(answered ? "OK" : "Connection Error");
    }
    if (port.IsOpen() && !answered)
        port.ReportSilence();
    return answered ? 0 : 1;
}

int RunVersions(const CliOptions& o)
{
    if (o.args.size() != 1)
        return UsageError("versions takes no arguments");
    PortSession port(o);
    int w[4] = {-1, -1, -1, -1};  // -1: not read
    if (port.IsOpen())
        for (int n = 0; n < 4; ++n)
            w[n] = ReadVersionWord(n);
    const bool complete = w[0] >= 0 && w[1] >= 0 && w[2] >= 0 && w[3] >= 0;
    if (o.json) {
        // Each label with the two raw words it is made of (null for a word not read).
        auto version = [&](const std::string& text, int a, int b) {
            auto word = [](int v) { return v < 0 ? std::string(JSON_NULL) : std::to_string(v); };
            return JsonObject().AddString("text", text).Add("words", "[" + word(a) + "," + word(b) + "]").Text();
        };
        JsonObject doc = port.JsonHead();
        doc.AddBool("ok", complete);
        if (port.IsOpen())
            doc.Add("firmware", version(FirmwareLabelText(w[0], w[1]), w[0], w[1]))
                .Add("eq", version(EqLabelText(w[2], w[3]), w[2], w[3]));
        PrintDocument(doc.Text());
    } else if (port.IsOpen()) {
        PrintLine(FirmwareLabelText(w[0], w[1]));
        PrintLine(EqLabelText(w[2], w[3]));
    }
    if (port.IsOpen() && !complete) {
        // A label of zeros reads like a version: say which words are missing, and why.
        std::string missing;
        const char* const names[4] = {"firmware word 1 (0xF004)", "firmware word 2 (0xF005)", "EQ word 1 (0xF006)",
                                      "EQ word 2 (0xF007)"};
        for (int n = 0; n < 4; ++n)
            if (w[n] < 0)
                missing += std::string(missing.empty() ? "" : ", ") + names[n];
        PrintError("Error: The version words were not read: " + missing + ". The labels show 0 for them.");
        port.ReportSilence();
    }
    return complete ? 0 : 1;
}

int RunReg(const CliOptions& o)
{
    if (o.args.size() != 2)
        return UsageError("reg takes one command, e.g. reg r16>0x3000");
    RegisterCommand parsed;
    const RegisterParse p = ParseRegisterCommand(o.args[1], &parsed);
    if (p != RegisterParse::Ok) {  // nothing is sent for a command that is not recognised
        PrintError(p == RegisterParse::BadCommand ? "Bad Command" : "Bad Data");
        return 2;
    }
    PortSession port(o);
    if (!port.IsOpen())
        return 1;
    const std::string result = RunRegisterCommand(o.args[1]);
    const bool ok = result == "Write OK" || result.rfind("Data: ", 0) == 0;
    if (ok) {
        PrintLine(result);
    } else {
        PrintError(result);
        port.ReportSilence();
    }
    return ok ? 0 : 1;
}

int RunPorts(const CliOptions& o)
{
    if (o.args.size() != 1)
        return UsageError("ports takes no arguments");
    const PortSurvey survey = SurveySerialPorts();
    const bool anyUsable = std::any_of(survey.ports.begin(), survey.ports.end(), [](const PortFinding& f) { return f.usable; });
    if (!o.json) {
        std::string text = FormatSurvey(survey);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        PrintLine(text);
        return anyUsable ? 0 : 1;
    }
    auto orNull = [](const std::string& text) { return text.empty() ? std::string(JSON_NULL) : JsonString(text); };
    std::string ports, services;
    for (const PortFinding& f : survey.ports) {
        JsonObject p;
        p.Add("com", f.com > 0 ? std::to_string(f.com) : std::string(JSON_NULL))
            .AddString("device", f.device)
            .AddString("description", f.description)
            .AddBool("usable", f.usable)
            .Add("problem", orNull(f.problem))
            .Add("remedy", orNull(f.remedy));
        ports += (ports.empty() ? "" : ",") + p.Text();
    }
    for (const std::string& g : survey.grabbers)
        services += (services.empty() ? "" : ",") + JsonString(g);
    JsonObject doc;
    doc.AddBool("ok", anyUsable).AddString("account", survey.account).Add("ports", "[" + ports + "]").Add("services", "[" + services + "]");
    PrintDocument(doc.Text());
    return anyUsable ? 0 : 1;
}
