#include "link/PortSurvey.h"

#include "link/SerialError.h"
#include "platform/InputFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::string ReadLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// A string a device reports about itself (its maker, its product): the kernel passes the bytes
// on unfiltered, so they are made printable before anyone shows them.
std::string ReadDeviceString(const std::string& path)
{
    return kmr::Printable(ReadLine(path));
}

// The strings of the USB device above tty name in sysfs; false when it is no USB device.
struct UsbStrings {
    std::string maker, product, ids;  // ids "vvvv:pppp"
};
bool FindUsb(const std::string& name, const DeviceRoots& roots, UsbStrings* usb)
{
    char real[PATH_MAX];
    const std::string link = roots.sys + "/class/tty/" + name + "/device";
    if (realpath(link.c_str(), real) == nullptr)
        return false;
    char top[PATH_MAX];
    const std::string sysTop = realpath(roots.sys.c_str(), top) != nullptr ? top : roots.sys;
    for (std::string dir = real; dir.size() > sysTop.size(); dir = dir.substr(0, dir.rfind('/'))) {
        const std::string vendor = ReadLine(dir + "/idVendor");
        if (vendor.empty())
            continue;
        usb->maker = ReadDeviceString(dir + "/manufacturer");
        usb->product = ReadDeviceString(dir + "/product");
        usb->ids = kmr::Printable(vendor) + ":" + ReadDeviceString(dir + "/idProduct");
        return true;
    }
    return false;
}

bool HasSysfsDevice(const std::string& name, const DeviceRoots& roots)
{
    return access((roots.sys + "/class/tty/" + name + "/device").c_str(), F_OK) == 0;
}

// What kind of device tty name is, in a few words: "FTDI FT232R USB UART" for a USB adapter
// (long: "USB serial adapter: FTDI FT232R USB UART (0403:6001)"), "built-in serial port", ...
std::string Describe(const std::string& name, const DeviceRoots& roots, bool longForm)
{
    UsbStrings usb;
    if (FindUsb(name, roots, &usb)) {
        std::string words = usb.maker;
        if (!usb.product.empty())
            words += (words.empty() ? "" : " ") + usb.product;
        if (longForm)
            return "USB serial adapter:" + (words.empty() ? "" : " " + words) + " (" + usb.ids + ")";
        return words.empty() ? "USB serial adapter " + usb.ids : words;
    }
    if (HasSysfsDevice(name, roots))
        return "built-in serial port";
    return name.rfind("pts/", 0) == 0 ? "pseudo-terminal" : "serial device";
}

// A built-in port name exists for every possible UART; only those with a chip behind them count.
bool HasHardware(const std::string& name, const DeviceRoots& roots)
{
    if (!HasSysfsDevice(name, roots))
        return false;
    if (name.rfind("ttyS", 0) == 0)
        return std::atoi(ReadLine(roots.sys + "/class/tty/" + name + "/type").c_str()) != 0;
    return true;
}

bool IsBuiltIn(const std::string& name)
{
    return name.rfind("ttyS", 0) == 0 || name.rfind("ttyAMA", 0) == 0;
}

// Orders "ttyS2" before "ttyS10": the letters, then the number.
bool NaturalLess(const std::string& a, const std::string& b)
{
    const auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])))
            --i;
        return std::pair{s.substr(0, i), i < s.size() ? std::atol(s.c_str() + i) : -1L};
    };
    return split(a) < split(b);
}

std::string RealPath(const std::string& path)
{
    char real[PATH_MAX];
    return realpath(path.c_str(), real) != nullptr ? real : path;
}

// The problem and the remedy of a device that cannot be opened, as an open would tell them.
void Explain(PortFinding* f, int err)
{
    const kmr::SerialError e = kmr::SerialErrorFrom(kmr::SerialError::Open, f->device, err);
    f->problem = e.reason;
    f->remedy = e.remedy;
}

