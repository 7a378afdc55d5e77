// A long day at the bench in one desktop program instance: preset updates back to back through
// the real windows, as a user does them (Begin Update, Enable, Select File in the file dialog,
// Start Update, OK to the warning, OK to the success message, Exit), against the simulated
// amplifier. Prints the program's resident size and the heap in use after the warm-up updates
// and after the rest; a program that does not grow ends within 1 MB of where it started.
//   bench_memory [WARMUP [UPDATES]]      (default 5 and 100)
#include "AmpSimulator.h"
#include "DriveWindows.h"
#include "UpdateFileMaker.h"
#include "app/DlgCommOption.h"
#include "app/UpdaterApp.h"
#include "app/UpdaterDlg.h"
#include "link/MSCommDlg.h"
#include "params/ParamTransfer.h"
#include "protocol/ProtocolAppUpdate.h"
#include "res/Resource.h"
#include "qtplatform/DlgMessage.h"
#include "update/DlgUpdate.h"
#include "update/DlgUpdateOption.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <string>
#include <unistd.h>

namespace {

using drive::Click;
using drive::WaitFor;



long ResidentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

struct Figures {
    long residentKb;
    long heapKb;
    int fds;
};

Figures Measure()
{
    QCoreApplication::processEvents();  // deferred deletions happen here
    int fds = 0;
    for (int fd = 0; fd < 4096; ++fd)
        fds += fcntl(fd, F_GETFD) != -1;
    return {ResidentKb(), static_cast<long>(mallinfo2().uordblks / 1024), fds};
}

// Answers the program's own dialogs as a user would: OK to every message, and the chosen file
// in the file dialog.
void AnswerDialogs(const std::string& file)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [file] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* message = qobject_cast<CDlgMessage*>(modal)) {
            Click(message->Control(IDOK));
        } else if (auto* chooser = qobject_cast<QFileDialog*>(modal)) {
            // The path typed into the name box, then Open, as a person does.
            if (auto* name = chooser->findChild<QLineEdit*>("fileNameEdit")) {
                name->setText(QString::fromStdString(file));
                static_cast<QDialog*>(chooser)->accept();
            }
        }
    });
    timer->start(20);
}

} // namespace

int main(int argc, char** argv)
{
    const int warmup = argc > 1 ? std::atoi(argv[1]) : 5;
    const int updates = argc > 2 ? std::atoi(argv[2]) : 100;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string file = "/tmp/kmr-bench-memory-" + std::to_string(getpid()) + ".bin";
    kmr::sim::WriteUpdateFile(file, kmr::sim::MakePresetUpdateFile());

    CAmpSimulator sim;
    sim.Update().SetEraseTimeMs(100);
    if (!sim.Start())
        return 1;
    setenv("KMR6650_COM1", sim.SlavePath().c_str(), 1);

    QApplication qapp(argc, argv);
    CUpdaterApp app;
    // A fast line, so that the run is mostly the sequence's own fixed pauses.
    ThePortHost().SetPortSettings(1, "3000000", "N", "8", "2");
    CUpdaterDlg& main = app.MainWindow();
    main.show();
    CDlgCommOption* comm = main.CommPanel();
    Click(comm->Control(IDC_COMM_OPEN_PORT));
    if (!WaitFor([&] { return comm->Text(IDC_COMM_OPEN_PORT) == "OK"; }, 5000)) {
        std::printf("Open Port failed\n");
        return 1;
    }
    // A good check goes on to read every parameter; the line is free again when that has ended.
    WaitFor([] { return !TheParamTransfer().IsRunning(); }, 10000);
    AnswerDialogs(file);

    CDlgUpdate& dialog = app.UpdateDialog();
    int done = 0;
    bool ok = true;
    Figures start{}, end{};
    for (int i = 0; i < warmup + updates && ok; ++i) {
        if (i == warmup)
            start = Measure();
        QTimer::singleShot(0, [&] {  // inside the update dialog's modal loop
            ok = WaitFor([&] { return dialog.isVisible(); }, 5000);
            Click(dialog.Control(IDC_PRESET_ENABLE));
            Click(dialog.Control(IDC_PRESET_SELECT));
            Click(dialog.Control(IDC_PRESET_START));
            auto* status = qobject_cast<QLabel*>(dialog.Control(IDC_PRESET_STATUS));
            ok = ok && WaitFor([&] { return status->text() == "Status: Update OK!"; }, 20000);
            if (!ok)
                std::printf("update %d: status \"%s\"\n", i, qPrintable(status->text()));
            ok = ok && WaitFor([] { return !TheUpdateProtocol().ThreadsAlive(); }, 5000);
            dialog.reject();  // Exit
        });
        Click(main.UpdatePanel()->Control(IDC_BEGIN_UPDATE));
        done += ok;
    }
    end = Measure();
    std::printf("%d preset updates through the windows in one instance (%d warm-up, %d measured)%s\n", done, warmup,
                updates, ok ? "" : " - STOPPED: an update did not end with \"Status: Update OK!\"");
    std::printf("  after the warm-up:  resident %6ld kB, heap in use %6ld kB, %d descriptors\n", start.residentKb,
                start.heapKb, start.fds);
    std::printf("  after %3d more:    resident %6ld kB, heap in use %6ld kB, %d descriptors\n", updates, end.residentKb,
                end.heapKb, end.fds);
    std::printf("  growth: resident %+ld kB, heap %+ld kB (%.1f kB an update); target within 1024 kB\n",
                end.residentKb - start.residentKb, end.heapKb - start.heapKb,
                updates > 0 ? double(end.heapKb - start.heapKb) / updates : 0.0);
    main.close();
    app.Shutdown();
    sim.Stop();
    std::remove(file.c_str());
    return ok ? 0 : 1;
}
