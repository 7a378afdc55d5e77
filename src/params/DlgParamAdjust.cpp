#include "params/DlgParamAdjust.h"

#include "controls/ColorButton.h"
#include "controls/ColorScheme.h"
#include "params/ParamPages.h"
#include "res/Resource.h"

#include <algorithm>

namespace {
// The page buttons in show order.
constexpr std::array<int, CDlgParamAdjust::PAGE_COUNT_SHOWN> PAGE_BUTTONS = {
    IDC_PA_INPUT, IDC_PA_OUTPUT, IDC_PA_EQ, IDC_PA_PAGE_IN, IDC_PA_DIRECT_IN, IDC_PA_LIMITER, IDC_PA_MISC, IDC_PA_SIGNAL_THR,
};
} // namespace

CDlgParamAdjust::CDlgParamAdjust(QWidget* parent, CDlgPA::ModeSource mode, CParamTransfer& transfer)
    : QWidget(parent), m_controls(IDD_PARAM_ADJUST, this)
{
    const CColorScheme& scheme = TheColorScheme();
    CColorScheme::Apply(this, scheme.lightBrush, scheme.white);
    for (int n = 0; n < PAGE_COUNT_SHOWN; ++n) {
        m_buttons[n] = m_controls.Control<CColorButton>(PAGE_BUTTONS[n]);
        connect(m_buttons[n], &QAbstractButton::clicked, this, [this, n] { ShowPage(n); });
    }
    // Every page lies exactly over the frame; whatever of a page reaches past it is cut off.
    const QRect frame = Control(IDC_PA_FRAME)->geometry();
    for (int number : CREATION_ORDER) {
        const auto at = std::find(PAGE_TEMPLATES.begin(), PAGE_TEMPLATES.end(), number) - PAGE_TEMPLATES.begin();
        CDlgPA* page = CreateParamPage(number, this, mode, transfer);
        page->setGeometry(frame);
        m_pages[static_cast<std::size_t>(at)] = page;
    }
    ShowPage(0);
}

void CDlgParamAdjust::ShowPage(int n)
{
    for (int i = 0; i < PAGE_COUNT_SHOWN; ++i) {
        m_pages[i]->setVisible(i == n);
        m_buttons[i]->SetColorStyle(i == n ? 1 : 0);
    }
}
