#pragma once
// A check of the serial line before work: which serial devices this machine has, which of them
// this account can open, and for each one it cannot, why and what to do. Also names the
// services known to take USB-serial adapters for themselves. No device is opened.
//
// It also numbers the ports. COM n is the device named by KMR6650_COM<n> when that is set;
// otherwise the n-th serial device with hardware behind it, in a stable order: built-in ports
// first by number (ttyS0, ttyS1, ...), then USB and other adapters by their /dev/serial/by-id
// name (so an adapter keeps its number from one plug-in to the next whatever ttyUSB number the
// kernel gives it), then adapters without such a name by device name; and when there are fewer
// such devices, /dev/ttyS<n-1>, the usual Linux numbering.
#include <string>
#include <vector>

// Where the machine's device tree is read: the real one, or a made-up tree in a test.
struct DeviceRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
};

// A serial device with hardware behind it.
struct SerialDevice {
    std::string device;       // /dev/ttyUSB0
    std::string byId;         // /dev/serial/by-id/usb-..., or empty
    std::string description;  // "FTDI FT232R USB UART", "built-in serial port"
};

// The serial devices with hardware behind them, in port numbering order.
std::vector<SerialDevice> ListSerialDevices(const DeviceRoots& roots = {});

// The device that COM n (1..12) opens, as above.
std::string ComPortDevice(int n, const DeviceRoots& roots = {});

// One line naming the device of COM n and what it is, "/dev/ttyUSB0, FTDI FT232R USB UART", or
// "no device" when nothing is there (no such file, or a built-in port name without a chip).
std::string DescribeComPort(int n, const DeviceRoots& roots = {});

struct PortFinding {
    int com = 0;              // the COM number that opens it (the lowest), 0 for none
    std::string device;       // /dev/ttyUSB0
    std::string description;  // "USB serial adapter: <maker> <model> (vvvv:pppp)", "built-in serial port"
    bool usable = false;      // a serial device this account may open that no other program holds
    std::string problem;      // why it cannot be used; empty when usable
    std::string remedy;       // what to do about it
};

struct PortSurvey {
    std::vector<PortFinding> ports;
    std::vector<std::string> grabbers;  // "ModemManager (pid 812)": services that take adapters
    std::string account;                // the user name, and the groups this session has
};

// Says whether the tool could open device (read and write, exclusive) and, if not, why, without
// opening it: opening raises the modem lines (DTR, RTS), which resets some boards. It looks at
// the device file (a terminal device, its owner, group and mode against this account's groups)
// and at the programs that hold it (FindPortHolders: its lock, and open files in /proc). The
// far end of a pseudo-terminal does not count as a holder. Strings read from sysfs are made
// printable (kmr::Printable).
PortFinding CheckPort(const std::string& device, const DeviceRoots& roots = {});

// Every serial device with hardware behind it (built-in UARTs, USB adapters), plus the devices
// named by KMR6650_COM1..KMR6650_COM12, each checked, in port numbering order (devices without a
// COM number last).
PortSurvey SurveySerialPorts(const DeviceRoots& roots = {});

// The survey as text for a person: one paragraph per device, then the services, then a summary.
std::string FormatSurvey(const PortSurvey& survey);
