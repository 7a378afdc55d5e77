#include "support/PtyPair.h"

#include "support/Wait.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return;
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return;
    m_path = name;
    m_watch = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio {};
    tcgetattr(m_watch, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_watch, TCSANOW, &tio);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    if (m_watch >= 0)
        ::close(m_watch);
    CloseMaster();
}

void PtyPair::CloseMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

int PtyPair::PendingAtSlave() const
{
    int n = 0;
    ioctl(m_watch, FIONREAD, &n);
    return n;
}

bool PtyPair::Send(const std::vector<std::uint8_t>& bytes)
{
    const int before = PendingAtSlave();
    if (::write(m_master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        return false;
    const int expected = before + static_cast<int>(bytes.size());
    return WaitUntil([&] { return PendingAtSlave() >= expected; }, std::chrono::seconds(2));
}

std::vector<std::uint8_t> PtyPair::ReadFromSlave(std::size_t n, int timeoutMs)
{
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        std::uint8_t buf[256];
        const ssize_t r = ::read(m_master, buf, sizeof buf);
        if (r <= 0)
            break;
        out.insert(out.end(), buf, buf + r);
    }
    return out;
}
