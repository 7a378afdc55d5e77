// The GUI tests' main: one QApplication for all tests, on the offscreen platform unless the
// environment asks for another (a real X server for screenshots).
#include "qtplatform/DlgMessage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A message that no step of a test answers (one the test did not expect, say an error on a
// loaded machine) would wait for a person for ever. After a minute, far longer than any step
// takes to answer its message, it is closed and the test fails naming the text: a failing test
// fails, it never hangs the suite.
constexpr int UNANSWERED_MS = 60000;

class UnansweredMessageWatch {
public:
    UnansweredMessageWatch()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
        m_timer.start(500);
    }

private:
    void Look()
    {
        auto* message = qobject_cast<CDlgMessage*>(QApplication::activeModalWidget());
        if (message != m_shown) {
            m_shown = message;
            m_since.start();
            return;
        }
        if (message == nullptr || m_since.elapsed() < UNANSWERED_MS)
            return;
        QString text;
        for (const QLabel* label : message->findChildren<QLabel*>())
            text += label->text() + " ";
        ADD_FAILURE() << "a message nobody answered, closed after " << UNANSWERED_MS / 1000 << " s: "
                      << text.toStdString();
        message->reject();
    }

    QTimer m_timer;
    QPointer<CDlgMessage> m_shown;
    QElapsedTimer m_since;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const UnansweredMessageWatch watch;
    return RUN_ALL_TESTS();
}
