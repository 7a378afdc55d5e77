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
    bool quiet = false;      // results and errors only: no progress, no intermediate status
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

// Where the texts go. Standard output carries the command's results and status lines (the
// verdict, "Status: ...", progress, the record lines), so that `cmd > file` holds results
// only; errors, warnings, questions and their causes go to standard error. With --json the
// document alone is on standard output and every text goes to standard error.
//
// Messages of the core are errors and go to standard error, except the update's success text,
// which is a result. A question is answered OK by --yes, asked on the terminal (on standard
// error), and answered Cancel when nobody can be asked. --quiet leaves out progress and the
// intermediate status lines.
void ConfigureOutput(const CliOptions& o);

// Makes sure descriptors 0, 1 and 2 are open before anything else is opened, so that a
// program started with one of them closed (`cmd >&-`) never writes its results into the serial
// port or a file that happened to get that number. A closed one is reopened on /dev/null in
// the direction it cannot be used in, so that using it fails and is reported.
void GuardStandardStreams();
// The command's exit status once its output is complete: standard output is flushed and
// closed, and if anything written to it was lost (a full disk, a closed descriptor, a pipe
// that broke) the command fails with one line on standard error, as the GNU tools do.
int FinishOutput(int status);

// The port for one run: opened and attached to the frame layer on construction, detached and
// closed at the end, so no exchange can outlive it. A failed open has shown its reason; the
// command then says "Can not open port." and ends with status 1.
class PortSession {
public:
    static constexpr unsigned SETTLE_MS = 100;  // after opening, before the first request

    explicit PortSession(const CliOptions& o);
    ~PortSession();
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;
    bool IsOpen() const { return m_open; }
    CMSCommDlg& Host() { return m_host; }
    const CMSCommDlg& Host() const { return m_host; }
    // "COM1 (/dev/ttyUSB0)", or the path given, escaped for a message.
    std::string Name() const;
    // Says on standard error why the amplifier gave no answer: what the port met when the line
    // is gone, else that nothing answered on an open port and what to check.
    void ReportSilence() const;
    // The JSON document's first members: "port" (COM<n> or the path given), "device" and
    // "opened".
    Json JsonHead() const;

private:
    CMSCommDlg m_host;
    bool m_open = false;
};

// Progress in whole percent, where the status lines go: a bar redrawn in place on a terminal,
// or one line per new value into a file or a pipe.
class ProgressPrinter {
public:
    ProgressPrinter();
    // Whether the bar is drawn on a terminal.
    bool OnTerminal() const { return m_terminal; }
    void Show(int percent);
    // Ends the bar's line on a terminal, so that the next text starts on a line of its own.
    void Finish();

private:
    bool m_terminal;
    int m_last = -1;
};

// Prints a result as whole lines on standard output (standard error with --json), after
// ending a progress bar's line.
void PrintLine(const std::string& text);
// Prints an intermediate status line as PrintLine does, unless --quiet.
void PrintStatus(const std::string& text);
// Prints an error text as whole lines on standard error, after ending a progress bar's line.
void PrintError(const std::string& text);
// Prints a command's JSON document as one line on standard output.
void PrintDocument(const Json& document);
// Seconds since start, for the documents of commands that do work.
double SecondsSince(std::chrono::steady_clock::time_point start);

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
