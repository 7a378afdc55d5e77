// The update panel and the update dialog, offscreen: states, handlers, posted codes, the ways out
// and accessibility; then whole updates through the windows against the simulated amplifier.
#include "AmpSimulator.h"
#include "UpdateFileMaker.h"
#include "app/DlgCommOption.h"
#include "app/UpdaterDlg.h"
#include "gui/GuiTestSupport.h"
#include "link/DlgPortSettings.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "platform/FileChooser.h"
#include "protocol/ProtocolAppUpdate.h"
#include "qtplatform/DlgMessage.h"
#include "qtplatform/QtFileChooser.h"
#include "qtplatform/QtPlatform.h"
#include "params/ParamTransfer.h"
#include "res/Resource.h"
#include "support/MessageRecorder.h"
#include "support/SimLink.h"
#include "support/TempUpdateFile.h"
#include "support/Wait.h"
#include "update/DlgUpdate.h"
#include "update/DlgUpdateOption.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <list>

namespace {
using U = CProtocolAppUpdate;
using Texts = std::vector<std::string>;

const std::string SYSTEM_NO_FILE = "Before you can proceed you must select a system update file!";
const std::string SYSTEM_WARNING =
    "WARNING: This will erase the KMR 6650's old system software!\nAre you sure you want to upgrade? ";
const std::string SUCCESS_TEXT = "DSP Update Successfull!\nPlease power cycle the amplifier to complete the update.";
// A run with no port open: its first send fails, which is said once.
const std::string NO_PORT_TEXT = "Error: Can not write to the port! The update was stopped.\nCheck the cable and the "
                                 "adapter, then close and open the port again.";

// One section of the dialog as the user sees it, for the tests that run over both.
struct Section {
    const char* name;
    int enable, select, file, start, status, otherSelect, otherStart, otherStatus;
    std::string filter, noFile, warning;
    bool (CUpdateFile::*isOpen)() const;
    std::vector<std::uint8_t> (*make)();
};
std::vector<std::uint8_t> SystemFile() { return kmr::sim::MakeSystemUpdateFile(); }
std::vector<std::uint8_t> PresetFile() { return kmr::sim::MakePresetUpdateFile(); }
const Section SECTIONS[] = {
    {"software", IDC_SYSTEM_ENABLE, IDC_SYSTEM_SELECT, IDC_SYSTEM_FILE, IDC_SYSTEM_START, IDC_SYSTEM_STATUS,
     IDC_PRESET_SELECT, IDC_PRESET_START, IDC_PRESET_STATUS, "Mixer Software Update files|*.bin|", SYSTEM_NO_FILE,
     SYSTEM_WARNING, &CUpdateFile::IsSystemFileOpen, SystemFile},
    {"preset", IDC_PRESET_ENABLE, IDC_PRESET_SELECT, IDC_PRESET_FILE, IDC_PRESET_START, IDC_PRESET_STATUS,
     IDC_SYSTEM_SELECT, IDC_SYSTEM_START, IDC_SYSTEM_STATUS, "Mixer Preset Update files|*.bin|",
     "Before you can proceed you must select a preset update file!",
     "WARNING: This will erase the KMR 6650's old EQ Presets!\nAre you sure you want to upgrade?",
     &CUpdateFile::IsPresetFileOpen, PresetFile},
};

// Runs script inside the dialog's modal loop once it is open. Whatever the script does, a failed
// assertion included, the dialog is closed afterwards, so a test never hangs.
void WhileOpen(CDlgUpdate& dialog, std::function<void()> script)
{
    QTimer::singleShot(0, &dialog, [&dialog, script = std::move(script)] {
        if (QTest::qWaitFor([&] { return dialog.isVisible(); }, 5000))
            script();
        if (dialog.isVisible())
            dialog.reject();
    });
}

// WhenMessageShown with more patience, for the message at the end of an update.
void WhenMessageShownWithin(int ms, std::function<void(CDlgMessage&)> act)
{
    auto* timer = new QTimer;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, [timer, ms, clock, act = std::move(act)] {
        auto* dialog = qobject_cast<CDlgMessage*>(QApplication::activeModalWidget());
        if (!dialog && clock.elapsed() < ms)
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog)
            act(*dialog);
    });
    timer->start(10);
}

std::string MessageText(const CDlgMessage& d)
{
    return static_cast<QLabel*>(d.Control(IDC_MESSAGE_TEXT))->text().toStdString();
}

// Puts the program-wide objects that the dialog uses back as they were after each test: the
// update run stopped with its threads ended, both file slots closed, the chooser restored.
class UpdateDialogBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previousChooser = kmr::SetFileChooser([this](const std::string& filter, const std::string& extension,
                                                       const std::string& name, bool mustExist) {
            chooserCalls.push_back(filter + "," + extension + "," + name + (mustExist ? ",must exist" : ""));
            return chosen;
        });
    }
    void TearDown() override
    {
        TheUpdateProtocol().Shutdown();
        EXPECT_FALSE(TheUpdateProtocol().ThreadsAlive());
        TheUpdateFile().CloseSystemFile();
        TheUpdateFile().ClosePresetFile();
        kmr::SetFileChooser(m_previousChooser);
    }

    std::string WriteFile(const std::vector<std::uint8_t>& bytes) { return m_files.emplace_back(bytes).Path(); }
    static std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

    void Click(int id) { QTest::mouseClick(dialog.Control(id), Qt::LeftButton); }
    std::string Text(int id) const { return dialog.Builder().Text(id).toStdString(); }
    int Bar(int id) const { return static_cast<QProgressBar*>(dialog.Control(id))->value(); }
    bool Checked(int id) const { return static_cast<QRadioButton*>(dialog.Control(id))->isChecked(); }
    bool Enabled(int id) const { return dialog.Control(id)->isEnabled(); }
    static bool RunEnded(int ms = 20000)
    {
        return QTest::qWaitFor([] { return !TheUpdateProtocol().ThreadsAlive(); }, ms);
    }

    CDlgUpdate dialog;
    std::string chosen;  // the chooser's answer; empty is a cancel
    Texts chooserCalls;