// Whether the character device st describes is a terminal, judged from the kernel's list of tty
// drivers and their device numbers, without opening it. When the list cannot be read, every
// character device is taken for one.
bool IsTerminalDevice(const struct stat& st)
{
    if (!S_ISCHR(st.st_mode))
        return false;
    std::ifstream drivers("/proc/tty/drivers");
    if (!drivers)
        return true;
    // "usbserial /dev/ttyUSB 188 0-511 serial": name, node, major, minor or minor range, type.
    std::string line;
    while (std::getline(drivers, line)) {
        char name[64], node[128];
        unsigned devMajor = 0, first = 0, last = 0;
        const int n = std::sscanf(line.c_str(), "%63s %127s %u %u-%u", name, node, &devMajor, &first, &last);
        if (n < 4)
            continue;
        if (n == 4)
            last = first;
        if (devMajor == major(st.st_rdev) && minor(st.st_rdev) >= first && minor(st.st_rdev) <= last)
            return true;
    }
    return false;
}

} // namespace

std::vector<SerialDevice> ListSerialDevices(const DeviceRoots& roots)
{
    // The stable names of the adapters: /dev/serial/by-id/<name> -> the device.
    std::vector<std::pair<std::string, std::string>> byId;  // device, link
    const std::string byIdDir = roots.dev + "/serial/by-id";
    if (DIR* d = opendir(byIdDir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                byId.emplace_back(RealPath(byIdDir + "/" + e->d_name), byIdDir + "/" + e->d_name);
        closedir(d);
    }
    std::vector<SerialDevice> devices;
    if (DIR* d = opendir((roots.sys + "/class/tty").c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name[0] == '.' || !HasHardware(name, roots))
                continue;
            SerialDevice dev{roots.dev + "/" + name, "", Describe(name, roots, false)};
            const std::string real = RealPath(dev.device);
            for (const auto& [target, link] : byId)
                if (target == real && (dev.byId.empty() || link < dev.byId))
                    dev.byId = link;
            devices.push_back(dev);
        }
        closedir(d);
    }
    const auto rank = [](const SerialDevice& d) {
        const std::string name = d.device.substr(d.device.rfind('/') + 1);
        return IsBuiltIn(name) ? 0 : d.byId.empty() ? 2 : 1;
    };
    std::sort(devices.begin(), devices.end(), [&](const SerialDevice& a, const SerialDevice& b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        if (rank(a) == 1)
            return a.byId < b.byId;
        return NaturalLess(a.device, b.device);
    });
    return devices;
}

std::string ComPortDevice(int n, const DeviceRoots& roots)
{
    if (const char* env = std::getenv(("KMR6650_COM" + std::to_string(n)).c_str()); env != nullptr && *env != '\0')
        return env;
    const std::vector<SerialDevice> devices = ListSerialDevices(roots);
    if (n >= 1 && static_cast<std::size_t>(n) <= devices.size())
        return devices[static_cast<std::size_t>(n - 1)].device;
    return roots.dev + "/ttyS" + std::to_string(n - 1);
}

std::string DescribeComPort(int n, const DeviceRoots& roots)
{
    const std::string device = ComPortDevice(n, roots);
    struct stat st {};
    if (stat(device.c_str(), &st) != 0)
        return "no device";
    const std::string real = RealPath(device);
    const std::string name = real.rfind(roots.dev + "/", 0) == 0 ? real.substr(roots.dev.size() + 1) : real;
    if (IsBuiltIn(name) && !HasHardware(name, roots))
        return "no device";
    return kmr::Printable(real) + ", " + Describe(name, roots, false);
}

PortFinding CheckPort(const std::string& device, const DeviceRoots& roots)
{
    PortFinding f;
    f.device = device;
    const std::string name = device.rfind(roots.dev + "/", 0) == 0 ? device.substr(roots.dev.size() + 1) : device;
    f.description = Describe(name, roots, true);
    // Opening a serial device raises its DTR and RTS, which resets boards that restart on DTR
    // and disturbs modems: nothing here opens it.
    struct stat st {};
    if (stat(device.c_str(), &st) != 0)
        Explain(&f, errno);
    else if (!IsTerminalDevice(st))
        Explain(&f, ENOTTY);
    else if (faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) != 0)
        Explain(&f, errno);  // the kernel's own judgement of owner, group, mode and our groups
    else if (std::vector<kmr::PortHolder> holders = kmr::FindPortHolders(device);
             std::any_of(holders.begin(), holders.end(), [](const kmr::PortHolder& h) { return !h.otherEnd; }))
        Explain(&f, EWOULDBLOCK);
    else
        f.usable = true;
    return f;
}

