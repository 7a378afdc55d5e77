#include "support/PostRecorder.h"

#include <algorithm>

void PostRecorder::PostMessage(unsigned msg, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_posts.push_back({msg, wParam, lParam});
    }
    m_cv.notify_all();
}

std::vector<PostRecorder::Post> PostRecorder::Posts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_posts;
}

void PostRecorder::Clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_posts.clear();
}

bool PostRecorder::WaitFor(unsigned msg, WPARAM wParam, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_cv.wait_for(lock, timeout, [&] {
        return std::any_of(m_posts.begin(), m_posts.end(),
                           [&](const Post& p) { return p.msg == msg && p.wParam == wParam; });
    });
}
