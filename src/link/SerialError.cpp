#include "link/SerialError.h"

#include "platform/InputFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <grp.h>
#include <iterator>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kmr {

namespace {

constexpr const char* kLineLostRemedy =
    "The adapter or the cable was lost: check them, then close and open the port again.";

std::string UserName()
{
    if (const passwd* pw = getpwuid(geteuid()))
        return pw->pw_name;
    return std::to_string(geteuid());
}

// The supplementary groups of this login, however many there are.
std::vector<gid_t> SessionGroups()
{
    std::vector<gid_t> groups;
    for (int tries = 0; tries < 4; ++tries) {  // a group added between the two calls: ask again
        const int count = getgroups(0, nullptr);
        if (count <= 0)
            return {};
        groups.resize(static_cast<std::size_t>(count));
        const int n = getgroups(count, groups.data());
        if (n >= 0) {
            groups.resize(static_cast<std::size_t>(n));
            return groups;
        }
    }
    return {};
}

bool SessionHasGroup(gid_t gid)
{
    if (getegid() == gid)
        return true;
    const std::vector<gid_t> groups = SessionGroups();
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

bool AccountListedInGroup(const group* g, const std::string& user)
{
    for (char** m = g->gr_mem; m != nullptr && *m != nullptr; ++m)
        if (user == *m)
            return true;
    return false;
}

// Why this account may not open device, and what to do: join the device's group (or log in
// again when already in it), or, for a device only root may open, give it a group first.
void ExplainPermission(const std::string& device, SerialError* e)
{
    struct stat st {};
    if (stat(device.c_str(), &st) != 0) {
        e->reason = "permission denied";
        return;
    }
    const group* g = getgrgid(st.st_gid);
    const std::string groupName = g != nullptr ? g->gr_name : std::to_string(st.st_gid);
    const bool groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (st.st_gid == 0 || !groupMayUse) {
        // Joining the root group would not help (and is not advice to give).
        e->reason = "permission denied: only root may open this device";
        e->remedy = "Ask the administrator to give " + Printable(device) +
                    " a group such as dialout with read and write access (a udev rule does it for good), "
                    "then join that group and log in again.";
        return;
    }
    const std::string user = UserName();
    e->reason = "permission denied: the device belongs to the group " + groupName;
    if (SessionHasGroup(st.st_gid))
        e->remedy = "Ask the administrator to give the group " + groupName + " read and write access to " + Printable(device) + ".";
    else if (g != nullptr && AccountListedInGroup(g, user))
        e->remedy = "Your account " + user + " is already in the " + groupName +
                    " group, but this login started before it was added: log out and log in again.";
    else
        e->remedy = "Join the " + groupName + " group: sudo usermod -aG " + groupName + " " + user +
                    " ; then log out and log in again.";
}

} // namespace

std::string SerialError::Text() const
{
    const char* verb = operation == Write ? "write to" : operation == Read ? "read from"
                       : operation == Configure ? "set up" : "open";
    // The device's name may come from an argument or the environment: shown escaped.
    std::string t = std::string("Error: Can not ") + verb + " " + Printable(device) + ": " + reason;
    if (!systemText.empty())
        t += " (" + systemText + ")";
    t += ".";
    if (!remedy.empty())
        t += "\n" + remedy;
    return t;
}

SerialError SerialErrorFrom(SerialError::Operation op, const std::string& device, int err,
                            const std::string& portVariable)
{
    SerialError e;
    e.operation = op;
    e.device = device;
    e.sysErrno = err;
    e.systemText = std::strerror(err);
    const bool opening = op == SerialError::Open;
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
        if (opening && err != EIO) {
            e.kind = SerialError::NoDevice;
            e.reason = "no such device";
            e.remedy = "Check that the serial cable or USB-serial adapter is plugged in and choose its port; a USB "
                       "adapter is usually /dev/ttyUSB0" +
                       (portVariable.empty() ? std::string(".") : " (set " + portVariable + "=/dev/ttyUSB0).");
        } else {
            e.kind = SerialError::LineLost;
            e.reason = "the device is gone";
            e.remedy = kLineLostRemedy;
        }
        break;
    case ETIMEDOUT:
        e.kind = SerialError::LineLost;
        e.reason = "the line takes no data";
        e.systemText.clear();
        e.remedy = kLineLostRemedy;
        break;
    case EACCES:
    case EPERM:
        e.kind = SerialError::Permission;
        e.systemText.clear();
        ExplainPermission(device, &e);
        break;
    case EBUSY:
    case EWOULDBLOCK: {
        e.kind = SerialError::Busy;
        e.systemText.clear();  // a lock's "temporarily unavailable" says nothing more
        std::vector<PortHolder> users, all = FindPortHolders(device);
        std::copy_if(all.begin(), all.end(), std::back_inserter(users), [](const PortHolder& h) { return !h.otherEnd; });
        e.reason = "busy, in use by " + (users.empty() ? std::string("another program") : HolderText(users));
        e.remedy = "Close the other program (terminal, modem manager or another copy of this tool) and try again.";
        // EBUSY is the kernel's exclusive mark. It belongs to the device, so a run that was killed
        // before it could clear the mark leaves it behind for as long as anyone holds the device.
        if (err == EBUSY)
            e.remedy += " If no program is using it, a run of this tool that was killed may have left the port "
                        "marked for exclusive use; the mark stays while another program holds the device open" +
                        (all.empty() ? std::string() : " (" + HolderText(all) + ")") +
                        ": close that program, or unplug the adapter and plug it in again.";
        break;
    }
    case ENOTTY:
        e.kind = SerialError::NotSerial;
        e.reason = "not a serial device";
        e.systemText.clear();
        e.remedy = "Choose the serial port the amplifier is connected to.";
        break;
    default:
        e.kind = SerialError::Other;
        e.reason = op == SerialError::Configure ? "the line settings were refused" : "the system refused";
        if (op == SerialError::Configure)
            e.remedy = "Choose other port settings, or another serial adapter.";
        break;
    }
    return e;
}