private:
    kmr::FileChooser m_previousChooser;
    std::list<TempUpdateFile> m_files;  // a list keeps them without moving them
};

// No port: messages recorded and answered OK unless told otherwise; a started update fails at
// establish, since nothing answers.
class UpdateDialog : public UpdateDialogBase {
protected:
    MessageRecorder messages;
};

} // namespace

TEST_F(UpdateDialog, EachOpeningShowsTheTemplateAndNoUpdateCanStartYet)
{
    struct Expect {
        int id;
        const char* text;
        bool visible, enabled;
    };
    const Expect controls[] = {
        {IDC_SYSTEM_ENABLE, "", true, true},      {IDC_SYSTEM_SELECT, "Select File", true, false},
        {IDC_SYSTEM_FILE, "", true, true},        {IDC_SYSTEM_START, "Start Update", true, false},
        {IDC_SYSTEM_STATUS, "No Software Update", true, true}, {IDC_SYSTEM_PERCENT, "  Process:", true, true},
        {IDC_PRESET_ENABLE, "", true, true},      {IDC_PRESET_SELECT, "Select File ", true, false},
        {IDC_PRESET_FILE, "", true, true},        {IDC_PRESET_START, "Start Update", true, false},
        {IDC_PRESET_STATUS, "No Preset Update", true, true}, {IDC_PRESET_PERCENT, " Process:", true, true},
        {IDC_TEST_ENABLE, "", false, false},      {IDC_UPDATE_TEST, "Update Test", false, true},
        {IDC_TEST_FILE, "TEST", false, true},     {IDOK, "OK", false, false},
        {IDCANCEL, "Exit", true, true},
    };
    auto checkFresh = [&] {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Software/Preset Update ");
        EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
        for (const Expect& c : controls) {
            EXPECT_EQ(Text(c.id), c.text) << c.id;
            EXPECT_EQ(dialog.Control(c.id)->isVisible(), c.visible) << c.id;
            EXPECT_EQ(Enabled(c.id), c.enabled) << c.id;
        }
        EXPECT_FALSE(Checked(IDC_SYSTEM_ENABLE) || Checked(IDC_PRESET_ENABLE));
        EXPECT_TRUE(Checked(IDC_TEST_ENABLE));
        EXPECT_EQ(Bar(IDC_SYSTEM_PROGRESS) + Bar(IDC_PRESET_PROGRESS), 0);
    };
    WhileOpen(dialog, [&] {
        checkFresh();
        EXPECT_EQ(PixelAt(Grab(&dialog), 2, dialog.height() / 2), (Rgb{255, 255, 255})) << "white background";
        // Leave everything changed behind.
        Click(IDC_PRESET_ENABLE);
        dialog.OnProtocolUpdateMSG(U::PRESET_BASE + U::ERASE_FAILED, 0);
        dialog.OnProtocolUpdateMSG(U::SYSTEM_BASE + U::WRITE_PROGRESS, 40);
        dialog.OnProtocolUpdateMSG(U::TEST_BASE + U::ERASING, 0);
        ASSERT_EQ(Text(IDC_PRESET_STATUS), "Status: Erase Error!");
        Click(IDCANCEL);
    });
    dialog.DoModal();
    WhileOpen(dialog, checkFresh);
    dialog.DoModal();
}

TEST_F(UpdateDialog, EnableRadiosEnableTheirOwnSectionOnly)
{
    WhileOpen(dialog, [&] {
        for (int round = 0; round < 2; ++round) {
            for (const Section& s : SECTIONS) {
                Click(s.enable);
                EXPECT_TRUE(Checked(s.enable)) << s.name;
                EXPECT_FALSE(Checked(IDC_SYSTEM_ENABLE) && Checked(IDC_PRESET_ENABLE));
                EXPECT_FALSE(Checked(IDC_TEST_ENABLE));
                EXPECT_TRUE(Enabled(s.select) && Enabled(s.start)) << s.name;
                EXPECT_FALSE(Enabled(s.otherSelect) || Enabled(s.otherStart) || Enabled(IDC_UPDATE_TEST)) << s.name;
            }
        }
        // The test radio is hidden and disabled; enabled here only to reach its handler.
        auto* testRadio = static_cast<QRadioButton*>(dialog.Control(IDC_TEST_ENABLE));
        testRadio->click();
        EXPECT_FALSE(testRadio->isChecked()) << "the user cannot reach it";
        testRadio->setEnabled(true);
        testRadio->click();
        EXPECT_TRUE(Enabled(IDC_UPDATE_TEST));
        for (const Section& s : SECTIONS)
            EXPECT_FALSE(Enabled(s.select) || Enabled(s.start) || Checked(s.enable)) << s.name;
    });
    dialog.DoModal();
}

