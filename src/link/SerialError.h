#pragma once
// What went wrong on a serial device, in words for the person at the bench: what was done, the
// device, the reason (with the system's own message kept beside it) and what to do about it.
// One function turns an errno into such an error for every operation and for the port survey.
#include <string>
#include <vector>

namespace kmr {

struct SerialError {
    enum Kind { None, NoDevice, Permission, Busy, BadSettings, Speed, NotSerial, LineLost, Other };
    enum Operation { Open, Read, Write, Configure };
    Kind kind = None;
    Operation operation = Open;
    std::string device;
    std::string reason;      // ours: "permission denied: the device belongs to the group dialout"
    std::string systemText;  // the system's own message, where it adds something
    std::string remedy;
    int sysErrno = 0;
    // "Error: Can not open /dev/ttyUSB0: <reason> (<system text>).\n<remedy>"; "write to",
    // "read from" or "set up" for the other operations; no second line without a remedy.
    std::string Text() const;
};

// The error for errno err met by op on device. portVariable names the environment variable
// that chose the device ("KMR6650_COM3"), for the remedy of a missing device; empty when the
// device was given by its path.
SerialError SerialErrorFrom(SerialError::Operation op, const std::string& device, int err,
                            const std::string& portVariable = {});

// A program that holds a serial device.
struct PortHolder {
    std::string name;       // from /proc/PID/comm, made printable
    int pid = 0;
    bool otherEnd = false;  // it also holds the master of this pseudo-terminal: it is the far end of
                            // the line (the simulated amplifier, a bridge), not a second user of it
};

// The programs that hold the device at path: every other process with it open (seen in
// /proc/PID/fd, which shows other accounts' processes only to root) and the process that holds
// its lock (seen in /proc/locks for every account; this process too). Nothing is opened.
std::vector<PortHolder> FindPortHolders(const std::string& path);
// Holders as "name (pid N)" joined with ", "; empty for none.
std::string HolderText(const std::vector<PortHolder>& holders);

// The account this program runs as, and the groups of this login: "anna, groups: anna dialout".
std::string AccountAndGroups();

} // namespace kmr
