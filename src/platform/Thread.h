#pragma once
// Worker threads of the protocols.
#include <functional>
#include <thread>

namespace kmr {

enum class ThreadPriority { Normal, AboveNormal };

// Starts body in a new thread. AboveNormal asks the system for a slightly higher priority
// (one nice step); where the system refuses (an unprivileged user), the thread runs at normal
// priority and nothing is reported.
std::thread StartThread(ThreadPriority priority, std::function<void()> body);

} // namespace kmr
