#pragma once
// The Qt side of the platform stand-ins: the message dialog for calls from any thread, and the
// message target of a window, which delivers posts on the GUI thread.
#include "platform/MessageBox.h"
#include "platform/Messages.h"

#include <functional>
#include <memory>

class QObject;

namespace kmr {

// Shows the core's messages in CDlgMessage on the GUI thread.
//
// Called on the GUI thread, the handler runs the dialog at once and returns its answer. Called
// from a worker, it queues the question to the GUI thread and blocks the worker until the user
// has answered there. After Shutdown nothing more is shown: every question still waiting and
// every later one, from any thread, returns MSG_CANCEL at once.
//
// Use: create one on the GUI thread once the QApplication exists, and install Handler() with
// SetMessageHandler. At exit call Shutdown before stopping the workers, so that a worker waiting
// for an answer never holds up the exit. Shutdown also happens when the application's main loop
// is about to quit and when this object is destroyed.
class CGuiMessageHandler {
public:
    CGuiMessageHandler();
    ~CGuiMessageHandler();
    CGuiMessageHandler(const CGuiMessageHandler&) = delete;
    CGuiMessageHandler& operator=(const CGuiMessageHandler&) = delete;

    // The handler to install. It stays safe to call after this object is gone (it answers
    // MSG_CANCEL then). Any thread may call it.
    MessageHandler Handler() const;
    // Releases every waiting worker with MSG_CANCEL and answers every later question so. Any
    // thread may call it, any number of times.
    void Shutdown();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// The message target of a window: each post becomes a queued call of the handler on the
// receiver's thread (the GUI thread for a window), in the order of posting.
//
// PostMessage never waits for the receiver: any thread may post at any time. Posts that have not
// been handled when the receiver is destroyed are dropped, and so is every later post.
class CQtMessageTarget : public CMessageTarget {
public:
    using Handler = std::function<void(unsigned msg, WPARAM wParam, LPARAM lParam)>;

    // A target that runs handler for receiver while receiver exists. Create it on the
    // receiver's thread; hand it to senders as a MessageTargetPtr.
    static std::shared_ptr<CQtMessageTarget> Create(QObject* receiver, Handler handler);
    CQtMessageTarget(QObject* receiver, Handler handler);

    void PostMessage(unsigned msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct Receiver;
    std::shared_ptr<Receiver> m_receiver;
    std::shared_ptr<const Handler> m_handler;
};

} // namespace kmr
