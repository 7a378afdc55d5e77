#pragma once
// A check of the serial line before work: which serial devices this machine has, which of them
// this account can open, and for each one it cannot, why and what to do. Also names the
// services known to take USB-serial adapters for themselves.
#include <string>
#include <vector>

struct PortFinding {
    std::string device;       // /dev/ttyUSB0
    std::string description;  // "USB serial adapter: <maker> <model> (vvvv:pppp)", "built-in serial port"
    bool usable = false;      // opened for exclusive use just now
    std::string problem;      // why it cannot be used; empty when usable
    std::string remedy;       // what to do about it
};

struct PortSurvey {
    std::vector<PortFinding> ports;
    std::vector<std::string> grabbers;  // "ModemManager (pid 812)": services that take adapters
    std::string account;                // the user name, and the groups this session has
};

// Tries device as the tool would open it (read and write, exclusive), without changing its
// settings, and says why it cannot be used.
PortFinding CheckPort(const std::string& device);

// Every serial device with hardware behind it (built-in UARTs, USB adapters), plus the devices
// named by KMR6650_COM1..KMR6650_COM12, each checked.
PortSurvey SurveySerialPorts();

// The survey as text for a person: one paragraph per device, then the services, then a summary.
std::string FormatSurvey(const PortSurvey& survey);
