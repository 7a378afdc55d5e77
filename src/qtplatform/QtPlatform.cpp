#include "qtplatform/QtPlatform.h"

#include "qtplatform/DlgMessage.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace kmr {

namespace {
MessageResult RunMessageDialog(const std::string& text, bool showCancel)
{
    CDlgMessage dialog;
    dialog.SetText(text);
    dialog.SetShowCancel(showCancel ? 1 : 0);
    return dialog.DoModal();
}

// A question from a worker, waiting for its answer from the GUI thread.
struct Question {
    std::string text;
    bool showCancel;
    bool answered = false;
    MessageResult answer = MSG_CANCEL;
};
} // namespace

struct CGuiMessageHandler::State {
    std::mutex lock;  // shutDown, waiting and the questions in it
    std::condition_variable answered;
    bool shutDown = false;
    std::vector<std::shared_ptr<Question>> waiting;
    QThread* guiThread = nullptr;
    QObject* context = nullptr;  // lives on the GUI thread; queued questions are delivered to it

    MessageResult Show(const std::shared_ptr<State>& self, const std::string& text, bool showCancel);
    void Answer(const std::shared_ptr<Question>& question);
    void Shutdown();
};

MessageResult CGuiMessageHandler::State::Show(const std::shared_ptr<State>& self, const std::string& text,
                                              bool showCancel)
{
    if (QThread::currentThread() == guiThread) {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (shutDown)
                return MSG_CANCEL;
        }
        return RunMessageDialog(text, showCancel);
    }

    auto question = std::make_shared<Question>();
    question->text = text;
    question->showCancel = showCancel;
    std::unique_lock<std::mutex> guard(lock);
    if (shutDown)
        return MSG_CANCEL;
    waiting.push_back(question);
    // Posted under the lock: Shutdown takes it before the context can go.
    QMetaObject::invokeMethod(
        context, [self, question] { self->Answer(question); }, Qt::QueuedConnection);
    answered.wait(guard, [&] { return question->answered; });
    return question->answer;
}

// On the GUI thread: asks the user unless the question was settled meanwhile.
void CGuiMessageHandler::State::Answer(const std::shared_ptr<Question>& question)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (shutDown || question->answered)
            return;
    }
    const MessageResult answer = RunMessageDialog(question->text, question->showCancel);
    std::lock_guard<std::mutex> guard(lock);
    if (!question->answered) {
        question->answer = answer;
        question->answered = true;
        std::erase(waiting, question);
    }
    answered.notify_all();
}

void CGuiMessageHandler::State::Shutdown()
{
    std::lock_guard<std::mutex> guard(lock);
    shutDown = true;
    for (const auto& question : waiting) {
        question->answer = MSG_CANCEL;
        question->answered = true;
    }
    waiting.clear();
    answered.notify_all();
}

CGuiMessageHandler::CGuiMessageHandler() : m_state(std::make_shared<State>())
{
    m_state->guiThread = QThread::currentThread();
    m_state->context = new QObject;
    if (QCoreApplication* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, m_state->context,
                         [state = m_state] { state->Shutdown(); });
}

CGuiMessageHandler::~CGuiMessageHandler()
{
    Shutdown();
    delete m_state->context;  // drops questions still queued to it
    m_state->context = nullptr;
}

MessageHandler CGuiMessageHandler::Handler() const
{
    return [state = m_state](const std::string& text, bool showCancel) {
        return state->Show(state, text, showCancel);
    };
}

void CGuiMessageHandler::Shutdown()
{
    m_state->Shutdown();
}

struct CQtMessageTarget::Receiver {
    std::mutex lock;  // object: cleared on the receiver's thread while a poster may read it
    QObject* object;
};

std::shared_ptr<CQtMessageTarget> CQtMessageTarget::Create(QObject* receiver, Handler handler)
{
    return std::make_shared<CQtMessageTarget>(receiver, std::move(handler));
}

CQtMessageTarget::CQtMessageTarget(QObject* receiver, Handler handler)
    : m_receiver(std::make_shared<Receiver>()), m_handler(std::make_shared<const Handler>(std::move(handler)))
{
    m_receiver->object = receiver;
    QObject::connect(receiver, &QObject::destroyed, [r = m_receiver] {
        std::lock_guard<std::mutex> guard(r->lock);
        r->object = nullptr;
    });
}

void CQtMessageTarget::PostMessage(unsigned msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> guard(m_receiver->lock);
    if (!m_receiver->object)
        return;
    // The receiver cannot be destroyed while the lock is held; once it is destroyed, Qt
    // discards the calls still queued to it.
    QMetaObject::invokeMethod(
        m_receiver->object, [handler = m_handler, msg, wParam, lParam] { (*handler)(msg, wParam, lParam); },
        Qt::QueuedConnection);
}

} // namespace kmr
