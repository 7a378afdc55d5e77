#pragma once
// The Communication panel (template 105), a child panel of the main window: it sets up the
// program's port host, lets the user choose the port, opens and closes the port, checks that the
// amplifier answers, shows the firmware and EQ versions it reports, and shows the first bytes of
// the last frame sent and received.
//
// It is the one receiver of the frame layer's WM_MAC_FRAME_MSG notifications: code 0 (a frame
// sent) and 16 (a frame received) update the "Tx:" and "Rx:" lines; every other code is ignored.
//
// Threads: GUI thread only. Open Port waits for the amplifier inside the click, as the program's
// other short exchanges do. Notifications may be posted from any thread; they are handled here,
// on the GUI thread, in the order posted.
#include "platform/Messages.h"
#include "res/DialogBuilder.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class CDlgPortSettings;
namespace kmr {
class CQtMessageTarget;
}

class CDlgCommOption : public QWidget {
    Q_OBJECT
public:
    // Pause after opening the port, before the connection check.
    static constexpr unsigned OPEN_SETTLE_MS = 100;
    // Pause after the connection check, before the version reads; and again before the
    // parameter read that follows a good check.
    static constexpr unsigned CHECK_PAUSE_MS = 30;
    // Shown when the first step of the connection check gets no answer.
    static constexpr const char* NOT_CONNECTED_TEXT =
        "Port is not open! Please open the port!\nMake sure cable is attched and try again.";

    // Builds the panel on parent (placed by the parent afterwards) and initialises it: the open
    // and connected flags 0; the program's port host (ThePortHost) closed and back at its
    // default settings, and attached to the frame layer (TheMacLayer) as its port; the labels
    // "Rx:", "Tx:" and the settings line "COM1,56000,8,2"; this panel the target of the frame
    // layer's notifications. portSettings is the dialog that Port Settings opens; it must
    // outlive the panel.
    CDlgCommOption(QWidget* parent, CDlgPortSettings* portSettings);
    // Closes the port if it is open and detaches the port host and this panel from the frame
    // layer. Anything that still uses the port (an update in progress) must be stopped first.
    ~CDlgCommOption() override;
    CDlgCommOption(const CDlgCommOption&) = delete;
    CDlgCommOption& operator=(const CDlgCommOption&) = delete;

    // 1 from a press of Open Port that opened (or tried to open) the port until the press that
    // closes it; 0 otherwise. The port host's IsPortOpen says whether the port really is open.
    int IsOpen() const { return m_open; }
    // 1 while the last connection check succeeded (the amplifier answered); cleared on close.
    // Other panels refuse their amplifier operations while it is 0.
    int IsConnected() const { return m_connected; }

    // What runs after a fully good connection check and version read, 30 ms after them: the
    // Parameter Option panel's read of the mixer parameters (ReadMixerParams). The application
    // sets it once that panel exists; while none is set nothing runs there.
    void SetReadMixerParams(std::function<void()> readMixerParams) { m_readMixerParams = std::move(readMixerParams); }

    // Where WM_MAC_FRAME_MSG for this panel goes (the frame layer already has it). Other senders
    // of the notification (the parameter pages' codes 1 and 5) post to it; it lives as long as
    // the panel, and posts after that are dropped.
    MessageTargetPtr FrameMsgTarget() const;

    // The text of the settings line: port name, baud rate, data bits and stop bits joined with
    // ",", e.g. "COM1,56000,8,2". Parity is not shown.
    static QString SettingsText(const std::string& portName, const std::string& baud, const std::string& dataBits,
                                const std::string& stopBits);
    // The first four payload bytes as a frame line shows them: "01 02 , 03 04 " for value
    // 0x01020304 (highest byte first, each byte followed by a blank, the pairs split by ", ").
    static QString FrameBytesText(LPARAM value);

    // The control with id (res/Resource.h), and its text.
    QWidget* Control(int id) const { return m_controls.Control(id); }
    QString Text(int id) const { return m_controls.Text(id); }

private:
    void OnPortSettings();
    void OnOpenPort();
    void OpenAndCheck();
    void Close();
    void ShowVersions();
    void OnMacFrameMsg(unsigned msg, WPARAM code, LPARAM value);
    void SetOpenPortStyle(int style);

    CDialogBuilder m_controls;
    CDlgPortSettings* m_portSettings;
    int m_open = 0;
    int m_connected = 0;
    bool m_busy = false;  // an Open Port press is being handled
    std::function<void()> m_readMixerParams;
    std::shared_ptr<kmr::CQtMessageTarget> m_frameTarget;
};
