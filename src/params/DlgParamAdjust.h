#pragma once
// The Parameters Adjust panel (template 106): a row of eight page buttons over a frame in which
// exactly one of the eight parameter pages is visible. It creates the pages and switches
// between them; the selected page's button is drawn in colour style 1, the others in style 0.
//
// Threads: GUI thread only.
#include "params/DlgPA.h"
#include "res/DialogBuilder.h"

#include <QWidget>
#include <array>
#include <memory>

class CColorButton;

class CDlgParamAdjust : public QWidget {
    Q_OBJECT
public:
    static constexpr int PAGE_COUNT_SHOWN = 8;
    // Show order: Input, Output, EQ, Page In, Direct In, Limiter, Miscellaneous, Signal Thr.
    static constexpr std::array<int, PAGE_COUNT_SHOWN> PAGE_TEMPLATES = {107, 108, 109, 110, 111, 112, 113, 114};
    // The order in which the pages are created and placed.
    static constexpr std::array<int, PAGE_COUNT_SHOWN> CREATION_ORDER = {111, 109, 107, 112, 108, 110, 113, 114};

    // Builds the panel on parent with its eight pages, and shows the Input page. mode and
    // transfer are handed to the pages (CDlgPA).
    CDlgParamAdjust(QWidget* parent, CDlgPA::ModeSource mode, CParamTransfer& transfer);

    // Shows page n (show order) and hides the others; button n gets colour style 1, the others 0.
    void ShowPage(int n);
    // The page at show index n, and its button.
    CDlgPA* Page(int n) const { return m_pages[static_cast<std::size_t>(n)]; }
    CColorButton* Button(int n) const { return m_buttons[static_cast<std::size_t>(n)]; }

    QWidget* Control(int id) const { return m_controls.Control(id); }
    const CDialogBuilder& Builder() const { return m_controls; }

private:
    CDialogBuilder m_controls;
    std::array<CColorButton*, PAGE_COUNT_SHOWN> m_buttons{};
    std::array<CDlgPA*, PAGE_COUNT_SHOWN> m_pages{};  // children of this panel
};
