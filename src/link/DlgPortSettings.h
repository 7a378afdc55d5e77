#pragma once
// The "Serial Port Settings" dialog (template 132): the port and the four line parameters as
// fixed lists, and under them a read-only line naming the device of the selected port and what
// it is ("/dev/ttyUSB0, FTDI FT232R USB UART", or "no device"). Only the port can be chosen; the baud rate, parity, data bits and stop bits lists
// are disabled and always show 56000, N, 8 and 2. One object serves the whole run and is opened
// again each time the user asks for the settings.
//
// Threads: GUI thread only.
#include "res/DialogBuilder.h"

#include <QDialog>
#include <string>

class CDlgPortSettings : public QDialog {
    Q_OBJECT
public:
    // Number of entries of the port list: COM1 to COM4, then eight empty entries.
    static constexpr int PORT_ENTRIES = 12;

    // The dialog, not yet shown; parent is the window it opens over (may be null).
    explicit CDlgPortSettings(QWidget* parent = nullptr);

    // Resets the results to COM1, 1, "56000", "N", "8", "2", fills the lists (the port list in
    // lower case: com1 ... com4 and the empty entries), opens the port list at entry
    // currentPort - 1 (the first entry when that is not a list position) and the other lists at
    // their defaults, and runs the dialog modally. Returns true when the user pressed OK: the
    // results then hold the selection. After Cancel (or Escape, or the close box) it returns
    // false and the results are the reset values, which the caller should not use. While the
    // dialog is already open, a further call changes nothing and returns false at once.
    bool DoModal(int currentPort);

    // Results of the last DoModal. The port name is the selected port entry as listed, in upper
    // case ("COM3"), empty for the empty entries; the port number is the entry's position plus 1.
    const std::string& PortName() const { return m_portName; }
    int PortNumber() const { return m_portNumber; }
    const std::string& BaudRate() const { return m_baudRate; }
    const std::string& Parity() const { return m_parity; }
    const std::string& DataBits() const { return m_dataBits; }
    const std::string& StopBits() const { return m_stopBits; }

    // The control with id (res/Resource.h), for tests and for reading the dialog's state.
    QWidget* Control(int id) const { return m_controls.Control(id); }

private:
    void LabelLists();
    void ResetResults();
    void FillLists(int currentPort);
    void OnOK();
    void ShowDevice(int entry);

    CDialogBuilder m_controls;
    std::string m_portName;
    int m_portNumber = 1;
    std::string m_baudRate;
    std::string m_parity;
    std::string m_dataBits;
    std::string m_stopBits;
};
