#include "link/PortSurvey.h"

#include "link/SerialDevice.h"

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

std::string UserName()
{
    if (const passwd* pw = getpwuid(geteuid()))
        return pw->pw_name;
    return std::to_string(geteuid());
}

bool SessionHasGroup(gid_t gid)
{
    if (getegid() == gid)
        return true;
    gid_t groups[256];
    const int n = getgroups(256, groups);
    return std::find(groups, groups + std::max(n, 0), gid) != groups + std::max(n, 0);
}

bool AccountListedInGroup(const group* g, const std::string& user)
{
    for (char** m = g->gr_mem; m != nullptr && *m != nullptr; ++m)
        if (user == *m)
            return true;
    return false;
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

void Busy(PortFinding* f)
{
    const std::string who = kmr::FindPortHolders(f->device);
    f->problem = "busy, in use by " + (who.empty() ? std::string("another program") : who);
    f->remedy = "Close that program and try again.";
}

void Permission(PortFinding* f, const struct stat& st)
{
    const std::string user = UserName();
    const group* g = getgrgid(st.st_gid);
    const std::string groupName = g != nullptr ? g->gr_name : std::to_string(st.st_gid);
    f->problem = "permission denied: the device belongs to the group " + groupName;
    if (SessionHasGroup(st.st_gid)) {
        f->remedy = "Ask the administrator to give the group " + groupName + " read and write access to " + f->device + ".";
    } else if (g != nullptr && AccountListedInGroup(g, user)) {
        f->remedy = "Your account " + user + " is already in the " + groupName +
                    " group, but this login started before it was added: log out and log in again.";
    } else {
        f->remedy = "Join the " + groupName + " group: sudo usermod -aG " + groupName + " " + user +
                    " ; then log out and log in again.";
    }
}

} // namespace

PortFinding CheckPort(const std::string& device)
{
    PortFinding f;
    f.device = device;
    const std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    f.description = Describe(name);
    struct stat st {};
    if (stat(device.c_str(), &st) != 0) {
        f.problem = "no such device";
        f.remedy = "Plug in the adapter, or choose the port it appears as.";
        return f;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == EACCES || err == EPERM) {
            Permission(&f, st);
        } else if (err == EBUSY) {
            Busy(&f);
        } else {
            f.problem = std::strerror(err);
            f.remedy = err == EIO || err == ENXIO || err == ENODEV ? "The device does not answer: check the adapter." : "";
        }
        return f;
    }
    if (!isatty(fd)) {
        f.problem = "not a serial device";
        f.remedy = "Choose the serial port the amplifier is connected to.";
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        Busy(&f);
    } else {
        f.usable = true;
    }
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

    s.account = UserName() + ", groups:";
    if (const group* g = getgrgid(getegid()))
        s.account += std::string(" ") + g->gr_name;
    gid_t groups[256];
    const int n = getgroups(256, groups);
    for (int i = 0; i < n; ++i)
        if (const group* g = getgrgid(groups[i]))
            s.account += std::string(" ") + g->gr_name;
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
