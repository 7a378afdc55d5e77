#include "link/PortSurvey.h"

#include "link/SerialError.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ReadLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// "USB serial adapter: maker model (vvvv:pppp)" from sysfs, or a plain kind of port.
std::string Describe(const std::string& name)
{
    char real[PATH_MAX];
    const std::string link = "/sys/class/tty/" + name + "/device";
    if (realpath(link.c_str(), real) == nullptr)
        return name.rfind("pts/", 0) == 0 ? "pseudo-terminal" : "serial device";
    for (std::string dir = real; dir.size() > 1; dir = dir.substr(0, dir.rfind('/'))) {
        const std::string vendor = ReadLine(dir + "/idVendor");
        if (vendor.empty())
            continue;
        std::string text = "USB serial adapter:";
        for (const char* f : {"/manufacturer", "/product"})
            if (const std::string v = ReadLine(dir + f); !v.empty())
                text += " " + v;
        return text + " (" + vendor + ":" + ReadLine(dir + "/idProduct") + ")";
    }
    return "built-in serial port";
}

// A built-in port name exists for every possible UART; only those with a chip behind them count.
bool HasHardware(const std::string& name)
{
    if (access(("/sys/class/tty/" + name + "/device").c_str(), F_OK) != 0)
        return false;
    if (name.rfind("ttyS", 0) == 0)
        return std::atoi(ReadLine("/sys/class/tty/" + name + "/type").c_str()) != 0;
    return true;
}

// The problem and the remedy of a device that cannot be opened, as an open would tell them.
void Explain(PortFinding* f, int err)
{
    const kmr::SerialError e = kmr::SerialErrorFrom(kmr::SerialError::Open, f->device, err);
    f->problem = e.reason;
    f->remedy = e.remedy;
}

} // namespace

PortFinding CheckPort(const std::string& device)
{
    PortFinding f;
    f.device = device;
    const std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    f.description = Describe(name);
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Explain(&f, errno);
        return f;
    }
    if (!isatty(fd))
        Explain(&f, ENOTTY);
    else if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        Explain(&f, errno);
    else
        f.usable = true;
    ::close(fd);
    return f;
}

PortSurvey SurveySerialPorts()
{
    PortSurvey s;
    std::vector<std::string> devices;
    if (DIR* d = opendir("/sys/class/tty")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.' && HasHardware(e->d_name))
                devices.push_back(std::string("/dev/") + e->d_name);
        closedir(d);
    }
    for (int n = 1; n <= 12; ++n)
        if (const char* env = std::getenv(("KMR6650_COM" + std::to_string(n)).c_str()); env != nullptr && *env != '\0') {
            char real[PATH_MAX];
            devices.push_back(realpath(env, real) != nullptr ? real : env);
        }
    std::sort(devices.begin(), devices.end());
    devices.erase(std::unique(devices.begin(), devices.end()), devices.end());
    for (const std::string& dev : devices)
        s.ports.push_back(CheckPort(dev));

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
    std::string t = "Account: " + s.account + "\n\n";
    int usable = 0;
    if (s.ports.empty())
        t += "No serial device found. Plug in the USB-serial adapter; it appears as /dev/ttyUSB0 or /dev/ttyACM0.\n\n";
    for (const PortFinding& f : s.ports) {
        t += f.device + " - " + f.description + "\n";
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
    t += "To use a device as COM1 in the desktop program: KMR6650_COM1=/dev/ttyUSB0 kmr6650-tool\n";
    return t;
}