// Select File, Start Update and the file's life around a run, in both sections.
TEST_F(UpdateDialog, StartUpdateNeedsAChosenFileAndAConfirmedWarning)
{
    WhileOpen(dialog, [&] {
        for (const Section& s : SECTIONS) {
            SCOPED_TRACE(s.name);
            Click(s.enable);
            Click(s.start);  // nothing chosen yet
            EXPECT_EQ(messages.Texts(), Texts({s.noFile}));

            const std::string path = WriteFile(s.make());
            chosen = path;
            chooserCalls.clear();
            Click(s.select);
            EXPECT_EQ(chooserCalls, Texts({s.filter + ",bin,WriteFlashFile,must exist"}));
            EXPECT_EQ(Text(s.file), BaseName(path));

            messages.Clear();
            messages.SetAnswer(kmr::MSG_CANCEL);
            Click(s.start);
            EXPECT_EQ(messages.Texts(), Texts({s.warning}));
            EXPECT_FALSE(TheUpdateProtocol().ThreadsAlive()) << "cancelled: nothing starts";

            // Confirmed: the run reports to this dialog; with no port it ends at establish.
            messages.Clear();
            messages.SetAnswer(kmr::MSG_OK);
            const std::string otherStatus = Text(s.otherStatus);
            Click(s.start);
            ASSERT_TRUE(RunEnded());
            EXPECT_EQ(messages.Texts(), Texts({s.warning, NO_PORT_TEXT}));
            EXPECT_TRUE(QTest::qWaitFor([&] { return Text(s.status) == "Status: Establish Error!"; }, 5000))
                << Text(s.status);
            EXPECT_EQ(Text(s.otherStatus), otherStatus) << "the other section is untouched";
            EXPECT_FALSE((TheUpdateFile().*s.isOpen)()) << "closed with the run";
            EXPECT_EQ(Text(s.file), BaseName(path)) << "the name stays on display";
            messages.Clear();
            Click(s.start);
            EXPECT_EQ(messages.Texts(), Texts({s.noFile}));

            // Chosen again, then a choice cancelled: the old name stays, no file is chosen.
            Click(s.select);
            ASSERT_TRUE((TheUpdateFile().*s.isOpen)());
            chosen.clear();
            Click(s.select);
            EXPECT_EQ(Text(s.file), BaseName(path));
            messages.Clear();
            Click(s.start);
            EXPECT_EQ(messages.Texts(), Texts({s.noFile})) << "no warning, nothing started";
            messages.Clear();
        }
    });
    dialog.DoModal();
}

TEST_F(UpdateDialog, PostedCodesBecomeStatusPercentageBarAndTestCaption)
{
    const int watched[] = {IDC_SYSTEM_STATUS, IDC_SYSTEM_PERCENT, IDC_PRESET_STATUS, IDC_PRESET_PERCENT, IDC_UPDATE_TEST};
    auto snapshot = [&] {
        Texts s;
        for (int id : watched)
            s.push_back(Text(id));
        s.push_back(std::to_string(Bar(IDC_SYSTEM_PROGRESS)));
        s.push_back(std::to_string(Bar(IDC_PRESET_PROGRESS)));
        return s;
    };
    struct Case {
        WPARAM code;
        LPARAM value;
        Texts after;  // status, percent, preset status, preset percent, test caption, bars
    };
    const Case cases[] = {
        {33, 200, {"No Software Update", "Tx:100%", "No Preset Update", " Process:", "Update Test", "100", "0"}},
        {34, 5, {"No Software Update", "Tx:  5%", "No Preset Update", " Process:", "Update Test", "5", "0"}},
        {22, 0, {"Status: Write Data Error!", "Tx:  5%", "No Preset Update", " Process:", "Update Test", "5", "0"}},
        {147, 60, {"Status: Write Data Error!", "Tx:  5%", "No Preset Update", "Tx: 60%", "Update Test", "5", "60"}},
        {137, 0, {"Status: Write Data Error!", "Tx:  5%", "Status: Update OK!", "Tx: 60%", "Update Test", "5", "60"}},
        {245, 0, {"Status: Write Data Error!", "Tx:  5%", "Status: Update OK!", "Tx: 60%", "Writing Data", "5", "60"}},
    };
    for (const Case& c : cases) {
        dialog.OnProtocolUpdateMSG(c.code, c.value);
        EXPECT_EQ(snapshot(), c.after) << "code " << c.code;
    }
    const Texts before = snapshot();
    for (WPARAM code : {0, 16, 26, 32, 36, 128, 138, 148, 240, 250})
        dialog.OnProtocolUpdateMSG(code, 50);
    EXPECT_EQ(snapshot(), before) << "codes between and beyond the tables change nothing";
    EXPECT_TRUE(messages.Texts().empty());

    // The test's failures are also told in a message; its other phases are not.
    for (WPARAM code : {242, 243, 244, 246, 247, 248})
        dialog.OnProtocolUpdateMSG(code, 0);
    EXPECT_EQ(Text(IDC_UPDATE_TEST), "Verify Error");
    EXPECT_EQ(messages.Texts(), Texts(4, "UPDATE TEST ERROR!"));
}

