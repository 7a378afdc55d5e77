#include "link/SerialDevice.h"

#include "link/Termios2.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace kmr {

std::optional<LineSettings> ParseLineSettings(const std::string& text)
{
    std::string s;
    for (char c : text)
        if (c != ',' && c != ' ')
            s += c;
    std::size_t i = 0;
    unsigned long baud = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        baud = baud * 10 + static_cast<unsigned>(s[i] - '0');
        if (baud > 4000000)
            return std::nullopt;
        ++i;
    }
    if (i == 0 || baud < 50 || i + 3 > s.size())
        return std::nullopt;
    LineSettings ls;
    ls.baud = static_cast<unsigned>(baud);
    ls.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i++])));
    if (std::strchr("NEOMS", ls.parity) == nullptr)
        return std::nullopt;
    if (s[i] < '5' || s[i] > '8')
        return std::nullopt;
    ls.dataBits = static_cast<unsigned>(s[i++] - '0');
    const std::string stop = s.substr(i);
    if (stop == "1")
        ls.stopBits = 1;
    else if (stop == "2" || stop == "1.5")
        ls.stopBits = 2;
    else
        return std::nullopt;
    return ls;
}

namespace {

SerialError SettingsError(SerialError::Kind kind, const std::string& device, std::string reason, std::string remedy)
{
    SerialError e;
    e.kind = kind;
    e.operation = SerialError::Configure;
    e.device = device;
    e.reason = std::move(reason);
    e.remedy = std::move(remedy);
    return e;
}

// "8N2" for a termios setting: data bits, parity letter, stop bits.
std::string SettingText(tcflag_t cflag)
{
    const unsigned bits = (cflag & CSIZE) == CS5 ? 5 : (cflag & CSIZE) == CS6 ? 6 : (cflag & CSIZE) == CS7 ? 7 : 8;
    char parity = 'N';
    if (cflag & PARENB)
        parity = (cflag & CMSPAR) ? ((cflag & PARODD) ? 'M' : 'S') : ((cflag & PARODD) ? 'O' : 'E');
    return std::to_string(bits) + parity + ((cflag & CSTOPB) ? "2" : "1");
}

tcflag_t DataBitsFlag(unsigned bits)
{
    switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

} // namespace

CSerialDevice::~CSerialDevice()
{
    Close();
}

bool CSerialDevice::Open(const std::string& path, const LineSettings& ls, SerialError* error,
                         const std::string& portVariable)
{
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = SerialErrorFrom(SerialError::Open, path, errno, portVariable);
        return false;
    }
    bool marked = false;
    auto fail = [&](SerialError e) {
        // The exclusive mark belongs to the device and would outlive this descriptor while
        // another program holds the device open.
        if (marked)
            ioctl(fd, TIOCNXCL);
        ::close(fd);
        *error = std::move(e);
        return false;
    };
    // flock keeps out every other opener, root included; TIOCEXCL adds the kernel's own guard.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(SerialErrorFrom(SerialError::Open, path, errno, portVariable));
    if (!isatty(fd))
        return fail(SerialErrorFrom(SerialError::Open, path, ENOTTY));
    marked = ioctl(fd, TIOCEXCL) == 0;

    struct termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return fail(SerialErrorFrom(SerialError::Configure, path, errno));
    cfmakeraw(&tio);
    // Without HUPCL the last close leaves DTR and RTS as they are, so that closing the port does
    // not reset a board that restarts on DTR.
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CLOCAL | CREAD | DataBitsFlag(ls.dataBits);
    if (ls.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    switch (ls.parity) {
    case 'E': tio.c_cflag |= PARENB; break;
    case 'O': tio.c_cflag |= PARENB | PARODD; break;
    case 'M': tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 'S': tio.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0)
        return fail(SerialErrorFrom(SerialError::Configure, path, errno));

    unsigned actual = 0;
    const int err = SetLineSpeed(fd, ls.baud, &actual);
    if (err != 0) {
        SerialError e = SerialErrorFrom(SerialError::Configure, path, err);
        e.kind = SerialError::Speed;
        e.reason = "the speed " + std::to_string(ls.baud) + " baud was refused";
        e.remedy = "Choose another baud rate or another serial adapter.";
        return fail(e);
    }
    if (std::fabs(static_cast<double>(actual) - ls.baud) > kSpeedTolerance * ls.baud)
        return fail(SettingsError(SerialError::Speed, path,
                                  "the driver cannot run at " + std::to_string(ls.baud) + " baud (it set " +
                                      std::to_string(actual) + ")",
                                  "Choose another baud rate or another serial adapter."));
    // The kernel reports success when it applied only part of a setting: read the whole
    // setting back and compare what the line depends on.
    struct termios got {};
    constexpr tcflag_t kFrame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    if (tcgetattr(fd, &got) != 0)
        return fail(SerialErrorFrom(SerialError::Configure, path, errno));
    if ((got.c_cflag & kFrame) != (tio.c_cflag & kFrame) || (got.c_iflag & (IXON | IXOFF)) != 0 ||
        (got.c_lflag & ICANON) != 0)
        return fail(SettingsError(SerialError::BadSettings, path,
                                  "the driver did not take the line settings " + SettingText(tio.c_cflag) +
                                      " (it set " + SettingText(got.c_cflag) + ")",
                                  "Choose other port settings, or another serial adapter."));

    // Raise DTR and RTS for adapters that power their line drivers from them; a pseudo-terminal
    // has no modem lines and answers ENOTTY, which is not an error.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &lines);
    // USB-serial adapters hold received bytes up to their latency timer (often 16 ms) before
    // passing them on; low-latency mode asks the driver to pass them at once. Drivers without
    // it (and pseudo-terminals) refuse, which changes nothing.
    serial_struct serial {};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ioctl(fd, TIOCSSERIAL, &serial);
    }
    tcflush(fd, TCIOFLUSH);

