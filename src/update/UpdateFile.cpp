#include "update/UpdateFile.h"

#include "platform/InputFile.h"

#include "platform/FileChooser.h"
#include "platform/MessageBox.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

std::uint32_t GetU32LE(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Fills *where (if given) and returns false: the one way a check reports a failure.
bool Fail(CUpdateFile::CheckFailure* where, CUpdateFile::CheckFailure::Check check,
          CUpdateFile::CheckFailure::Cause cause, int index, std::uint32_t offset, std::string text)
{
    if (where)
        *where = {check, cause, index, offset, std::move(text)};
    return false;
}

// How a check names the data it looks at.
std::string Subject(CUpdateFile::CheckFailure::Check check, int index)
{
    switch (check) {
    case CUpdateFile::CheckFailure::SYSTEM_HEADER: return "header";
    case CUpdateFile::CheckFailure::SYSTEM_MARKER: return "marker";
    case CUpdateFile::CheckFailure::SYSTEM_BLOCK: return "image block " + std::to_string(index);
    case CUpdateFile::CheckFailure::PRESET_RECORD: return "preset record " + std::to_string(index);
    case CUpdateFile::CheckFailure::NONE: break;
    }
    return "file";
}

} // namespace

CUpdateFile& TheUpdateFile()
{
    static CUpdateFile file;
    return file;
}

// ---- Slot ----

CUpdateFile::Slot::~Slot()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CUpdateFile::Slot::Open(const std::string& path, std::string* error)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_name = std::filesystem::path(path).filename().string();
    m_length = 0;

    // Block offsets travel in 32 bits: a file over 2 GiB is refused.
    std::uint64_t size = 0;
    const int fd = kmr::OpenInputFile(path, std::numeric_limits<std::int32_t>::max(), error, &size);
    if (fd < 0)
        return false;
    m_fd = fd;
    m_length = static_cast<std::int32_t>(size);
    return true;
}

bool CUpdateFile::Slot::Close()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_fd < 0)
        return false;
    ::close(m_fd);
    m_fd = -1;
    return true;
}

CUpdateFile::ReadStatus CUpdateFile::Slot::Read(std::uint32_t offset, std::size_t count, std::uint8_t* out,
                                                int* err)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_fd < 0)
        return READ_NOT_OPEN;
    // pread leaves no shared file position behind; a short result is the end of the file.
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(m_fd, out + done, count - done, static_cast<off_t>(offset) + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *err = errno;
            return READ_FAILED;
        }
        if (n == 0)
            return READ_PAST_END;
        done += static_cast<std::size_t>(n);
    }
    return READ_OK;
}

bool CUpdateFile::Slot::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_fd >= 0;
}

std::string CUpdateFile::Slot::Name() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_name;
}

std::int32_t CUpdateFile::Slot::Length() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_length;
}

// ---- choosing, opening, closing, reading ----

bool CUpdateFile::OpenSlot(Slot& slot, const char* filter)
{
    slot.Close();
    const std::string path = kmr::ChooseFile(filter, DEFAULT_EXTENSION, INITIAL_NAME, true);
    if (path.empty())
        return false;
    std::string error;
    if (!slot.Open(path, &error)) {
        kmr::ShowMessage("Error: Cannot open the update file \"" + path + "\": " + error + ".");
        return false;
    }
    return true;
}

bool CUpdateFile::OpenSystemFile()
{
    return OpenSlot(m_system, SYSTEM_FILTER);
}

bool CUpdateFile::OpenPresetFile()
{
    return OpenSlot(m_preset, PRESET_FILTER);
}

bool CUpdateFile::CloseSystemFile()
{
    return m_system.Close();
}

bool CUpdateFile::ClosePresetFile()
{
    return m_preset.Close();
}

bool CUpdateFile::ReadSystemFile(std::uint32_t offset, std::size_t count, std::uint8_t* out)
{
    int err = 0;
    return m_system.Read(offset, count, out, &err) == READ_OK;
}

bool CUpdateFile::ReadPresetFile(std::uint32_t offset, std::size_t count, std::uint8_t* out)
{
    int err = 0;
    return m_preset.Read(offset, count, out, &err) == READ_OK;
}

int CUpdateFile::SystemBlockCount(std::int32_t length)
{
    // Floor division: integer division rounds toward zero, which would give 1 instead of 0 for
    // a file a few bytes shorter than the data offset.
    const std::int64_t data = static_cast<std::int64_t>(length) - SYSTEM_DATA_OFFSET;
    const std::int64_t block = SEND_BLOCK_LEN;
    const std::int64_t blocks = data >= 0 ? data / block : -((-data + block - 1) / block);
    return static_cast<int>(blocks + 1);
}

// ---- checks ----