TEST_F(UpdateDialog, PostsOfAClosedOpeningAreDropped)
{
    MessageTargetPtr first;
    WhileOpen(dialog, [&] {
        first = dialog.Target();
        PostMessageTo(first, WM_PROTOCOL_UPDATE_MSG, U::SYSTEM_BASE + U::WRITING, 0);
        EXPECT_EQ(Text(IDC_SYSTEM_STATUS), "No Software Update") << "queued, never handled in the poster";
        QCoreApplication::processEvents();
        EXPECT_EQ(Text(IDC_SYSTEM_STATUS), "Status: Writing Data");
        // Queued while the dialog is open, handled after it has closed: the window is gone.
        PostMessageTo(first, WM_PROTOCOL_UPDATE_MSG, U::SYSTEM_BASE + U::WRITE_FAILED, 0);
        Click(IDCANCEL);
    });
    dialog.DoModal();
    EXPECT_TRUE(first.expired() && dialog.Target().expired());
    QCoreApplication::processEvents();
    EXPECT_EQ(Text(IDC_SYSTEM_STATUS), "Status: Writing Data");

    WhileOpen(dialog, [&] {
        PostMessageTo(first, WM_PROTOCOL_UPDATE_MSG, U::PRESET_BASE + U::ERASING, 0);
        PostMessageTo(dialog.Target(), WM_PROTOCOL_UPDATE_MSG, U::PRESET_BASE + U::WRITING, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(Text(IDC_PRESET_STATUS), "Status: Writing Data");
    });
    dialog.DoModal();
}

TEST_F(UpdateDialog, HiddenTestSectionStartsTheTestUnaskedAndTestOnlyShowsAFileDialog)
{
    WhileOpen(dialog, [&] {
        // Opening leaves the hidden "Update Test" enabled; it starts at once, without a question.
        static_cast<QAbstractButton*>(dialog.Control(IDC_UPDATE_TEST))->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Text(IDC_UPDATE_TEST) == "Establishing"; }, 5000));
        ASSERT_TRUE(RunEnded());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !messages.Texts().empty(); }, 5000));
        EXPECT_EQ(Text(IDC_UPDATE_TEST), "Establish Error");
        // No port: the first send fails, which is said once, and the test ends at establish.
        EXPECT_EQ(messages.Texts(), Texts({NO_PORT_TEXT, "UPDATE TEST ERROR!"}));

        chosen = WriteFile(SystemFile());
        static_cast<QAbstractButton*>(dialog.Control(IDC_TEST_FILE))->click();
        EXPECT_EQ(chooserCalls, Texts({"RKN Company files|*.bin|,bin,WriteFlashFile,must exist"}));
        EXPECT_FALSE(TheUpdateFile().IsSystemFileOpen() || TheUpdateFile().IsPresetFileOpen()) << "choice ignored";
        EXPECT_EQ(Text(IDC_SYSTEM_FILE), "");
    });
    dialog.DoModal();
}

// Enter goes to the template's default button, the hidden and disabled OK, whichever button has
// the focus: it opens no file dialog, asks nothing and starts nothing, and the dialog stays open.
TEST_F(UpdateDialog, EnterPressesNothingWhateverButtonHasTheFocus)
{
    WhileOpen(dialog, [&] {
        // The active window, as for a user, so that the focus moves as the mouse and keys move it.
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        for (QPushButton* push : dialog.findChildren<QPushButton*>())
            EXPECT_EQ(push->isDefault(), push == dialog.Control(IDOK)) << push->text().toStdString();
        for (const Section& s : SECTIONS) {
            SCOPED_TRACE(s.name);
            Click(s.enable);
            Click(s.select);  // the mouse gives it the focus; the chooser is asked once and cancelled
            ASSERT_EQ(chooserCalls.size(), 1u);
            ASSERT_EQ(QApplication::focusWidget(), dialog.Control(s.select));
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(QApplication::focusWidget(), key);
                EXPECT_EQ(chooserCalls.size(), 1u) << "Enter opened the file dialog";
            }
            dialog.Control(s.start)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            EXPECT_EQ(messages.Texts(), Texts()) << "Enter pressed Start Update";
            EXPECT_TRUE(dialog.isVisible());
            for (QPushButton* push : dialog.findChildren<QPushButton*>())
                EXPECT_EQ(push->isDefault(), push == dialog.Control(IDOK)) << push->text().toStdString();
            chooserCalls.clear();
        }
        // Space still presses the button that has the focus.
        dialog.Control(IDC_PRESET_SELECT)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_EQ(chooserCalls.size(), 1u);
    });
    dialog.DoModal();
}

TEST_F(UpdateDialog, ExitOkEscapeAndTheCloseBoxStopTheSystemUpdateAndClose)
{
    const std::string system = WriteFile(SystemFile());
    const std::string preset = WriteFile(PresetFile());
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Exit", [&] { Click(IDCANCEL); }},
        {"OK", [&] { dialog.accept(); }},  // hidden and disabled: only code reaches it
        {"Escape", [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }},
        {"close box", [&] { dialog.close(); }},
    };
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        bool closed = false;
        WhileOpen(dialog, [&] {
            for (const Section& s : SECTIONS) {
                Click(s.enable);
                chosen = s.enable == IDC_SYSTEM_ENABLE ? system : preset;
                Click(s.select);
            }
            close();
            closed = !dialog.isVisible();
        });
        dialog.DoModal();
        EXPECT_TRUE(closed);
        EXPECT_FALSE(TheUpdateFile().IsSystemFileOpen()) << "the system update is stopped";
        EXPECT_TRUE(TheUpdateFile().IsPresetFileOpen()) << "the preset file stays chosen";
    }
    // So the next opening shows its name: "Start Update" never uses a file the user cannot see.
    WhileOpen(dialog, [&] {
        EXPECT_EQ(Text(IDC_PRESET_FILE), BaseName(preset));
        EXPECT_EQ(Text(IDC_SYSTEM_FILE), "");
    });
    dialog.DoModal();
}