PortSurvey SurveySerialPorts(const DeviceRoots& roots)
{
    PortSurvey s;
    std::vector<std::string> devices;
    for (const SerialDevice& d : ListSerialDevices(roots))
        devices.push_back(RealPath(d.device));
    for (int n = 1; n <= 12; ++n)
        if (const char* env = std::getenv(("KMR6650_COM" + std::to_string(n)).c_str()); env != nullptr && *env != '\0')
            devices.push_back(RealPath(env));
    std::vector<std::string> seen;
    for (const std::string& dev : devices) {
        if (std::find(seen.begin(), seen.end(), dev) != seen.end())
            continue;
        seen.push_back(dev);
        s.ports.push_back(CheckPort(dev, roots));
    }
    for (int n = 12; n >= 1; --n) {  // the lowest number that opens a device is its number
        const std::string dev = RealPath(ComPortDevice(n, roots));
        for (PortFinding& f : s.ports)
            if (f.device == dev)
                f.com = n;
    }
    std::stable_sort(s.ports.begin(), s.ports.end(), [](const PortFinding& a, const PortFinding& b) {
        return (a.com == 0 ? 99 : a.com) < (b.com == 0 ? 99 : b.com);
    });

    if (DIR* proc = opendir("/proc")) {
        while (dirent* p = readdir(proc)) {
            if (p->d_name[0] < '0' || p->d_name[0] > '9')
                continue;
            const std::string comm = ReadLine(std::string("/proc/") + p->d_name + "/comm");
            if (comm == "ModemManager" || comm == "brltty")
                s.grabbers.push_back(comm + " (pid " + p->d_name + ")");
        }
        closedir(proc);
    }

    s.account = kmr::AccountAndGroups();
    return s;
}

std::string FormatSurvey(const PortSurvey& s)
{
    std::string t = "Account: " + s.account + "\n";
    t += "Checked without opening any device: whether each is a serial device, whether its owner, group and "
         "permissions let this account read and write it, and whether another program holds it (its lock in "
         "/proc/locks, open files in /proc" +
         std::string(geteuid() == 0 ? "" : "; programs of other accounts are seen only by root") + ").\n\n";
    int usable = 0;
    if (s.ports.empty())
        t += "No serial device found. Plug in the USB-serial adapter; it appears as /dev/ttyUSB0 or /dev/ttyACM0.\n\n";
    for (const PortFinding& f : s.ports) {
        t += (f.com > 0 ? "COM" + std::to_string(f.com) + ": " : std::string()) + kmr::Printable(f.device) + " - " +
             f.description + "\n";
        if (f.usable) {
            ++usable;
            t += "  can be opened: ready for use\n";
        } else {
            t += "  cannot be used: " + f.problem + "\n";
            if (!f.remedy.empty())
                t += "  what to do: " + f.remedy + "\n";
        }
        t += "\n";
    }
    for (const std::string& g : s.grabbers)
        t += "Running: " + g + ". It may take a USB-serial adapter for itself when it is plugged in; stop it "
             "(for example: sudo systemctl stop " + g.substr(0, g.find(' ')) + ") if the port is busy or the "
             "amplifier does not answer.\n";
    if (!s.grabbers.empty())
        t += "\n";
    t += std::to_string(usable) + " of " + std::to_string(s.ports.size()) + " serial devices can be used.\n";
    t += "COM numbers go to the devices in the order above. To give a device another number, name it: "
         "KMR6650_COM1=/dev/ttyUSB0 kmr6650-tool\n";
    return t;
}
