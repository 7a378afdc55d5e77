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
        Json doc = port.JsonHead();
        doc["ok"] = answered;
        doc["result"] = !port.IsOpen() ? "Can not open port." : answered ? "OK" : "Connection Error";
        PrintDocument(doc);
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
            auto word = [](int v) { return v < 0 ? Json(nullptr) : Json(v); };
            return Json{{"text", text}, {"words", Json::array({word(a), word(b)})}};
        };
        Json doc = port.JsonHead();
        doc["ok"] = complete;
        if (port.IsOpen()) {
            doc["firmware"] = version(FirmwareLabelText(w[0], w[1]), w[0], w[1]);
            doc["eq"] = version(EqLabelText(w[2], w[3]), w[2], w[3]);
        }
        PrintDocument(doc);
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
    const auto start = std::chrono::steady_clock::now();
    RegisterCommand parsed;
    const RegisterParse p = ParseRegisterCommand(o.args[1], &parsed);
    // The document: the port (when one was opened), the command and its result line.
    auto document = [&](const Json& head, int status, const std::string& result) {
        Json doc = head;
        doc["ok"] = status == 0;
        doc["command"] = JsonText(o.args[1]);
        doc["result"] = result;
        doc["seconds"] = SecondsSince(start);
        PrintDocument(doc);
        return status;
    };
    if (p != RegisterParse::Ok) {  // nothing is sent for a command that is not recognised
        const char* result = p == RegisterParse::BadCommand ? "Bad Command" : "Bad Data";
        PrintError(result);
        return o.json ? document(Json::object(), 2, result) : 2;
    }
    PortSession port(o);
    if (!port.IsOpen())
        return o.json ? document(port.JsonHead(), 1, "Can not open port.") : 1;
    const std::string result = RunRegisterCommand(o.args[1]);
    const bool ok = result == "Write OK" || result.rfind("Data: ", 0) == 0;
    if (ok) {
        PrintLine(result);
    } else {
        PrintError(result);
        port.ReportSilence();
    }
    return o.json ? document(port.JsonHead(), ok ? 0 : 1, result) : ok ? 0 : 1;
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
    Json ports = Json::array(), services = Json::array();
    for (const PortFinding& f : survey.ports)
        ports.push_back({{"com", f.com > 0 ? Json(f.com) : Json(nullptr)},
                         {"device", JsonText(f.device)},
                         {"description", JsonText(f.description)},
                         {"usable", f.usable},
                         {"problem", JsonTextOrNull(f.problem)},
                         {"remedy", JsonTextOrNull(f.remedy)}});
    for (const std::string& g : survey.grabbers)
        services.push_back(JsonText(g));
    PrintDocument({{"ok", anyUsable}, {"account", JsonText(survey.account)}, {"ports", ports}, {"services", services}});
    return anyUsable ? 0 : 1;
}