TEST_F(UpdateDialog, EveryControlIsAccessibleWithItsNameAndRole)
{
    QWidget host;
    CDlgUpdateOption panel(&host, &dialog);
    using A = QAccessible;
    const std::tuple<QWidget*, A::Role, const char*> controls[] = {
        {dialog.Control(IDC_SYSTEM_ENABLE), A::RadioButton, "Enable"},
        {dialog.Control(IDC_SYSTEM_SELECT), A::Button, "Select File"},
        {dialog.Control(IDC_SYSTEM_FILE), A::EditableText, "Software Update file"},
        {dialog.Control(IDC_SYSTEM_START), A::Button, "Start Update"},
        {dialog.Control(IDC_SYSTEM_STATUS), A::StaticText, "No Software Update"},
        {dialog.Control(IDC_SYSTEM_PERCENT), A::StaticText, "  Process:"},
        {dialog.Control(IDC_SYSTEM_PROGRESS), A::ProgressBar, "Software Update progress"},
        {dialog.Control(IDC_PRESET_ENABLE), A::RadioButton, "Enable"},
        {dialog.Control(IDC_PRESET_SELECT), A::Button, "Select File "},
        {dialog.Control(IDC_PRESET_FILE), A::EditableText, "Speaker EQ Preset Update file"},
        {dialog.Control(IDC_PRESET_START), A::Button, "Start Update"},
        {dialog.Control(IDC_PRESET_STATUS), A::StaticText, "No Preset Update"},
        {dialog.Control(IDC_PRESET_PERCENT), A::StaticText, " Process:"},
        {dialog.Control(IDC_PRESET_PROGRESS), A::ProgressBar, "Speaker EQ Preset Update progress"},
        {dialog.Control(IDC_TEST_ENABLE), A::RadioButton, "Enable"},
        {dialog.Control(IDC_UPDATE_TEST), A::Button, "Update Test"},
        {dialog.Control(IDC_TEST_FILE), A::Button, "TEST"},
        {dialog.Control(IDOK), A::Button, "OK"},
        {dialog.Control(IDCANCEL), A::Button, "Exit"},
        {panel.Control(IDC_BEGIN_UPDATE), A::Button, "Begin Update"},
        {panel.Control(IDC_PRESET_UPDATE), A::Button, "Preset Update"},
    };
    auto name = [](QWidget* w) { return A::queryAccessibleInterface(w)->text(A::Name).toStdString(); };
    for (const auto& [widget, role, text] : controls) {
        QAccessibleInterface* iface = A::queryAccessibleInterface(widget);
        ASSERT_NE(iface, nullptr) << text;
        EXPECT_EQ(iface->role(), role) << text;
        EXPECT_EQ(name(widget), text);
        EXPECT_GE(A::queryAccessibleInterface(widget->parentWidget())->indexOfChild(iface), 0)
            << text << " is reachable from its window";
    }
    for (int edit : {IDC_SYSTEM_FILE, IDC_PRESET_FILE})
        EXPECT_TRUE(A::queryAccessibleInterface(dialog.Control(edit))->state().readOnly);
    // What is read out follows what is on screen.
    dialog.OnProtocolUpdateMSG(U::SYSTEM_BASE + U::WRITING, 0);
    dialog.OnProtocolUpdateMSG(U::TEST_BASE + U::ESTABLISHING, 0);
    EXPECT_EQ(name(dialog.Control(IDC_SYSTEM_STATUS)), "Status: Writing Data");
    EXPECT_EQ(name(dialog.Control(IDC_UPDATE_TEST)), "Establishing");
}

TEST_F(UpdateDialog, PanelOnLightBeginUpdateWithThePortClosedOnlyTellsSo)
{
    ASSERT_FALSE(ThePortHost().IsPortOpen());
    QWidget host;
    CDlgUpdateOption panel(&host, &dialog);
    host.show();
    EXPECT_EQ(PixelAt(Grab(&panel), 2, 2), (Rgb{240, 200, 195}));
    EXPECT_FALSE(panel.Control(IDC_PRESET_UPDATE)->isVisible() || panel.Control(IDC_PRESET_UPDATE)->isEnabled());

    bool opened = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { opened = opened || dialog.isVisible(); });
    watch.start(1);
    QTest::mouseClick(panel.Control(IDC_BEGIN_UPDATE), Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_FALSE(opened);
    EXPECT_EQ(messages.Texts(), Texts({"Port is not open! Please open the port!\nMake sure cable is attched and try again."}));
}

TEST(QtFileChooser, ShowsTheOpenFileDialogWithFilterSuffixAndInitialName)
{
    EXPECT_EQ(QtNameFilters("Mixer Software Update files|*.bin|").toStdString(), "Mixer Software Update files (*.bin)");
    EXPECT_EQ(QtNameFilters("Images|*.bin;*.img|All files|*|").toStdString(), "Images (*.bin *.img);;All files (*)");

    const TempUpdateFile file({1, 2, 3});
    const std::string& path = file.Path();
    const kmr::FileChooser chooser = QtFileChooser();
    for (bool accept : {true, false}) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }, 5000));
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            seen = true;
            EXPECT_EQ(dialog->nameFilters().join("|").toStdString(), "Mixer Preset Update files (*.bin)");
            EXPECT_EQ(dialog->defaultSuffix().toStdString(), "bin");
            EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
            ASSERT_EQ(dialog->selectedFiles().size(), 1);
            EXPECT_EQ(QFileInfo(dialog->selectedFiles()[0]).completeBaseName().toStdString(), "WriteFlashFile");
            if (accept) {
                dialog->selectFile(QString::fromStdString(path));
                static_cast<QDialog*>(dialog)->accept();  // as the Open button does
            } else {
                dialog->reject();
            }
        });
        const std::string answer = chooser("Mixer Preset Update files|*.bin|", "bin", "WriteFlashFile", true);
        EXPECT_TRUE(seen);
        EXPECT_EQ(answer, accept ? path : std::string());
    }

    std::string fromWorker = "unset";
    TestThread([&] {
        fromWorker = chooser("Mixer Preset Update files|*.bin|", "bin", "WriteFlashFile", true);
    }).Join(std::chrono::seconds(5));
    EXPECT_EQ(fromWorker, "") << "off the GUI thread it refuses rather than touching widgets";
}

