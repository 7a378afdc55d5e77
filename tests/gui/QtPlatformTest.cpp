#include "gui/GuiTestSupport.h"
#include "qtplatform/DlgMessage.h"
#include "qtplatform/QtPlatform.h"
#include "res/Resource.h"
#include "support/Wait.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {
// Installs a GUI message handler for one test and restores the previous handler afterwards.
class GuiMessages : public ::testing::Test {
protected:
    void SetUp() override { m_previous = kmr::SetMessageHandler(handler.Handler()); }
    void TearDown() override { kmr::SetMessageHandler(m_previous); }
    kmr::CGuiMessageHandler handler;

private:
    kmr::MessageHandler m_previous;
};

bool OnGuiThread()
{
    return QThread::currentThread() == qApp->thread();
}
} // namespace

TEST_F(GuiMessages, WorkerBlocksUntilAnsweredOnTheGuiThreadGuiThreadCallsDirectly)
{
    std::atomic<bool> done{false};
    std::atomic<int> answer{-1};
    TestThread worker([&] {
        answer = kmr::ShowMessage("Are you sure?", true);
        done = true;
    });
    bool blocked = false;
    WhenMessageShown([&](CDlgMessage& d) {
        QThread::msleep(100);  // time for the worker to run on, were it not waiting
        blocked = !done && OnGuiThread() && d.Control(IDCANCEL)->isVisible();
        ClickControl(d, IDOK);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
    worker.Join();
    EXPECT_TRUE(blocked);
    EXPECT_EQ(answer, kmr::MSG_OK);

    WhenMessageShown([](CDlgMessage& d) { ClickControl(d, IDCANCEL); });
    EXPECT_EQ(kmr::ShowMessage("Are you sure?", true), kmr::MSG_CANCEL);
}

TEST_F(GuiMessages, ShutdownReleasesAWaitingWorkerAndAnswersLaterCallsWithCancelUnshown)
{
    std::atomic<bool> started{false};
    std::atomic<int> answer{-1};
    TestThread worker([&] {
        started = true;
        answer = kmr::ShowMessage("Error: Invalid System Update file!", true);
    });
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }, 5s));
    std::this_thread::sleep_for(100ms);  // the question is queued; the GUI thread has not run it
    const auto before = std::chrono::steady_clock::now();
    handler.Shutdown();
    worker.Join(5s);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(answer, kmr::MSG_CANCEL);

    bool shown = false;
    QPointer<QTimer> watch = WhenMessageShown([&](CDlgMessage& d) {
        shown = true;
        d.reject();
    });
    QCoreApplication::processEvents();  // the queued question finds the handler shut down
    TestThread([&] { answer = kmr::ShowMessage("later", true); }).Join(5s);
    EXPECT_EQ(answer, kmr::MSG_CANCEL);
    EXPECT_EQ(kmr::ShowMessage("from the GUI thread", true), kmr::MSG_CANCEL);
    QTest::qWait(50);
    EXPECT_FALSE(shown);
    delete watch;  // no message came: the watch must not outlive this test
}

namespace {
// Records what a target delivers, and on which thread.
struct Inbox {
    std::vector<LPARAM> got;
    bool allOnGuiThread = true;
    kmr::CQtMessageTarget::Handler Handler()
    {
        return [this](unsigned msg, WPARAM w, LPARAM l) {
            got.push_back(msg == WM_PROTOCOL_UPDATE_MSG && w == 33 ? l : -1);
            allOnGuiThread = allOnGuiThread && OnGuiThread();
        };
    }
};
} // namespace

TEST(QtMessageTarget, DeliversPostsQueuedOnTheGuiThreadInOrder)
{
    QObject receiver;
    Inbox inbox;
    const auto owner = kmr::CQtMessageTarget::Create(&receiver, inbox.Handler());
    const MessageTargetPtr target = owner;  // senders hold the window's target weakly
    constexpr int N = 500;
    TestThread([&] {
        for (int i = 0; i < N; ++i)
            PostMessageTo(target, WM_PROTOCOL_UPDATE_MSG, 33, i);
    }).Join(5s);
    PostMessageTo(target, WM_PROTOCOL_UPDATE_MSG, 33, N);  // from the GUI thread: queued too
    EXPECT_TRUE(inbox.got.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return inbox.got.size() == N + 1; }, 5000));
    for (int i = 0; i <= N; ++i)
        ASSERT_EQ(inbox.got[i], i);
    EXPECT_TRUE(inbox.allOnGuiThread);
}

TEST(QtMessageTarget, PostsAreDroppedOnceTheReceiverIsGone)
{
    auto* receiver = new QObject;
    Inbox inbox;
    auto target = kmr::CQtMessageTarget::Create(receiver, inbox.Handler());
    target->PostMessage(WM_PROTOCOL_UPDATE_MSG, 33, 30);
    TestThread([&] { target->PostMessage(WM_PROTOCOL_UPDATE_MSG, 33, 40); }).Join(5s);
    delete receiver;  // with two posts still queued
    target->PostMessage(WM_PROTOCOL_UPDATE_MSG, 33, 50);
    QCoreApplication::processEvents();
    EXPECT_TRUE(inbox.got.empty());

    // A worker posting all the while the receiver goes: nothing is handled after it has gone.
    receiver = new QObject;
    std::atomic<bool> gone{false}, stop{false};
    std::atomic<int> delivered{0}, afterGone{0};
    target = kmr::CQtMessageTarget::Create(receiver, [&](unsigned, WPARAM, LPARAM) {
        ++delivered;
        afterGone += gone ? 1 : 0;
    });
    TestThread worker([&] {
        while (!stop) {
            target->PostMessage(WM_PROTOCOL_NORMAL_MSG, 5, 50);
            std::this_thread::sleep_for(20us);
        }
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered > 100; }, 5000));
    delete receiver;
    gone = true;
    QTest::qWait(50);
    stop = true;
    worker.Join(5s);
    QCoreApplication::processEvents();
    EXPECT_EQ(afterGone, 0);
}
