// kmr6650-screenshots: drives the desktop program against the simulated amplifier on a line
// paced at 56000 baud and saves pictures of its windows as a user sees them: the main window
// after Open Port, the parameter editor's window (kmr6650-tool --editor) with the values read,
// the update dialog in the middle of a system update, the About box, the message dialog with a
// long open failure, and the update file chooser. Run it under an X server
// (scripts/screenshots.sh starts Xvfb); the windows are taken from the screen.
//   kmr6650-screenshots OUTPUT_DIR
#include "AmpSimulator.h"
#include "DriveWindows.h"
#include "UpdateFileMaker.h"
#include "app/DlgCommOption.h"
#include "app/UpdaterApp.h"
#include "app/UpdaterDlg.h"
#include "controls/ColorButton.h"
#include "params/DlgParamAdjust.h"
#include "link/MSCommDlg.h"
#include "link/SerialError.h"
#include "params/ParamTransfer.h"
#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "qtplatform/DlgMessage.h"
#include "qtplatform/QtFileChooser.h"
#include "res/Resource.h"
#include "update/DlgUpdate.h"
#include "update/DlgUpdateOption.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

using drive::Click;
using drive::WaitFor;


bool Save(QWidget* window, const QString& path)
{
    WaitFor([] { return false; }, 300);  // let the window finish painting
    const QPixmap shot = window->screen()->grabWindow(window->winId());
    const bool ok = !shot.isNull() && shot.save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED to save", qPrintable(path));
    return ok;
}


} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kmr6650-screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    const std::string file = QDir::temp().filePath("WriteFlashFile.bin").toStdString();
    kmr::sim::WriteUpdateFile(file, kmr::sim::MakeSystemUpdateFile());

    CAmpSimulator sim;
    sim.SetLineBaud(56000);
    sim.Update().SetEraseTimeMs(1200);
    // An amplifier that has been set up: some tones and AGC settings away from their defaults.
    for (const auto& [address, value] : {std::pair{0x3000, 16}, {0x3006, 9}, {0x3002, 14}, {0xB000, 1}, {0xB005, 24}, {0xB00A, 6}})
        sim.SetParam(address, value);
    if (!sim.Start())
        return 1;
    setenv("KMR6650_COM1", sim.SlavePath().c_str(), 1);

    QApplication qapp(argc, argv);
    CUpdaterApp app(EditorPlacement::Window);
    // Answer the update warning as a user who goes ahead would, and choose the file made above.
    kmr::SetMessageHandler([](const std::string&, bool) { return kmr::MSG_OK; });
    kmr::SetFileChooser([file](const std::string&, const std::string&, const std::string&, bool) { return file; });

    CUpdaterDlg& main = app.MainWindow();
    main.show();
    WaitFor([&] { return main.isVisible(); }, 5000);
    CDlgCommOption* comm = main.CommPanel();
    Click(comm->Control(IDC_COMM_OPEN_PORT));
    bool ok = WaitFor([&] { return comm->Text(IDC_COMM_OPEN_PORT) == "OK"; }, 5000);
    // A good check goes on to read every parameter; the line is free again when that has ended.
    WaitFor([] { return !TheParamTransfer().IsRunning(); }, 10000);
    ok = ok && Save(&main, QDir(out).filePath("main-window.png"));
    // The parameter editor, as kmr6650-tool --editor shows it, with the values just read.
    main.ShowEditor();
    WaitFor([&] { return main.EditorWindow()->isVisible(); }, 5000);
    const std::pair<int, const char*> pages[] = {
        {0, "editor-input.png"},   {1, "editor-output.png"},  {2, "editor-eq.png"},   {3, "editor-page-in.png"},
        {4, "editor-direct-in.png"}, {5, "editor-limiter.png"}, {6, "editor-misc.png"}, {7, "editor-signal-thr.png"},
    };
    for (const auto& [page, name] : pages) {
        Click(main.AdjustPanel()->Button(page));
        ok = ok && Save(main.EditorWindow(), QDir(out).filePath(name));
    }
    Click(main.AdjustPanel()->Button(0));
    main.EditorWindow()->hide();

    CDlgUpdate& dialog = app.UpdateDialog();
    QTimer::singleShot(0, [&] {
        // Inside the update dialog's modal loop.
        WaitFor([&] { return dialog.isVisible(); }, 5000);
        Click(dialog.Control(IDC_SYSTEM_ENABLE));
        Click(dialog.Control(IDC_SYSTEM_SELECT));
        Click(dialog.Control(IDC_SYSTEM_START));
        auto* bar = qobject_cast<QProgressBar*>(dialog.Control(IDC_SYSTEM_PROGRESS));
        auto* status = qobject_cast<QLabel*>(dialog.Control(IDC_SYSTEM_STATUS));
        ok = ok && WaitFor([&] { return status->text() == "Status: Writing Data" && bar->value() >= 35; }, 120000);
        ok = ok && Save(&dialog, QDir(out).filePath("update-dialog.png"));
        dialog.reject();  // Exit: stops the update
    });
    Click(main.UpdatePanel()->Control(IDC_BEGIN_UPDATE));

    // The About box, as F1 shows it.
    {
        CAboutDlg about(&main);
        about.show();
        WaitFor([&] { return about.isVisible(); }, 5000);
        ok = ok && Save(&about, QDir(out).filePath("about-box.png"));
    }
    // The message dialog with an open failure that names the adapter by its long by-id path.
    {
        const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
        CDlgMessage message;
        message.SetText(kmr::SerialErrorFrom(kmr::SerialError::Open, "COM1 (" + byId + ")", ENOENT, "KMR6650_COM1").Text());
        message.show();
        WaitFor([&] { return message.isVisible(); }, 5000);
        ok = ok && Save(&message, QDir(out).filePath("message-open-failure.png"));
    }
    // The update file chooser, as "Select File" shows it the second time: in the folder of the
    // file chosen the first time.
    {
        QTemporaryDir folder;
        const QString chosen = QDir(folder.path()).filePath("WriteFlashFile.bin");
        kmr::sim::WriteUpdateFile(chosen.toStdString(), kmr::sim::MakeSystemUpdateFile());
        kmr::sim::WriteUpdateFile(QDir(folder.path()).filePath("EQPresets.bin").toStdString(),
                                  kmr::sim::MakePresetUpdateFile());
        const kmr::FileChooser chooser = QtFileChooser();
        for (int opening = 0; opening < 2; ++opening) {
            QTimer::singleShot(0, [&] {
                // Inside the file dialog's modal loop.
                QFileDialog* files = nullptr;
                WaitFor([&] { return (files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); }, 5000);
                if (!files)
                    return;
                if (opening == 0) {
                    files->selectFile(chosen);
                    static_cast<QDialog*>(files)->accept();
                    return;
                }
                WaitFor([] { return false; }, 500);  // the folder's files listed
                ok = ok && Save(files, QDir(out).filePath("file-chooser.png"));
                files->reject();
            });
            chooser("Mixer Software Update files|*.bin|", "bin", "WriteFlashFile", true);
        }
    }
    main.close();
    app.Shutdown();
    sim.Stop();
    std::remove(file.c_str());
    return ok ? 0 : 1;
}
