// Runs both update file checks over arbitrary file contents. The input is written to one
// temporary file per process, which is chosen through the file chooser for both slots.
#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "update/UpdateFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

struct FuzzFile {
    std::string path;
    int fd = -1;

    FuzzFile()
    {
        char name[] = "/tmp/kmr_fuzz_update_XXXXXX";
        fd = ::mkstemp(name);
        if (fd < 0)
            std::abort();
        path = name;
        kmr::SetMessageHandler([](const std::string&, bool) { return kmr::MSG_OK; });
        kmr::SetFileChooser([this](const std::string&, const std::string&, const std::string&, bool) { return path; });
    }
    ~FuzzFile()
    {
        ::close(fd);
        ::unlink(path.c_str());
    }

    void Replace(const std::uint8_t* data, std::size_t size)
    {
        if (::ftruncate(fd, 0) != 0)
            std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                std::abort();
            done += static_cast<std::size_t>(n);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzFile file;
    file.Replace(data, size);

    CUpdateFile& updateFile = TheUpdateFile();
    if (updateFile.OpenSystemFile()) {
        CUpdateFile::CheckFailure where;
        if (!updateFile.CheckSystemFile(&where) && where.text.empty())
            std::abort();  // every failure says where
        updateFile.CloseSystemFile();
    }
    if (updateFile.OpenPresetFile()) {
        CUpdateFile::CheckFailure where;
        if (!updateFile.CheckPresetFile(&where) && where.text.empty())
            std::abort();
        updateFile.ClosePresetFile();
    }
    return 0;
}
