#pragma once
// The connection progress window (dialog 144, "Connection Progress"): a modeless window with a
// text and a progress bar, shown while a worker writes or reads all parameters. Its hidden OK and
// Cancel leave the user no way to close it: it closes itself when the bar reaches 100.
//
// Lifetime: create it with new; SetProgress(100) hides it and deletes it once control returns to
// the event loop. Keep it in a QPointer, which becomes null then.
// Threads: GUI thread only; workers report progress by posted messages.
#include "res/DialogBuilder.h"

#include <QDialog>

class QProgressBar;

class CDlgProgress : public QDialog {
    Q_OBJECT
public:
    static constexpr int DONE = 100;  // the position at which the window destroys itself

    // Builds the window, hidden, with no parent; the bar at 0 of 0 to 100.
    CDlgProgress();

    // Moves the window over the main window's rectangle mainWindow (frame rectangle): to
    // (left + w/4, top + h/4) with size w/2 by h/3, integer division.
    void PlaceOver(const QRect& mainWindow);

    // Sets the bar to the low 8 bits of position, held within the bar's range. Position 100
    // hides the window and deletes it when control returns to the event loop; further calls
    // until then change nothing visible.
    void SetProgress(int position);

    // The control with id (res/Resource.h), for tests and for reading the window's state.
    QWidget* Control(int id) const { return m_controls.Control(id); }

public slots:
    // Escape does not close the window.
    void reject() override {}

protected:
    // Nor does the window frame's close request.
    void closeEvent(QCloseEvent* event) override;

private:
    CDialogBuilder m_controls;
    QProgressBar* m_progress;
};