namespace {

// The name of process pid as it may be shown: /proc/PID/comm is set by the program itself.
std::string ProcessName(const std::string& pid)
{
    std::string name;
    if (FILE* comm = std::fopen(("/proc/" + pid + "/comm").c_str(), "re")) {
        char buf[64] = {};
        if (std::fgets(buf, sizeof buf, comm) != nullptr)
            name = buf;
        std::fclose(comm);
    }
    while (!name.empty() && (name.back() == '\n' || name.back() == ' '))
        name.pop_back();
    return name.empty() ? "unknown" : Printable(name);
}

// The process that holds an flock on the file st describes, from /proc/locks; empty for none.
std::string LockHolder(const struct stat& st)
{
    FILE* locks = std::fopen("/proc/locks", "re");
    if (locks == nullptr)
        return {};
    std::string holder;
    char line[256];
    while (holder.empty() && std::fgets(line, sizeof line, locks) != nullptr) {
        // "1: FLOCK  ADVISORY  WRITE 4242 00:19:4 0 EOF"; a waiter's line has "->" after the number.
        char type[16], mode[16], access[16];
        long pid = 0;
        unsigned devMajor = 0, devMinor = 0;
        unsigned long inode = 0;
        if (std::sscanf(line, "%*d: %15s %15s %15s %ld %x:%x:%lu", type, mode, access, &pid, &devMajor, &devMinor,
                        &inode) == 7 &&
            std::strcmp(type, "FLOCK") == 0 && pid > 0 && devMajor == major(st.st_dev) &&
            devMinor == minor(st.st_dev) && inode == st.st_ino)
            holder = std::to_string(pid);
    }
    std::fclose(locks);
    return holder;
}

// The index N of /dev/pts/N, or -1 for any other device.
long PtsIndex(const std::string& real)
{
    constexpr std::string_view kPts = "/dev/pts/";
    if (real.compare(0, kPts.size(), kPts) != 0 || real.size() == kPts.size())
        return -1;
    char* end = nullptr;
    const long n = std::strtol(real.c_str() + kPts.size(), &end, 10);
    return *end == '\0' ? n : -1;
}

// Whether descriptor fd of process pid is the master of pseudo-terminal index.
bool IsMasterOf(const std::string& pid, const char* fd, long index)
{
    FILE* info = std::fopen(("/proc/" + pid + "/fdinfo/" + fd).c_str(), "re");
    if (info == nullptr)
        return false;
    bool match = false;
    char line[128];
    long got = -1;
    while (!match && std::fgets(line, sizeof line, info) != nullptr)
        match = std::sscanf(line, "tty-index: %ld", &got) == 1 && got == index;
    std::fclose(info);
    return match;
}

} // namespace

std::vector<PortHolder> FindPortHolders(const std::string& path)
{
    char real[PATH_MAX];
    struct stat st {};
    if (realpath(path.c_str(), real) == nullptr || stat(real, &st) != 0)
        return {};
    const long ptsIndex = PtsIndex(real);
    std::string lockHolder = LockHolder(st);
    std::vector<PortHolder> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return {};
    const std::string self = std::to_string(getpid());
    while (dirent* p = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(p->d_name[0])) || self == p->d_name)
            continue;
        const std::string pid = p->d_name;
        DIR* fds = opendir(("/proc/" + pid + "/fd").c_str());  // only our own processes unless we are root
        if (fds == nullptr)
            continue;
        bool holds = false, master = false;
        while (dirent* f = readdir(fds)) {
            char target[PATH_MAX];
            const ssize_t n = readlink(("/proc/" + pid + "/fd/" + f->d_name).c_str(), target, sizeof target - 1);
            if (n <= 0)
                continue;
            target[n] = '\0';
            if (std::strcmp(target, real) == 0)
                holds = true;
            else if (ptsIndex >= 0 && (std::strcmp(target, "/dev/ptmx") == 0 || std::strcmp(target, "/dev/pts/ptmx") == 0))
                master = master || IsMasterOf(pid, f->d_name, ptsIndex);
        }
        closedir(fds);
        if (holds || pid == lockHolder) {
            found.push_back({ProcessName(pid), std::atoi(pid.c_str()), holds && master});
            if (pid == lockHolder)
                lockHolder.clear();
        }
    }
    closedir(proc);
    if (!lockHolder.empty())  // this process, or one whose descriptors we may not see
        found.push_back({ProcessName(lockHolder), std::atoi(lockHolder.c_str()), false});
    return found;
}

std::string HolderText(const std::vector<PortHolder>& holders)
{
    std::string text;
    for (const PortHolder& h : holders)
        text += (text.empty() ? "" : ", ") + h.name + " (pid " + std::to_string(h.pid) + ")";
    return text;
}

std::string AccountAndGroups()
{
    std::string account = UserName() + ", groups:";
    if (const group* g = getgrgid(getegid()))
        account += std::string(" ") + g->gr_name;
    for (const gid_t gid : SessionGroups())
        if (const group* g = getgrgid(gid))
            account += std::string(" ") + g->gr_name;
    return account;
}

} // namespace kmr
