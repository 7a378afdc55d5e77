#pragma once
// Shared pieces of kmr6650-cli: the parsed command line, the port for one run, how messages
// and progress are shown, and the commands.
#include "Json.h"
#include "link/MSCommDlg.h"
#include "platform/Messages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include <string>
#include <vector>

struct CliOptions {
    int portNumber = 1;
    std::string devicePath;  // set when --port names a device instead of COM<n>
    std::string baud = "56000";  // the line's speed; the rest of the setting is N82
    bool yes = false;        // answer OK to every question
    std::string tracePath;
    bool json = false;       // one JSON document on standard output; every text on standard error
    std::vector<std::string> args;  // the command and its arguments
};

// Prints "kmr6650-cli: reason" on standard error and returns the exit status for bad input.
int UsageError(const std::string& reason);

// A file named on the command line must be a regular file this account can read, of at most
// maxBytes: true, or false after the reason has been given as bad input (exit status 2).
// Checked before the port is opened, so that bad input never touches the line.
bool CheckFileArgument(const std::string& path, std::uint64_t maxBytes, int* status);

// Every message of the core goes to standard output as whole lines (to standard error with
// --json, whose standard output is the document alone). A question is answered OK by --yes,
// asked on a terminal, and answered Cancel when nobody can be asked.
void InstallMessageHandler(bool yes, bool json);

// The port for one run: opened and attached to the frame layer on construction, detached and
// closed at the end, so no exchange can outlive it. A failed open has shown its reason; the
// command then prints "Can not open port." and ends with status 1.
class PortSession {
public:
    static constexpr unsigned SETTLE_MS = 100;  // after opening, before the first request

    explicit PortSession(const CliOptions& o);
    ~PortSession();
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;
    bool IsOpen() const { return m_open; }
    CMSCommDlg& Host() { return m_host; }
    // The JSON document's first members: "port" (COM<n> or the path given), "device" and
    // "opened".
    JsonObject JsonHead() const;

private:
    CMSCommDlg m_host;
    bool m_open = false;
};

// Progress in whole percent: a bar redrawn in place on a terminal, or one line per new value
// when standard output is a file or a pipe.
class ProgressPrinter {
public:
    ProgressPrinter();
    void Show(int percent);
    // Ends the bar's line on a terminal, so that the next text starts on a line of its own.
    void Finish();

private:
    bool m_terminal;
    int m_last = -1;
};

// Prints text as whole lines on standard output (standard error with --json), after ending a
// progress bar's line.
void PrintLine(const std::string& text);

// Receives the posts of worker threads; the main thread takes them in order.
class PostQueue : public CMessageTarget {
public:
    struct Post {
        unsigned msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    static std::shared_ptr<PostQueue> Create() { return std::make_shared<PostQueue>(); }
    void PostMessage(unsigned msg, WPARAM wParam, LPARAM lParam) override;
    // The oldest post, waiting up to timeout for one; nothing when none came.
    std::optional<Post> Take(std::chrono::milliseconds timeout);

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    std::deque<Post> m_posts;
};

// The commands; each returns the exit status.
int RunCheck(const CliOptions& o);
int RunVersions(const CliOptions& o);
int RunReg(const CliOptions& o);
int RunPorts(const CliOptions& o);
int RunUpdate(const CliOptions& o);
int RunCheckFile(const CliOptions& o);
int RunParams(const CliOptions& o);
