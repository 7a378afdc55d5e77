#include "platform/MessageBox.h"

#include "platform/Hook.h"

#include <cstdio>

namespace kmr {
namespace {
CHook<MessageHandler> g_handler;
}

MessageResult ShowMessage(const std::string& text, bool showCancel)
{
    if (auto handler = g_handler.Get(); handler && *handler)
        return (*handler)(text, showCancel);
    std::fprintf(stderr, "%s\n", text.c_str());
    return showCancel ? MSG_CANCEL : MSG_OK;
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    return g_handler.Set(std::move(handler));
}

} // namespace kmr
