#include "platform/MessageBox.h"

#include "platform/Hook.h"

#include <cstdio>
#include <vector>

namespace kmr {
namespace {
CHook<MessageHandler> g_handler;

thread_local int t_holdDepth = 0;
thread_local std::vector<std::string> t_held;

MessageResult Show(const std::string& text, bool showCancel)
{
    if (auto handler = g_handler.Get(); handler && *handler)
        return (*handler)(text, showCancel);
    std::fprintf(stderr, "%s\n", text.c_str());
    return showCancel ? MSG_CANCEL : MSG_OK;
}
} // namespace

MessageResult ShowMessage(const std::string& text, bool showCancel)
{
    if (t_holdDepth > 0 && !showCancel) {
        t_held.push_back(text);
        return MSG_OK;
    }
    return Show(text, showCancel);
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    return g_handler.Set(std::move(handler));
}

void HoldMessages()
{
    ++t_holdDepth;
}

void ReleaseMessages()
{
    if (--t_holdDepth > 0 || t_held.empty())
        return;
    std::vector<std::string> held;
    held.swap(t_held);
    for (const std::string& text : held)
        Show(text, false);
}

} // namespace kmr
