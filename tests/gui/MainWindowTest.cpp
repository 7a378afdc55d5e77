// The desktop program as a whole: the main window and its panels as the application builds
// them, the About box, Register, Exit while the port is open, and what assistive technology sees.
#include "AmpSimulator.h"
#include "app/DlgCommOption.h"
#include "app/UpdaterApp.h"
#include "app/UpdaterDlg.h"
#include "UpdateFileMaker.h"
#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"
#include "link/MSCommDlg.h"
#include "protocol/ProtocolAppUpdate.h"
#include "params/ParamPage.h"
#include "params/ParamTransfer.h"
#include "res/Resource.h"
#include "platform/FileChooser.h"
#include "protocol/UpdateMessages.h"
#include "qtplatform/DlgMessage.h"
#include "support/MessageRecorder.h"
#include "support/TempUpdateFile.h"
#include "update/DlgUpdate.h"
#include "update/DlgUpdateOption.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void TearDown() override
    {
        app.Shutdown();
        CUpdaterDlg::SetPortCheckProgram({});
    }
    CUpdaterApp app;
    CUpdaterDlg& window = app.MainWindow();
    const CDialogBuilder& controls = window.Builder();
};

} // namespace

TEST_F(MainWindow, OnlyTheUpdateAndCommunicationPanelsShowEachOverItsPlace)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "Veltra KMR 6650 Firmware/EQ Update Tool  V1.0");
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_TRUE(window.UpdatePanel()->isVisible());
    EXPECT_TRUE(window.CommPanel()->isVisible());
    EXPECT_EQ(window.UpdatePanel()->geometry(), controls.Control(IDC_PLACE_UPDATE)->geometry());
    EXPECT_EQ(window.CommPanel()->geometry(), controls.Control(IDC_PLACE_COMM)->geometry());
    EXPECT_FALSE(controls.Control(IDC_PLACE_OPTION_PARAM)->isVisible());
    EXPECT_FALSE(controls.Control(IDC_PLACE_PARAM_ADJUST)->isVisible());
    // Register is the accept button (Enter), Exit the cancel one.
    EXPECT_TRUE(controls.Control<QPushButton>(IDC_REGISTER)->isDefault());
    EXPECT_EQ(controls.Text(IDC_EXIT), "Exit");
}

TEST_F(MainWindow, AboutFromTheContextMenuEntryAndF1)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QList<QAction*> actions = window.actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0]->text(), "&About VMixer...");
    QString caption, text;
    auto closeAbout = [&] {
        QTimer::singleShot(50, &window, [&] {
            auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            if (about == nullptr)
                return;  // the About box did not open; the test's checks say so
            caption = about->windowTitle();
            for (QLabel* l : about->findChildren<QLabel*>())
                if (!l->text().isEmpty())
                    text = l->text();
            QTest::keyClick(about, Qt::Key_Escape);
        });
    };
    closeAbout();
    actions[0]->trigger();
    EXPECT_EQ(caption, "About Updater");
    EXPECT_EQ(text, "KMR 6650 Frimware/EQ Preset Update Tool ver. 1.0  9-9-2007");
    caption.clear();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    closeAbout();
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(caption, "About Updater");
    EXPECT_TRUE(window.isVisible());  // back to the main window
}

TEST_F(MainWindow, RegisterStartsThePortCheckAndTheWindowStaysOpen)
{
    // A stand-in for the helper program that leaves a mark each time it runs.
    const QString mark = QString::fromStdString(::testing::TempDir()) + "kmr-portcheck-" + QString::number(getpid());
    const QString script = mark + ".sh";
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("#!/bin/sh\necho run >> '" + mark + "'\n").toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    CUpdaterDlg::SetPortCheckProgram(script);
    QFile::remove(mark);

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(controls.Control(IDC_REGISTER), Qt::LeftButton);
    QTest::keyClick(&window, Qt::Key_Return);  // Enter presses Register too
    EXPECT_TRUE(QTest::qWaitFor([&] {
        QFile m(mark);
        return m.open(QIODevice::ReadOnly) && m.readAll().count("run") == 2;
    }, 5000));
    EXPECT_TRUE(window.isVisible());
    QFile::remove(mark);
    QFile::remove(script);
}

TEST_F(MainWindow, ExitWhileThePortIsOpenStopsAndClosesEverything)
{
    CAmpSimulator sim;
    ASSERT_TRUE(sim.Start());
    sim.SetLineBaud(56000);  // a real line's pace: the update is still running at Exit
    ThePortHost().SetPortDevice(sim.SlavePath());
    window.show();
    QTest::mouseClick(window.CommPanel()->Control(IDC_COMM_OPEN_PORT), Qt::LeftButton);
    ASSERT_EQ(window.CommPanel()->Text(IDC_COMM_OPEN_PORT), "OK");
    // A good check reads every parameter; the line is free for an update once that has ended.
    ASSERT_TRUE(QTest::qWaitFor([] { return !TheParamTransfer().IsRunning(); }, 10000));
    TheUpdateProtocol().StartUpdateTest(app.UpdateDialog().Target());
    ASSERT_TRUE(TheUpdateProtocol().IsRunning());

    QTimer::singleShot(0, [&] { QTest::keyClick(&window, Qt::Key_Escape); });  // Exit, no question
    EXPECT_EQ(app.Run(), 0);
    EXPECT_FALSE(TheUpdateProtocol().ThreadsAlive());
    EXPECT_EQ(ThePortHost().IsPortOpen(), 0);
    ThePortHost().SetPortDevice("");
}

