#pragma once
// The program's message dialog as the core sees it: show a text, with OK alone or with OK and
// Cancel, modal in the calling thread, and return the answer. Any thread may call it.
#include <functional>
#include <string>

namespace kmr {

enum MessageResult : unsigned char { MSG_OK = 0, MSG_CANCEL = 1 };

// Handler installed by the program: the desktop program shows its dialog on the GUI thread and
// blocks the calling worker until answered; the CLI prints; tests record and answer as told.
using MessageHandler = std::function<MessageResult(const std::string& text, bool showCancel)>;

// Shows text and returns the answer. Without an installed handler the text goes to standard
// error and the answer is OK for a plain message and Cancel for a question.
MessageResult ShowMessage(const std::string& text, bool showCancel = false);

// Installs handler (an empty one restores the default); returns the previous one. The handler
// is called outside any lock, so it may block for as long as the user takes to answer.
MessageHandler SetMessageHandler(MessageHandler handler);

} // namespace kmr

namespace kmr {

// Messages held back while a lock is held. A thread that holds a lock the user interface may
// wait for (the parameter records, an exchange with the amplifier) must never stop in a modal
// message: the window thread could be waiting for that lock and never answer. While a thread
// holds such a lock, a plain message it shows is kept, and shown when the thread has released
// the last of them. (A question cannot wait for its answer: it is asked at once.)
void HoldMessages();     // called after taking such a lock
void ReleaseMessages();  // called after letting it go; shows the held messages at the last one

// A mutex that holds messages while it is locked: a drop-in for Mutex in std::lock_guard and
// std::unique_lock.
template <class Mutex>
class CMessageHoldingMutex {
public:
    void lock()
    {
        m_mutex.lock();
        HoldMessages();
    }
    bool try_lock()
    {
        if (!m_mutex.try_lock())
            return false;
        HoldMessages();
        return true;
    }
    void unlock()
    {
        m_mutex.unlock();
        ReleaseMessages();
    }

private:
    Mutex m_mutex;
};

} // namespace kmr
