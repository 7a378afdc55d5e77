#pragma once
// A message target that keeps every post, for checking what workers and the frame layer report.
#include "platform/Messages.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class PostRecorder : public CMessageTarget {
public:
    struct Post {
        unsigned msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    static std::shared_ptr<PostRecorder> Create() { return std::make_shared<PostRecorder>(); }

    void PostMessage(unsigned msg, WPARAM wParam, LPARAM lParam) override;
    std::vector<Post> Posts() const;
    void Clear();
    // Waits until a post with msg and wParam arrives (true) or timeout passes (false).
    bool WaitFor(unsigned msg, WPARAM wParam, std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_lock;
    std::condition_variable m_cv;
    std::vector<Post> m_posts;
};
