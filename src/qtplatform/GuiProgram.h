#pragma once
// The start of a desktop program from a terminal: its command line, with Qt's standard options
// (-platform offscreen, -display :1, -style Fusion, ...) set apart for Qt, and its QApplication,
// which ends the program with one plain line and exit status 1, never Qt's abort, when no
// graphical display can be opened.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QApplication;

namespace kmr {

class CGuiProgram {
public:
    // name: the program's name in its messages ("kmr6650-tool"); usage: the first part of the
    // --help text, the program's own ways to start; terminalAlternative: the way to do the work
    // without a display, said after the problem ("kmr6650-cli does the same work in a terminal").
    CGuiProgram(std::string name, std::string usage, std::string terminalAlternative);
    ~CGuiProgram();
    CGuiProgram(const CGuiProgram&) = delete;
    CGuiProgram& operator=(const CGuiProgram&) = delete;

    // Reads the command line, from left to right, without a display. --help (-h) and --version
    // are answered on standard output; Qt's standard options and their values are kept for Qt;
    // every other argument goes to ownArgument, which returns false for one it does not know.
    // Returns the exit status when the program ends here: 0 after --help or --version (1 when
    // standard output cannot take the text), 2 after a one-line message on standard error for
    // an unknown argument or a Qt option without its value. Returns nothing when it starts.
    std::optional<int> ReadArguments(int argc, char** argv,
                                     const std::function<bool(std::string_view)>& ownArgument);

    // Creates the QApplication with Qt's options. When Qt cannot open its platform (no display,
    // a display that cannot be reached, a platform that does not exist), prints one line on
    // standard error, the problem and the terminal alternative, and ends the process with
    // status 1; Qt's own messages about it are left out. The messages of a good start go on
    // to the message handler installed before. Call once, on the main thread, after
    // ReadArguments; the application lives as long as this object.
    QApplication& StartApplication();

private:
    std::string m_name;
    std::string m_usage;
    std::string m_alternative;
    std::vector<char*> m_qtArgv;  // the program's path, then Qt's options; null-terminated
    int m_qtArgc = 0;
    std::unique_ptr<QApplication> m_app;
};

} // namespace kmr
