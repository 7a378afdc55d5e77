#include "platform/Thread.h"

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace kmr {

std::thread StartThread(ThreadPriority priority, std::function<void()> body)
{
    return std::thread([priority, body = std::move(body)] {
        if (priority == ThreadPriority::AboveNormal) {
            const id_t self = static_cast<id_t>(gettid());
            errno = 0;
            const int nice = getpriority(PRIO_PROCESS, self);
            if (errno == 0)
                setpriority(PRIO_PROCESS, self, nice - 1);  // refused without privilege: fine
        }
        body();
    });
}

} // namespace kmr