// The chooser opens big enough to read, in the detail view with every column readable, in the
// home folder at first and then in the folder of the last file chosen through it.
TEST(QtFileChooser, OpensReadableInTheFolderOfTheLastChosenFile)
{
    EXPECT_EQ(ChooserStartFolder(""), QDir::homePath());
    EXPECT_EQ(ChooserStartFolder("/kmr-no-such-folder/WriteFlashFile.bin"), QDir::homePath());
    EXPECT_EQ(ChooserSize(QSize(1280, 900)), QSize(960, 600));
    EXPECT_EQ(ChooserSize(QSize(640, 480)), QSize(640, 480)) << "never beyond the screen";

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString name = "Amplifier_System_Update_2007-09-09.bin";
    const std::string path = QDir(folder.path()).filePath(name).toStdString();
    kmr::sim::WriteUpdateFile(path, kmr::sim::MakeSystemUpdateFile());
    EXPECT_EQ(ChooserStartFolder(path), folder.path());

    const kmr::FileChooser chooser = QtFileChooser();
    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }, 5000));
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            seen = true;
            if (opening == 0) {
                dialog->selectFile(QString::fromStdString(path));
                static_cast<QDialog*>(dialog)->accept();
                return;
            }
            EXPECT_EQ(dialog->directory().absolutePath(), folder.path()) << "the last chosen file's folder";
            const QSize available = dialog->screen()->availableGeometry().size();
            EXPECT_GE(dialog->width(), std::min(800, available.width()));
            EXPECT_GE(dialog->height(), std::min(500, available.height()));
            EXPECT_EQ(dialog->viewMode(), QFileDialog::Detail);
            auto* details = dialog->findChild<QTreeView*>("treeView");
            ASSERT_NE(details, nullptr);
            EXPECT_TRUE(details->isVisible());
            EXPECT_TRUE(QTest::qWaitFor([&] { return details->model()->rowCount(details->rootIndex()) > 0; }, 5000));
            QTest::qWait(100);  // the columns follow the rows just loaded
            QHeaderView* header = details->header();
            const QFontMetrics metrics = header->fontMetrics();
            int total = 0;
            for (int column = 0; column < header->count(); ++column) {
                if (header->isSectionHidden(column))
                    continue;
                const QString title = header->model()->headerData(column, Qt::Horizontal).toString();
                EXPECT_GE(header->sectionSize(column), metrics.horizontalAdvance(title)) << title.toStdString();
                const QModelIndex cell = details->model()->index(0, column, details->rootIndex());
                const QString shown = cell.data().toString();
                EXPECT_GE(details->visualRect(cell).width(), details->fontMetrics().horizontalAdvance(shown))
                    << title.toStdString() << ": " << shown.toStdString();
                total += header->sectionSize(column);
            }
            EXPECT_LE(total, details->viewport()->width()) << "every column in view";
            dialog->reject();
        });
        const std::string answer = chooser("Mixer Software Update files|*.bin|", "bin", "WriteFlashFile", true);
        EXPECT_TRUE(seen);
        EXPECT_EQ(answer, opening == 0 ? path : std::string());
    }
}

// Without mustExist the chooser is a Save dialog: a new name is taken, the default extension
// added, an existing file asked about; a proposed path opens in its folder with its name.
TEST(QtFileChooser, SavesUnderANewNameInTheFolderOfTheProposedPath)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string proposed = QDir(folder.path()).filePath("amp 1.txt").toStdString();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }, 5000));
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        seen = true;
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog->nameFilters().join("|").toStdString(), "Parameter files (*.txt)|All files (*)");
        EXPECT_EQ(dialog->directory().absolutePath(), folder.path());
        ASSERT_EQ(dialog->selectedFiles().size(), 1);
        EXPECT_EQ(dialog->selectedFiles()[0].toStdString(), proposed);
        dialog->selectFile("amp 2");  // a new name, typed without its extension
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    const std::string answer = QtFileChooser()("Parameter files|*.txt|All files|*|", "txt", proposed, false);
    EXPECT_TRUE(seen);
    EXPECT_EQ(answer, QDir(folder.path()).filePath("amp 2.txt").toStdString());
}

// ---- Whole updates through the windows, against the simulated amplifier ----------------------

