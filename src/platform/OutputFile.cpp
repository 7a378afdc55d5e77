#include "platform/OutputFile.h"

#include "platform/InputFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kmr {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on links followed in one path

std::string Folder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A path as a message shows it: whole, with its control bytes escaped.
std::string QuotedPath(const std::string& path)
{
    return "'" + Printable(path) + "'";
}

} // namespace

bool CheckOutputFile(const std::string& path, std::string* target, std::string* reason)
{
    if (path.empty()) {
        *reason = "no file name given";
        return false;
    }
    if (path.back() == '/') {
        *reason = "it names a folder, not a file";
        return false;
    }
    // Follows the links one by one, so that a link to a name that does not exist yet leads to
    // that name (realpath would stop at the dangling link).
    std::string p = path;
    struct stat st {};
    bool exists = false;
    for (int hops = 0;; ++hops) {
        if (::lstat(p.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                *reason = std::strerror(errno);
                return false;
            }
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            break;
        }
        if (hops == kMaxLinks) {
            *reason = "too many levels of symbolic links";
            return false;
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(p.c_str(), link, sizeof link - 1);
        if (n <= 0) {
            *reason = std::strerror(n < 0 ? errno : EINVAL);
            return false;
        }
        link[n] = '\0';
        p = link[0] == '/' ? std::string(link) : Folder(p) + "/" + link;
    }
    if (exists && S_ISDIR(st.st_mode)) {
        *reason = "it is a folder";
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        *reason = "it is a device, a FIFO or a socket, not a regular file";
        return false;
    }
    const std::string folder = Folder(p);
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode)) {
        *reason = "the folder " + QuotedPath(folder) + " does not exist";
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        *reason = "cannot write in the folder " + QuotedPath(folder) + ": " + std::strerror(errno);
        return false;
    }
    *target = p;
    return true;
}

COutputFile::~COutputFile()
{
    Abort();
}

void COutputFile::Abort()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_fd = -1;
    m_temp.clear();
}

bool COutputFile::Begin(const std::string& path, std::string* reason)
{
    Abort();
    if (!CheckOutputFile(path, &m_target, reason))
        return false;
    std::string temp = m_target + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        *reason = "cannot create a file beside it: " + std::string(std::strerror(errno));
        return false;
    }
    m_fd = fd;
    m_temp = temp;
    struct stat old {};
    if (::stat(m_target.c_str(), &old) == 0) {
        // The owner first: changing it may clear the set-id bits that the mode then restores.
        // Only root may give a file away; a group of our own is allowed to anyone.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);  // the mode a plain create would give the file
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    return true;
}

bool COutputFile::Write(const std::string& text, std::string* reason)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            *reason = std::strerror(n < 0 ? errno : EIO);
            return false;
        }
    }
    return true;
}

bool COutputFile::Rename(std::string* reason)
{
    if (std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        *reason = std::strerror(errno);
        Abort();
        return false;
    }
    m_temp.clear();
    return true;
}

bool COutputFile::Commit(std::string* reason)
{
    int err = ::fsync(m_fd) != 0 ? errno : 0;
    if (::close(m_fd) != 0 && err == 0)
        err = errno;
    m_fd = -1;
    if (err != 0) {
        *reason = std::strerror(err);
        Abort();
        return false;
    }
    if (!Rename(reason))
        return false;
    // The rename itself on disk too, where the folder can be synced.
    const int dir = ::open(Folder(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool COutputFile::Publish(std::string* reason)
{
    return Rename(reason);
}

bool COutputFile::Close(std::string* reason)
{
    const int fd = m_fd;
    m_fd = -1;
    if (fd >= 0 && ::close(fd) != 0) {
        *reason = std::strerror(errno);
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* reason)
{
    COutputFile file;
    return file.Begin(path, reason) && file.Write(text, reason) && file.Commit(reason);
}

} // namespace kmr
