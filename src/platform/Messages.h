#pragma once
// Posted messages between the subsystems. A worker thread never touches a window: it posts a
// numbered message with two values to a target, and the target decides on which thread it is
// handled (the desktop program queues it to the GUI thread; the CLI and tests record it).
#include <cstdint>
#include <memory>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_MAC_FRAME_MSG = WM_USER + 501;        // frame sent (0) / handed out (16)
constexpr unsigned WM_PROTOCOL_NORMAL_MSG = WM_USER + 502;  // write-all / read-all progress
constexpr unsigned WM_PROTOCOL_UPDATE_MSG = WM_USER + 401;  // update phases and progress

class CMessageTarget {
public:
    virtual ~CMessageTarget() = default;
    // Must not block: called from worker threads, possibly while they hold protocol state.
    virtual void PostMessage(unsigned msg, WPARAM wParam, LPARAM lParam) = 0;
};

// Targets are held weakly by the senders: a post to a target that is gone is dropped.
using MessageTargetPtr = std::weak_ptr<CMessageTarget>;

inline void PostMessageTo(const MessageTargetPtr& target, unsigned msg, WPARAM wParam, LPARAM lParam)
{
    if (auto t = target.lock())
        t->PostMessage(msg, wParam, lParam);
}
