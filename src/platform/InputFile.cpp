#include "platform/InputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kmr {

namespace {
// A limit in round words: 2147483647 is "2 GiB".
std::string SizeText(std::uint64_t bytes)
{
    if (bytes >= (1ull << 30))
        return std::to_string((bytes + (1ull << 29)) >> 30) + " GiB";
    if (bytes >= (1ull << 20))
        return std::to_string((bytes + (1ull << 19)) >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// A regular file of at most maxBytes, or false with the reason.
bool IsTakenFile(const struct stat& st, std::uint64_t maxBytes, std::string* reason)
{
    if (!S_ISREG(st.st_mode))
        *reason = S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file";
    else if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        *reason = "it is larger than " + SizeText(maxBytes);
    else
        return true;
    return false;
}
} // namespace

int OpenInputFile(const std::string& path, std::uint64_t maxBytes, std::string* reason, std::uint64_t* size)
{
    // Judged before it is opened: opening a device named by mistake would already act on it (a
    // serial port raises its modem lines, and could become this process's terminal).
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        *reason = std::strerror(errno);
        return -1;
    }
    if (!IsTakenFile(st, maxBytes, reason))
        return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return -1;
    }
    // The name may have been given to another file in between: judge what was opened.
    struct stat opened {};
    if (::fstat(fd, &opened) != 0)
        *reason = std::strerror(errno);
    else if (opened.st_dev != st.st_dev || opened.st_ino != st.st_ino)
        *reason = "it was replaced while it was opened";
    else if (IsTakenFile(opened, maxBytes, reason)) {
        if (size != nullptr)
            *size = static_cast<std::uint64_t>(opened.st_size);
        return fd;
    }
    ::close(fd);
    return -1;
}

bool ReadInputFile(const std::string& path, std::uint64_t maxBytes, std::string* text, std::string* reason)
{
    std::uint64_t size = 0;
    const int fd = OpenInputFile(path, maxBytes, reason, &size);
    if (fd < 0)
        return false;
    // Never more than the limit, even if the file grows while it is read.
    text->assign(static_cast<std::size_t>(size), '\0');
    std::size_t done = 0;
    while (done < text->size()) {
        const ssize_t n = ::read(fd, text->data() + done, text->size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *reason = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;  // it shrank: take what is there
        done += static_cast<std::size_t>(n);
    }
    text->resize(done);
    ::close(fd);
    return true;
}

std::string Printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\') {
            out += "\\\\";
        } else if (b < 0x20 || b == 0x7F) {
            char esc[5];
            std::snprintf(esc, sizeof esc, "\\x%02X", b);
            out += esc;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Shortened(std::string_view text, std::size_t maxChars)
{
    if (text.size() <= maxChars)
        return std::string(text);
    std::size_t cut = maxChars;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;  // back to the first byte of the character that would be split
    return std::string(text.substr(0, cut)) + "...";
}

std::string Quoted(std::string_view text)
{
    return "'" + Printable(Shortened(text)) + "'";
}

} // namespace kmr
