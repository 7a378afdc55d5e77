#include "qtplatform/DlgProgress.h"

#include "controls/ColorScheme.h"
#include "res/Resource.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <algorithm>

CDlgProgress::CDlgProgress()
    : QDialog(nullptr), m_controls(IDD_PROGRESS, this), m_progress(m_controls.Control<QProgressBar>(IDC_PROGRESS_BAR))
{
    CColorScheme::Apply(this, TheColorScheme().whiteBrush, Qt::black);
}

void CDlgProgress::PlaceOver(const QRect& mainWindow)
{
    const int w = mainWindow.width();
    const int h = mainWindow.height();
    move(mainWindow.left() + w / 4, mainWindow.top() + h / 4);
    setFixedSize(w / 2, h / 3);
}

void CDlgProgress::SetProgress(int position)
{
    // A position outside the range shows at the nearest end rather than being ignored.
    m_progress->setValue(std::clamp(position & 0xFF, m_progress->minimum(), m_progress->maximum()));
    if (position == DONE) {
        hide();
        deleteLater();
    }
}

void CDlgProgress::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
