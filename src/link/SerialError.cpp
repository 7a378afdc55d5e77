#include "link/SerialError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
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

bool SessionHasGroup(gid_t gid)
{
    if (getegid() == gid)
        return true;
    gid_t groups[256];
    const int n = std::max(getgroups(256, groups), 0);
    return std::find(groups, groups + n, gid) != groups + n;
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
        e->remedy = "Ask the administrator to give " + device +
                    " a group such as dialout with read and write access (a udev rule does it for good), "
                    "then join that group and log in again.";
        return;
    }
    const std::string user = UserName();
    e->reason = "permission denied: the device belongs to the group " + groupName;
    if (SessionHasGroup(st.st_gid))
        e->remedy = "Ask the administrator to give the group " + groupName + " read and write access to " + device + ".";
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
    std::string t = std::string("Error: Can not ") + verb + " " + device + ": " + reason;
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
        const std::string who = FindPortHolders(device);
        e.reason = "busy, in use by " + (who.empty() ? std::string("another program") : who);
        e.remedy = "Close the other program (terminal, modem manager or another copy of this tool) and try again.";
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

std::string FindPortHolders(const std::string& path)
{
    char real[PATH_MAX];
    if (realpath(path.c_str(), real) == nullptr)
        return {};
    std::string found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return {};
    const std::string self = std::to_string(getpid());
    while (dirent* p = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(p->d_name[0])) || self == p->d_name)
            continue;
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = opendir(fdDir.c_str());  // only our own processes unless we are root
        if (fds == nullptr)
            continue;
        bool holds = false;
        while (dirent* f = readdir(fds)) {
            char target[PATH_MAX];
            const std::string link = fdDir + "/" + f->d_name;
            const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0) {
                target[n] = '\0';
                if (std::strcmp(target, real) == 0) {
                    holds = true;
                    break;
                }
            }
        }
        closedir(fds);
        if (!holds)
            continue;
        std::string name = "unknown";
        if (FILE* comm = std::fopen((std::string("/proc/") + p->d_name + "/comm").c_str(), "r")) {
            char buf[64] = {};
            if (std::fgets(buf, sizeof buf, comm) != nullptr) {
                name = buf;
                while (!name.empty() && (name.back() == '\n' || name.back() == ' '))
                    name.pop_back();
            }
            std::fclose(comm);
        }
        if (!found.empty())
            found += ", ";
        found += name + " (pid " + p->d_name + ")";
    }
    closedir(proc);
    return found;
}

std::string AccountAndGroups()
{
    std::string account = UserName() + ", groups:";
    if (const group* g = getgrgid(getegid()))
        account += std::string(" ") + g->gr_name;
    gid_t groups[256];
    const int n = getgroups(256, groups);
    for (int i = 0; i < n; ++i)
        if (const group* g = getgrgid(groups[i]))
            account += std::string(" ") + g->gr_name;
    return account;
}

} // namespace kmr