namespace {
// The simulated amplifier on a pseudo-terminal, the program's port host opened on it and attached
// to the frame layer, all closed and detached again afterwards.
class UpdateEndToEnd : public UpdateDialogBase {
protected:
    void SetUp() override
    {
        UpdateDialogBase::SetUp();
        mainWindow.show();
        ThePortHost().SetPortSettings(1, FAST_TEST_BAUD, "N", "8", "2");
        ASSERT_NO_FATAL_FAILURE(Plug(sim));
    }
    void TearDown() override
    {
        UpdateDialogBase::TearDown();
        TheMacLayer().SetPort(nullptr);
        if (ThePortHost().IsPortOpen())
            ThePortHost().ClosePort();
        ThePortHost().SetPortDevice("");
        ThePortHost().SetDefaultSettings();
        sim.Stop();
        replug.Stop();
    }
    // Starts amp and opens the port on it with the main window's Open Port, as a user does:
    // the amplifier answers "OK" and shows its versions.
    void Plug(CAmpSimulator& amp)
    {
        std::string error;
        ASSERT_TRUE(amp.Start(&error)) << error;
        amp.Update().SetEraseTimeMs(100);
        CDlgCommOption& comm = *mainWindow.CommPanel();
        if (comm.IsOpen())
            QTest::mouseClick(comm.Control(IDC_COMM_OPEN_PORT), Qt::LeftButton);  // closes the old line
        ThePortHost().SetPortDevice(amp.SlavePath());
        QTest::mouseClick(comm.Control(IDC_COMM_OPEN_PORT), Qt::LeftButton);
        ASSERT_EQ(comm.Text(IDC_COMM_OPEN_PORT).toStdString(), "OK");
        EXPECT_EQ(comm.Text(IDC_COMM_FW_VERSION).toStdString(), "FW V: 04B30000 / V1.2.03");
        EXPECT_EQ(comm.Text(IDC_COMM_EQ_VERSION).toStdString(), "EQ V: 006903E8 / V0.1.05.J");
        // The good check goes on to read every parameter; an update can start once that ended.
        ASSERT_TRUE(QTest::qWaitFor([] { return !TheParamTransfer().IsRunning(); }, 10000));
    }
    void BeginUpdate() { QTest::mouseClick(panel.Control(IDC_BEGIN_UPDATE), Qt::LeftButton); }
    // Enables the software section, chooses path and starts; the installed handler answers.
    void StartSystemUpdate(const std::string& path)
    {
        Click(IDC_SYSTEM_ENABLE);
        chosen = path;
        Click(IDC_SYSTEM_SELECT);
        Click(IDC_SYSTEM_START);
    }
    bool StatusBecomes(const char* text, int ms = 60000)
    {
        return QTest::qWaitFor([&] { return Text(IDC_SYSTEM_STATUS) == text; }, ms);
    }
    // What a system update file puts into the amplifier: all from 0x10000 in whole blocks.
    static std::vector<std::uint8_t> Image(const std::vector<std::uint8_t>& file)
    {
        std::vector<std::uint8_t> image(file.begin() + CUpdateFile::SYSTEM_DATA_OFFSET, file.end());
        image.resize(std::size_t(U::SystemBlockCount(std::int32_t(file.size()))) * CUpdateFile::SEND_BLOCK_LEN,
                     U::PAST_END_FILL);
        return image;
    }

    CAmpSimulator sim;
    CAmpSimulator replug;  // the amplifier plugged in again
    CDlgPortSettings portSettings;
    CUpdaterDlg mainWindow{&portSettings, &dialog};
    CDlgUpdateOption& panel = *mainWindow.UpdatePanel();
};

// The program's message dialog as the message handler for one test.
class GuiMessages {
public:
    GuiMessages() : m_previous(kmr::SetMessageHandler(m_handler.Handler())) {}
    ~GuiMessages()
    {
        m_handler.Shutdown();
        kmr::SetMessageHandler(m_previous);
    }

private:
    kmr::CGuiMessageHandler m_handler;
    kmr::MessageHandler m_previous;
};

// Every text a label shows, in order, sampled on the GUI thread: a text shown for less than a
// millisecond may be missed, none is recorded out of order.
class TextLog {
public:
    TextLog(const CDialogBuilder& controls, int id)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, &controls, id] {
            const std::string text = controls.Text(id).toStdString();
            if (texts.empty() || texts.back() != text)
                texts.push_back(text);
        });
        m_timer.start(1);
    }
    Texts texts;

private:
    QTimer m_timer;
};
} // namespace

TEST_F(UpdateEndToEnd, SystemUpdateThroughTheWindowsPutsTheFileIntoTheAmplifier)
{
    GuiMessages gui;
    const auto file = SystemFile();
    const std::string path = WriteFile(file);
    TextLog status(dialog.Builder(), IDC_SYSTEM_STATUS);
    bool opened = false, warningHadCancel = false;
    std::string warning, success, statusDuringSuccess, noFile;
    WhileOpen(dialog, [&] {
        opened = QApplication::activeModalWidget() == &dialog;
        WhenMessageShown([&](CDlgMessage& m) {
            warning = MessageText(m);
            warningHadCancel = m.Control(IDCANCEL)->isVisible();
            ClickControl(m, IDOK);
        });
        StartSystemUpdate(path);
        // The update thread tells of success itself, before the final status.
        WhenMessageShownWithin(120000, [&](CDlgMessage& m) {
            success = MessageText(m);
            statusDuringSuccess = Text(IDC_SYSTEM_STATUS);
            ClickControl(m, IDOK);
        });
        ASSERT_TRUE(StatusBecomes("Status: Update OK!", 120000)) << Text(IDC_SYSTEM_STATUS);
        EXPECT_EQ(Bar(IDC_SYSTEM_PROGRESS), 100);
        EXPECT_EQ(Text(IDC_SYSTEM_PERCENT), "Tx:100%");
        // The file was closed with the run: the next start asks for it again.
        ASSERT_TRUE(RunEnded());
        EXPECT_TRUE(QTest::qWaitFor([&] { return Enabled(IDC_SYSTEM_SELECT) && Enabled(IDC_PRESET_ENABLE); }, 2000))
            << "the section can be changed again once the run has ended";
        WhenMessageShown([&](CDlgMessage& m) {
            noFile = MessageText(m);
            ClickControl(m, IDOK);
        });
        Click(IDC_SYSTEM_START);
        Click(IDCANCEL);
    });
    BeginUpdate();
    EXPECT_TRUE(opened) << "Begin Update with the port open shows the dialog modally";
    EXPECT_EQ(warning, SYSTEM_WARNING);
    EXPECT_TRUE(warningHadCancel);
    EXPECT_EQ(success, SUCCESS_TEXT);
    EXPECT_EQ(statusDuringSuccess, "Status: Verifying Data");
    EXPECT_EQ(noFile, SYSTEM_NO_FILE);

    const Texts order = {"No Software Update",   "Status: Establishing",   "Status: Erasing",
                         "Status: Writing Data", "Status: Verifying Data", "Status: Update OK!"};
    std::ptrdiff_t last = -1;
    for (const std::string& text : status.texts) {
        const std::ptrdiff_t at = std::find(order.begin(), order.end(), text) - order.begin();
        EXPECT_TRUE(at < std::ptrdiff_t(order.size()) && at > last) << "out of order or unexpected: " << text;
        last = std::max(last, at);
    }
    for (const char* phase : {"Status: Erasing", "Status: Writing Data", "Status: Verifying Data"})
        EXPECT_NE(std::find(status.texts.begin(), status.texts.end(), phase), status.texts.end()) << phase;

    EXPECT_TRUE(sim.Update().Completed()) << sim.Update().LastError();
    EXPECT_EQ(sim.Update().LastKind(), CSimUpdate::System);
    EXPECT_TRUE(sim.Update().Image() == Image(file)) << "the amplifier holds the file's image";
}