    m_fd = fd;
    m_path = path;
    m_lost = false;
    m_writeError.reset();
    const unsigned bitsPerByte = 1 + ls.dataBits + (ls.parity == 'N' ? 0 : 1) + ls.stopBits;
    m_bytesPerSecond = static_cast<double>(ls.baud) / bitsPerByte;
    m_lineFreeAt = std::chrono::steady_clock::now();
    if (m_resyncFarEnd) {
        // The last close threw output away, perhaps in the middle of a frame whose start the
        // far end still holds: bytes that are no start byte complete and spoil that frame, so
        // the far end looks for the next start byte, and our next frame is not lost in it.
        m_resyncFarEnd = false;
        const std::uint8_t filler[kResyncBytes] = {};
        Write(filler, sizeof filler, nullptr);
    }
    return true;
}

void CSerialDevice::Close()
{
    if (m_fd < 0)
        return;
    const bool drained = !m_writeError && (m_lost || DrainOutput());
    m_resyncFarEnd = !drained;
    // Whatever is still queued would hold close() up for the port's closing_wait (30 s by
    // default) on a line that has stopped.
    tcflush(m_fd, TCOFLUSH);
    // The exclusive mark belongs to the device, not to our descriptor: it lasts while anyone
    // else still holds the device open (the simulator holds its own end), and would then
    // keep out every later opener that is not root.
    ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);  // releases the flock
    m_fd = -1;
}

bool CSerialDevice::DrainOutput()
{
    using Clock = std::chrono::steady_clock;
    const auto until = m_lineFreeAt + std::chrono::milliseconds(kDrainMarginMs);
    for (;;) {
        int queued = 0;
        if (ioctl(m_fd, TIOCOUTQ, &queued) != 0)
            queued = 0;  // no report: our clock alone decides
        const auto now = Clock::now();
        if (queued <= 0 && now >= m_lineFreeAt)
            return true;
        if (now >= until)
            return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, std::chrono::milliseconds(5)));
    }
}

std::size_t CSerialDevice::Read(std::uint8_t* buf, std::size_t max, SerialError* error)
{
    if (m_fd < 0 || max == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, buf, max);
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n < 0 && errno == EINTR)
            continue;
        int err = n < 0 && errno != EAGAIN ? errno : 0;  // EIO: the far end hung up (adapter pulled)
        if (err == 0) {
            // 0 (or EAGAIN) means nothing is pending; a hang-up shows in poll.
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                err = EIO;
        }
        if (err != 0) {
            m_lost = true;
            if (error != nullptr)
                *error = SerialErrorFrom(SerialError::Read, m_path, err);
        }
        return 0;
    }
}

std::size_t CSerialDevice::Queued()
{
    int queued = 0;
    if (ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued < 0)
        queued = 0;
    std::size_t q = static_cast<std::size_t>(queued);
    const double left = std::chrono::duration<double>(m_lineFreeAt - std::chrono::steady_clock::now()).count();
    if (left > 0)
        q = std::max(q, static_cast<std::size_t>(std::ceil(left * m_bytesPerSecond)));
    return q;
}

bool CSerialDevice::WaitForRoom(std::size_t n)
{
    using Clock = std::chrono::steady_clock;
    std::size_t queued = Queued();
    auto lastDrain = Clock::now();
    while (queued + n > m_outputBuffer && queued > 0) {
        // Sleep about as long as the line needs to send the excess, in steps short enough to
        // notice a line that has stopped.
        const double excess = static_cast<double>(queued + n - m_outputBuffer);
        const auto wait = std::chrono::duration<double>(excess / m_bytesPerSecond);
        std::this_thread::sleep_for(std::min<std::chrono::duration<double>>(wait, std::chrono::milliseconds(20)));
        const std::size_t now = Queued();
        if (now < queued)
            lastDrain = Clock::now();
        else if (Clock::now() - lastDrain > std::chrono::milliseconds(kWriteStallMs))
            return false;
        queued = now;
    }
    return true;
}

bool CSerialDevice::WriteFailed(int err, SerialError* error)
{
    m_lost = true;
    m_writeError = SerialErrorFrom(SerialError::Write, m_path, err);
    if (error != nullptr)
        *error = *m_writeError;
    return false;
}

bool CSerialDevice::Write(const std::uint8_t* data, std::size_t n, SerialError* error)
{
    if (m_writeError) {  // the line has failed: fail at once instead of waiting again
        if (error != nullptr)
            *error = *m_writeError;
        return false;
    }
    if (m_fd < 0)
        return WriteFailed(EBADF, error);
    if (!WaitForRoom(n))
        return WriteFailed(ETIMEDOUT, error);
    using Clock = std::chrono::steady_clock;
    auto lastProgress = Clock::now();
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(m_fd, data + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            lastProgress = Clock::now();
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN)
            return WriteFailed(errno, error);
        // Output queue full: wait for room, as long as the line keeps moving.
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastProgress);
        const int left = kWriteStallMs - static_cast<int>(waited.count());
        if (left <= 0)
            return WriteFailed(ETIMEDOUT, error);
        pollfd p{m_fd, POLLOUT, 0};
        const int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR)
            return WriteFailed(errno, error);
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return WriteFailed(EIO, error);
    }
    // The line sends what we wrote after what it still had.
    const auto now = Clock::now();
    m_lineFreeAt = std::max(m_lineFreeAt, now) +
                   std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(n / m_bytesPerSecond));
    return true;
}

} // namespace kmr