bool CUpdateFile::CheckRead(Slot& slot, std::uint32_t offset, std::size_t count, std::uint8_t* out,
                            CheckFailure::Check check, int index, CheckFailure* where)
{
    int err = 0;
    const ReadStatus status = slot.Read(offset, count, out, &err);
    const std::string what = Subject(check, index) + ": cannot read " + std::to_string(count) +
                             (count == 1 ? " byte at " : " bytes at ") + Hex(offset);
    switch (status) {
    case READ_OK:
        return true;
    case READ_PAST_END:
        return Fail(where, check, CheckFailure::PAST_END, index, offset,
                    what + ", the file is only " + std::to_string(slot.Length()) + " bytes long");
    case READ_NOT_OPEN:
        return Fail(where, check, CheckFailure::NOT_OPEN, index, offset, what + ", no file is open");
    case READ_FAILED:
        break;
    }
    return Fail(where, check, CheckFailure::READ_ERROR, index, offset, what + ": " + std::strerror(err));
}

bool CUpdateFile::CheckSystemFile(CheckFailure* where)
{
    std::uint8_t bytes[SYSTEM_IMAGE_BLOCK_LEN];

    if (!CheckRead(m_system, SYSTEM_HEADER_OFFSET, SYSTEM_HEADER_LEN, bytes, CheckFailure::SYSTEM_HEADER, -1, where))
        return false;
    for (std::size_t j = 0; j < SYSTEM_HEADER_LEN; ++j) {
        if (bytes[j] != 0)
            return Fail(where, CheckFailure::SYSTEM_HEADER, CheckFailure::WRONG_VALUE, -1, SYSTEM_HEADER_OFFSET,
                        "header: byte " + std::to_string(j) + " is " + Hex(bytes[j]) + ", not 0");
    }

    if (!CheckRead(m_system, SYSTEM_MARKER_OFFSET, SYSTEM_MARKER_LEN, bytes, CheckFailure::SYSTEM_MARKER, -1, where))
        return false;
    for (std::size_t j = 0; j < SYSTEM_MARKER_LEN; ++j) {
        if (bytes[j] != j)
            return Fail(where, CheckFailure::SYSTEM_MARKER, CheckFailure::WRONG_VALUE, -1, SYSTEM_MARKER_OFFSET,
                        "marker at " + Hex(SYSTEM_MARKER_OFFSET) + ": byte " + std::to_string(j) + " is " +
                            Hex(bytes[j]) + ", not " + Hex(static_cast<std::uint32_t>(j)));
    }

    for (int k = 0; k < SYSTEM_IMAGE_BLOCKS; ++k) {
        const std::uint32_t blockOffset = SYSTEM_DATA_OFFSET + static_cast<std::uint32_t>(SYSTEM_IMAGE_BLOCK_LEN * k);
        if (!CheckRead(m_system, blockOffset, SYSTEM_IMAGE_BLOCK_LEN, bytes, CheckFailure::SYSTEM_BLOCK, k, where))
            return false;
        unsigned sum = 0;
        for (std::uint8_t b : bytes)
            sum += b;
        std::uint8_t expected = 0;
        const std::uint32_t sumOffset = SYSTEM_SUMS_OFFSET + static_cast<std::uint32_t>(k);
        if (!CheckRead(m_system, sumOffset, 1, &expected, CheckFailure::SYSTEM_BLOCK, k, where))
            return false;
        if ((sum & 0xFFu) != expected)
            return Fail(where, CheckFailure::SYSTEM_BLOCK, CheckFailure::WRONG_VALUE, k, blockOffset,
                        "image block " + std::to_string(k) + " at " + Hex(blockOffset) + ": sum " + Hex(sum & 0xFFu) +
                            ", checksum byte at " + Hex(sumOffset) + " is " + Hex(expected));
    }

    if (where)
        *where = {};
    return true;
}

bool CUpdateFile::CheckPresetFile(CheckFailure* where)
{
    std::uint8_t record[PRESET_RECORD_LEN];
    const std::size_t dataLen = PRESET_RECORD_WORDS * 4;

    for (int r = 0; r < PRESET_RECORDS; ++r) {
        const std::uint32_t offset = static_cast<std::uint32_t>(PRESET_RECORD_LEN * r);
        if (!CheckRead(m_preset, offset, dataLen, record, CheckFailure::PRESET_RECORD, r, where))
            return false;
        std::uint32_t sum = 0;
        for (int w = 0; w < PRESET_RECORD_WORDS; ++w)
            sum += GetU32LE(record + 4 * w);
        if (!CheckRead(m_preset, offset + dataLen, 4, record + dataLen, CheckFailure::PRESET_RECORD, r, where))
            return false;
        const std::uint32_t expected = GetU32LE(record + dataLen);
        if (sum != expected)
            return Fail(where, CheckFailure::PRESET_RECORD, CheckFailure::WRONG_VALUE, r, offset,
                        "preset record " + std::to_string(r) + " at " + Hex(offset) + ": word sum " + Hex(sum) +
                            ", checksum word " + Hex(expected));
    }

    if (where)
        *where = {};
    return true;
}
