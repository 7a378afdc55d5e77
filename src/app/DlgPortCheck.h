#pragma once
// The serial port check window of kmr6650-portcheck, the helper that the main window's Register
// button starts: it lists the serial devices, whether this account can use each, and for each
// one it cannot, why and what to do.
#include <QDialog>

class QPlainTextEdit;

class CDlgPortCheck : public QDialog {
    Q_OBJECT
public:
    explicit CDlgPortCheck(QWidget* parent = nullptr);
    // Checks the devices again and shows the findings.
    void Refresh();
    QString Findings() const;

private:
    QPlainTextEdit* m_text;
};
