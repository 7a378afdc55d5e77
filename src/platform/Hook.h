#pragma once
// A program-wide replaceable function (the message dialog, the file chooser): installed by the
// program, called from any thread. A call runs outside the lock, so it may block for as long as
// the user takes, and a replacement meanwhile does not disturb it.
#include <memory>
#include <mutex>

namespace kmr {

template <class Function>
class CHook {
public:
    // The installed function, or an empty one; keep the pointer for the duration of the call.
    std::shared_ptr<const Function> Get() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_function;
    }
    // Installs function (an empty one uninstalls); returns the previous one.
    Function Set(Function function)
    {
        auto next = function ? std::make_shared<const Function>(std::move(function)) : nullptr;
        std::lock_guard<std::mutex> lock(m_lock);
        Function previous = m_function ? *m_function : Function{};
        m_function = std::move(next);
        return previous;
    }

private:
    mutable std::mutex m_lock;
    std::shared_ptr<const Function> m_function;
};

} // namespace kmr
