#include "qtplatform/GuiProgram.h"

#include "KmrVersion.h"
#include "platform/InputFile.h"

#include <QApplication>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace kmr {
namespace {

// Qt's standard options, as QGuiApplication, QApplication and the X11 platform read them; each
// may also be written with two dashes. Those that take a value take the next argument.
constexpr std::string_view QT_OPTIONS_WITH_VALUE[] = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin",  "-qwindowgeometry",
    "-geometry", "-qwindowicon",        "-icon",          "-qwindowtitle", "-title",
    "-session",  "-style",              "-stylesheet",    "-display", "-name",
    "-visual",
};
constexpr std::string_view QT_FLAGS[] = {"-reverse", "-widgetcount", "-testability", "-nograb", "-dograb"};
// Written as -option=value.
constexpr std::string_view QT_OPTIONS_JOINED[] = {"-style=", "-stylesheet=", "-qmljsdebugger="};

template <std::size_t N>
bool Contains(const std::string_view (&list)[N], std::string_view option)
{
    return std::find(std::begin(list), std::end(list), option) != std::end(list);
}

template <std::size_t N>
bool StartsWithOneOf(const std::string_view (&list)[N], std::string_view option)
{
    return std::any_of(std::begin(list), std::end(list), [&](std::string_view p) { return option.starts_with(p); });
}

// Writes text to standard output; 0, or 1 with the reason on standard error when it cannot.
int WriteOut(const std::string& name, const std::string& text)
{
    errno = 0;
    if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0)
        return 0;
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", name.c_str(),
                 errno != 0 ? std::strerror(errno) : "write error");
    return 1;
}

bool IsSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// A message Qt gave while the application was being made, kept until it is known whether the
// start succeeded.
struct HeldMessage {
    QtMsgType type;
    std::string file;
    int line;
    std::string function;
    std::string category;
    QString text;
};

// What the start's message handler works with. The handler is a plain function, so this is
// the one start of the process; Qt may call the handler from any of its threads.
struct StartState {
    std::mutex lock;
    std::string name;
    std::string alternative;
    QtMessageHandler previous = nullptr;
    bool started = false;  // the application exists: messages go straight to previous
    std::vector<HeldMessage> held;
};

StartState& TheStartState()
{
    static StartState state;
    return state;
}

// The first line of text, without the spaces around it, as it may be shown on a terminal.
std::string FirstLine(const QString& text)
{
    const QString line = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    return Printable(line.toStdString());
}

// Says in one line why Qt could not start, and ends the process. Qt's most telling message is
// the platform's own ("could not connect to display :1"); the plugin loader's words about it
// follow, and the fatal message only says that no platform could be started.
[[noreturn]] void FailStart(const StartState& state, const QString& fatal)
{
    const auto platform = std::find_if(state.held.begin(), state.held.end(),
                                       [](const HeldMessage& m) { return m.category != "qt.qpa.plugin"; });
    std::string reason = platform != state.held.end() ? FirstLine(platform->text)
                         : !state.held.empty()        ? FirstLine(state.held.front().text)
                                                      : FirstLine(fatal);
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY"))
        reason = "DISPLAY or WAYLAND_DISPLAY is not set; Qt: " + reason;
    std::fprintf(stderr, "%s: cannot open a graphical display (%s); %s\n", state.name.c_str(), reason.c_str(),
                 state.alternative.c_str());
    std::fflush(stderr);
    // Nothing of the half-made application may run any more: end at once.
    std::_Exit(1);
}

void HandleStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    StartState& state = TheStartState();
    std::unique_lock lock(state.lock);
    if (state.started) {
        lock.unlock();
        state.previous(type, context, text);
        return;
    }
    if (type == QtFatalMsg)
        FailStart(state, text);
    state.held.push_back({type, context.file != nullptr ? context.file : "", context.line,
                          context.function != nullptr ? context.function : "",
                          context.category != nullptr ? context.category : "", text});
}

} // namespace

CGuiProgram::CGuiProgram(std::string name, std::string usage, std::string terminalAlternative)
    : m_name(std::move(name)), m_usage(std::move(usage)), m_alternative(std::move(terminalAlternative))
{
}

CGuiProgram::~CGuiProgram() = default;

std::optional<int> CGuiProgram::ReadArguments(int argc, char** argv,
                                              const std::function<bool(std::string_view)>& ownArgument)
{
    m_qtArgv.assign(argv, argv + std::min(argc, 1));
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        // Qt takes "--platform" for "-platform".
        const std::string_view qtForm = arg.starts_with("--") ? arg.substr(1) : arg;
        if (arg == "--help" || arg == "-h") {
            return WriteOut(m_name, m_usage +
                                        "Qt's standard options go to Qt: -platform offscreen, -display :1, "
                                        "-style Fusion and the others.\n"
                                        "Without a graphical display, " +
                                        m_alternative + ".\n");
        } else if (arg == "--version") {
            return WriteOut(m_name, m_name + " " KMR_VERSION_TEXT "\n");
        } else if (Contains(QT_OPTIONS_WITH_VALUE, qtForm)) {
            if (i + 1 == argc) {
                std::fprintf(stderr, "%s: %s needs a value (%s --help)\n", m_name.c_str(), Printable(arg).c_str(),
                             m_name.c_str());
                return 2;
            }
            m_qtArgv.push_back(argv[i]);
            m_qtArgv.push_back(argv[++i]);
        } else if (Contains(QT_FLAGS, qtForm) || StartsWithOneOf(QT_OPTIONS_JOINED, qtForm)) {
            m_qtArgv.push_back(argv[i]);
        } else if (!ownArgument(arg)) {
            std::fprintf(stderr, "%s: unknown argument '%s' (%s --help lists the arguments)\n", m_name.c_str(),
                         Printable(arg).c_str(), m_name.c_str());
            return 2;
        }
    }
    m_qtArgc = static_cast<int>(m_qtArgv.size());
    m_qtArgv.push_back(nullptr);
    return std::nullopt;
}

QApplication& CGuiProgram::StartApplication()
{
    StartState& state = TheStartState();
    {
        std::lock_guard lock(state.lock);
        state.name = m_name;
        state.alternative = m_alternative;
        state.previous = qInstallMessageHandler(HandleStartMessage);
    }
    m_app = std::make_unique<QApplication>(m_qtArgc, m_qtArgv.data());

    // A good start: what Qt said on the way goes where it would have gone, and the handler
    // from before takes over again.
    std::vector<HeldMessage> held;
    {
        std::lock_guard lock(state.lock);
        state.started = true;
        held.swap(state.held);
    }
    qInstallMessageHandler(state.previous);
    for (const HeldMessage& m : held) {
        const QMessageLogContext context(m.file.c_str(), m.line, m.function.c_str(), m.category.c_str());
        state.previous(m.type, context, m.text);
    }
    return *m_app;
}

} // namespace kmr
