#pragma once
// Files the programs write (parameter files, frame traces, update files made by the simulator).
// A destination is taken only if it is a regular file or a name that does not exist yet, in a
// folder that exists: a device node, a FIFO, a socket or a folder named by mistake is refused
// and left untouched, so that writing a file can never turn /dev/null into a plain file or
// block on a FIFO. A symbolic link is followed, and its target is what gets replaced; the link
// stays. A file is never changed in place: its new contents go into a temporary file beside the
// target, which is renamed over it, so the target holds either its old contents or the new ones
// whole. The new file keeps the old one's mode, and its owner and group where this process may
// set them.
#include <string>

namespace kmr {

// Whether path may be written as above. Returns true with *target the file that would be
// replaced (path with its symbolic links followed), or false with *reason in words for the user
// ("it is a folder", "it is a device or other special file", "the folder ... does not exist").
bool CheckOutputFile(const std::string& path, std::string* target, std::string* reason);

// A replacement of one destination. Begin checks the destination and creates the temporary
// file beside its target; Fd() takes the contents; Commit renames it over the target. An
// object destroyed without a successful Commit removes its temporary file, so a failed write
// leaves the old file as it was and nothing else behind.
class COutputFile {
public:
    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // False with *reason when the destination is refused or the temporary file cannot be made.
    bool Begin(const std::string& path, std::string* reason);
    // The temporary file, open for writing (-1 before Begin).
    int Fd() const { return m_fd; }
    // Writes all of text to the temporary file; false with *reason.
    bool Write(const std::string& text, std::string* reason);
    // Flushes the contents to disk, closes the file and renames it over the target. False with
    // *reason (the temporary file is then removed and the target left as it was).
    bool Commit(std::string* reason);
    // For a file written as it goes (a trace): renames the file over the target at once and
    // keeps it open for writing. False with *reason, as Commit.
    bool Publish(std::string* reason);
    // Closes a published file; false with *reason when the close reports a lost write.
    bool Close(std::string* reason);
    // The file replaced (the destination with its links followed).
    const std::string& Target() const { return m_target; }

private:
    void Abort();
    bool Rename(std::string* reason);

    int m_fd = -1;
    std::string m_target;
    std::string m_temp;
};

// Writes text to path as above in one step; false with *reason.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* reason);

} // namespace kmr