TEST_F(UpdateEndToEnd, AmplifierGoneDuringTheWritePassThenANewUpdateAfterChoosingTheFileAgain)
{
    MessageRecorder messages;
    const auto file = SystemFile();
    const std::string path = WriteFile(file);
    sim.Update().SetDisconnectAfterBlocks(300);  // the cable is pulled in the middle of the write pass
    WhileOpen(dialog, [&] {
        StartSystemUpdate(path);
        ASSERT_TRUE(StatusBecomes("Status: Write Data Error!")) << Text(IDC_SYSTEM_STATUS);
        ASSERT_TRUE(RunEnded());
        // The lost line is said once, not once per block, and the pass ends at the first
        // block that could not be sent.
        ASSERT_EQ(messages.Texts().size(), 2u);
        EXPECT_EQ(messages.Texts()[1], "Error: Can not write to " + sim.SlavePath() + ": the device is gone (Input/output error).\n"
                                       "The adapter or the cable was lost: check them, then close and open the port again.");
        EXPECT_LT(Bar(IDC_SYSTEM_PROGRESS), 10) << "the progress stops where the line was lost";
        messages.Clear();
        Click(IDC_SYSTEM_START);
        EXPECT_EQ(messages.Texts(), Texts({SYSTEM_NO_FILE}));
        Click(IDCANCEL);
    });
    BeginUpdate();
    EXPECT_FALSE(sim.Update().Completed());

    // Plugged in again and the port opened again: a new update runs to its end.
    ASSERT_NO_FATAL_FAILURE(Plug(replug));
    messages.Clear();
    WhileOpen(dialog, [&] {
        EXPECT_EQ(Text(IDC_SYSTEM_STATUS), "No Software Update");
        StartSystemUpdate(path);
        ASSERT_TRUE(StatusBecomes("Status: Update OK!")) << Text(IDC_SYSTEM_STATUS);
        Click(IDCANCEL);
    });
    BeginUpdate();
    EXPECT_EQ(messages.Texts(), Texts({SYSTEM_WARNING, SUCCESS_TEXT}));
    EXPECT_TRUE(replug.Update().Completed()) << replug.Update().LastError();
    EXPECT_TRUE(replug.Update().Image() == Image(file));
}

TEST_F(UpdateEndToEnd, ClosingTheDialogDuringTheWritePassStopsTheRun)
{
    MessageRecorder messages;
    const std::string path = WriteFile(SystemFile());
    sim.SetLineBaud(115200);  // a write pass of many seconds, as on a real line
    WhileOpen(dialog, [&] {
        StartSystemUpdate(path);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Bar(IDC_SYSTEM_PROGRESS) >= 1; }, 60000));
        ASSERT_EQ(Text(IDC_SYSTEM_STATUS), "Status: Writing Data");
        // The running update's file and section cannot be changed from its own window.
        for (int id : {IDC_SYSTEM_SELECT, IDC_SYSTEM_ENABLE, IDC_PRESET_ENABLE, IDC_PRESET_SELECT})
            EXPECT_FALSE(Enabled(id)) << id;
        chosen = WriteFile(PresetFile());
        Click(IDC_SYSTEM_SELECT);
        Click(IDC_PRESET_ENABLE);
        EXPECT_TRUE(Checked(IDC_SYSTEM_ENABLE));
        EXPECT_TRUE(TheUpdateFile().IsSystemFileOpen());
        QTest::qWait(300);
        EXPECT_EQ(Text(IDC_SYSTEM_STATUS), "Status: Writing Data") << "the run goes on";
        Click(IDCANCEL);
    });
    BeginUpdate();
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_TRUE(RunEnded(10000)) << "no thread is left";
    EXPECT_FALSE(TheUpdateProtocol().IsRunning() || TheUpdateFile().IsSystemFileOpen());
    EXPECT_LT(sim.Update().WriteStats().blocks, unsigned(U::SystemBlockCount(246464))) << "stopped within the pass";
    EXPECT_FALSE(sim.Update().Completed());
    EXPECT_EQ(messages.Texts(), Texts({SYSTEM_WARNING})) << "no error message for a stop";
    QTest::qWait(50);
    EXPECT_EQ(Text(IDC_SYSTEM_STATUS), "Status: Writing Data") << "the run's last post found no window";
}