TEST_F(MainWindow, ASignalEndsTheProgramAsExitDoesStoppingARunningUpdateFirst)
{
    // A session logging out sends SIGTERM while an update runs in its dialog.
    CAmpSimulator sim;
    ASSERT_TRUE(sim.Start());
    sim.SetLineBaud(56000);
    ThePortHost().SetPortDevice(sim.SlavePath());
    window.show();
    QTest::mouseClick(window.CommPanel()->Control(IDC_COMM_OPEN_PORT), Qt::LeftButton);
    ASSERT_EQ(window.CommPanel()->Text(IDC_COMM_OPEN_PORT), "OK");
    ASSERT_TRUE(QTest::qWaitFor([] { return !TheParamTransfer().IsRunning(); }, 10000));
    const TempUpdateFile file(kmr::sim::MakePresetUpdateFile());
    const kmr::FileChooser previous = kmr::SetFileChooser([&](auto&&...) { return file.Path(); });
    WhenModalShown<CDlgUpdate>([&](CDlgUpdate& dialog) {
        WhenMessageShown([](CDlgMessage& warning) { ClickControl(warning, IDOK); });
        for (int id : {IDC_PRESET_ENABLE, IDC_PRESET_SELECT, IDC_PRESET_START})
            QTest::mouseClick(dialog.Control(id), Qt::LeftButton);
    });
    // The signal comes once the write pass runs, or after a minute whatever is shown then: the
    // program must end on it in any case.
    bool writing = false;
    QElapsedTimer waited;
    waited.start();
    QTimer signal;
    QObject::connect(&signal, &QTimer::timeout, [&] {
        auto* bar = qobject_cast<QProgressBar*>(app.UpdateDialog().Control(IDC_PRESET_PROGRESS));
        writing = app.UpdateDialog().isVisible() && bar->value() >= 2 &&
                  app.UpdateDialog().Builder().Text(IDC_PRESET_STATUS) == "Status: Writing Data";
        if (writing || waited.elapsed() > 60000) {
            signal.stop();
            std::raise(SIGTERM);
        }
    });
    signal.start(20);
    QTimer::singleShot(0, [&] { QTest::mouseClick(window.UpdatePanel()->Control(IDC_BEGIN_UPDATE), Qt::LeftButton); });
    EXPECT_EQ(app.Run(), 128 + SIGTERM);
    EXPECT_TRUE(writing);
    EXPECT_FALSE(app.UpdateDialog().isVisible());
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(TheUpdateProtocol().ThreadsAlive());
    EXPECT_EQ(ThePortHost().IsPortOpen(), 0);
    EXPECT_LT(sim.Update().WriteStats().blocks, unsigned(CProtocolAppUpdate::PRESET_BLOCKS)) << "stopped in the write pass";
    EXPECT_EQ(sim.Update().CommandCount(update::CMD_END_WRITE), 0u);
    kmr::SetFileChooser(previous);
    ThePortHost().SetPortDevice("");
}

TEST_F(MainWindow, EveryControlHasItsRoleAndName)
{
    // What a screen reader or a test robot finds: each control with its real role and, for
    // those with a caption or text, that text as its name.
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    std::vector<QWidget*> windows = {&window, &app.UpdateDialog()};
    int checked = 0;
    for (QWidget* top : windows) {
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (qobject_cast<CDlgParamPage*>(w->parentWidget()))
                continue;  // named by their parameters; the editor's own test sweeps them
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(a, nullptr);
            const QString name = a->text(QAccessible::Name);
            QAccessible::Role want = QAccessible::NoRole;
            QString caption;
            if (auto* radio = qobject_cast<QRadioButton*>(w)) {
                want = QAccessible::RadioButton;
                caption = radio->text().isEmpty() ? "Enable" : radio->text();
            } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
                want = QAccessible::CheckBox;
                caption = box->text();
            } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                want = QAccessible::Button;
                caption = button->text();
            } else if (auto* label = qobject_cast<QLabel*>(w); label && label->pixmap().isNull()) {
                want = QAccessible::StaticText;
                caption = label->text();
            } else if (qobject_cast<QProgressBar*>(w)) {
                want = QAccessible::ProgressBar;
            } else if (auto* edit = qobject_cast<QLineEdit*>(w); edit && edit->isReadOnly()) {
                want = QAccessible::EditableText;
            } else if (qobject_cast<QComboBox*>(w)) {
                want = QAccessible::ComboBox;
            } else {
                continue;
            }
            ++checked;
            EXPECT_EQ(a->role(), want) << qPrintable(w->objectName()) << " " << qPrintable(name);
            if (!caption.isEmpty()) {
                EXPECT_EQ(name, QString(caption).remove('&')) << qPrintable(caption);
            } else if (want == QAccessible::ProgressBar || want == QAccessible::EditableText) {
                EXPECT_FALSE(name.isEmpty()) << "an unnamed " << want;
            }
        }
    }
    EXPECT_GT(checked, 40);
}
