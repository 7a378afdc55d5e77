// A user stepping a parameter slider with the keyboard through 24 steps (Input 1 Bass from its
// lowest to its highest label) on the Input page, the port open on the simulated amplifier on a
// line paced both ways at 56000 baud: each step is one write, as the program sends it. Printed:
// the time per step and the writes per second, against the floor of one write exchange on the
// wire plus the two fixed 30 ms pauses after an acknowledged write (the protocol's and the
// page's). With the answers held by a 1 ms latency timer (a low-latency adapter) and by a 16 ms
// one (a common default). Runs on the offscreen platform.
#include "PacedLine.h"
#include "controls/Slider.h"
#include "params/DlgPA.h"
#include "params/DlgParamAdjust.h"
#include "params/ParamTransfer.h"
#include "platform/MessageBox.h"
#include "protocol/NormalMessages.h"

#include <QApplication>
#include <QKeyEvent>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kSteps = 24;
constexpr double kStepFloorMs = bench::kExchangeMs + CProtocolAppNormal::WRITE_PAUSE_MS + CDlgPA::SEND_PAUSE_MS;
constexpr int kBassSlider = 1109;

void BenchLine(unsigned latencyMs, CDlgParamAdjust& adjust)
{
    bench::PacedLine line(latencyMs);
    if (!line.IsOpen())
        return;
    auto* slider = adjust.Page(0)->Builder().Control<CSlider>(kBassSlider);
    slider->SetStep(0);
    adjust.Page(0)->SaveOneParam(TheParamTable().GetRecord(PAGE_INPUT, 0));
    line.sim.ClearReceived();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kSteps; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
        QApplication::sendEvent(slider, &press);
    }
    const double ms = bench::Ms(std::chrono::steady_clock::now() - start);
    int writes = 0;
    for (const auto& p : line.sim.Received())
        writes += p[0] == normal::CMD_WRITE_PARAMS;
    std::printf("latency %u ms: %d writes, slider at step %d (\"%s\")\n", latencyMs, writes, slider->GetStep(),
                qPrintable(slider->ValueText()));
    bench::PrintAgainstFloor("24 steps", ms, kSteps * kStepFloorMs, kSteps, "a step");
    std::printf("  %.1f ms a step, %.2f writes a second (floor %.1f ms, %.2f a second)\n", ms / kSteps,
                writes * 1000.0 / ms, kStepFloorMs, 1000.0 / kStepFloorMs);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    kmr::SetMessageHandler([](const std::string&, bool) { return kmr::MSG_OK; });
    QWidget window;
    CDlgParamAdjust adjust(&window, [] { return 0; }, TheParamTransfer());
    window.show();
    std::printf("slider steps on the Input page, line paced both ways at 56000 baud 8N2\n");
    BenchLine(1, adjust);
    BenchLine(16, adjust);
    return 0;
}
