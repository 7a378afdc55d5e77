#include "platform/MessageBox.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace kmr {
namespace {
std::mutex g_lock;
std::shared_ptr<const MessageHandler> g_handler;
}

MessageResult ShowMessage(const std::string& text, bool showCancel)
{
    std::shared_ptr<const MessageHandler> handler;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        handler = g_handler;
    }
    if (handler && *handler)
        return (*handler)(text, showCancel);
    std::fprintf(stderr, "%s\n", text.c_str());
    return showCancel ? MSG_CANCEL : MSG_OK;
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    auto next = handler ? std::make_shared<const MessageHandler>(std::move(handler)) : nullptr;
    std::lock_guard<std::mutex> lock(g_lock);
    MessageHandler previous = g_handler ? *g_handler : MessageHandler{};
    g_handler = std::move(next);
    return previous;
}

} // namespace kmr
