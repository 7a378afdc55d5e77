#pragma once
// Turns a dialog template (res/DialogTemplate.h) into Qt widgets placed at fixed positions on a
// host window, and hands out the controls by id afterwards.
//
// The templates name Windows fonts; a window gets the Debian font that stands in for its
// template's (StandInFamily). Dialog units become pixels as that font measures them: the base
// unit across is the average width of the 52 letters A-Z and a-z, rounded; the base unit down is
// the font's character height; x pixels = x * base across / 4 and y pixels = y * base down / 8,
// each rounded to the nearest pixel. Every control gets its caption as its accessible name, so
// that assistive technology sees the control's real role with its name.
//
// A text that does not fit its control in the font really used (a caption, a drop-down list's
// entry) makes the control grow, never anything else move: it widens into the free room beside
// it (to the right of a left-aligned text, to both sides of a centred one), and a label then
// grows down, but never over another control or out of the frame it lies in (the group box
// around it, or the window). Each line of a label is one character height high.
//
// Threads: GUI thread only. The controls are children of the host and die with it; a builder is
// meant to be a member of its host window.
#include "res/DialogTemplate.h"

#include <QRect>
#include <QString>
#include <map>
#include <string>
#include <vector>

class QFont;
class QWidget;

class CDialogBuilder {
public:
    // Builds tmpl on host: sets the host's font, caption and client size (a window that is not
    // a child panel also gets its frame from the dialog style and a size the user cannot
    // change), and creates each control in template order, which is also the tab order.
    CDialogBuilder(const DialogTemplate& tmpl, QWidget* host);
    // Builds the program's template with number (res/Templates.h). A number without a template
    // is a programming error: the program stops with a message naming the number.
    CDialogBuilder(int templateNumber, QWidget* host);
    CDialogBuilder(const CDialogBuilder&) = delete;
    CDialogBuilder& operator=(const CDialogBuilder&) = delete;

    // The control with id, or null if the template has none (IDC_NONE never has one).
    QWidget* Control(int id) const;
    // The control with id as a T, or null if there is none or it is not a T.
    template <class T>
    T* Control(int id) const
    {
        return dynamic_cast<T*>(Control(id));
    }

    // Puts text into control id: a label's or button's text, a group box's caption, an edit
    // box's contents. The accessible name of a captioned control follows its new text; an
    // edit box keeps its name. The control takes its template place again, grown if the new text
    // needs it. A missing id does nothing.
    void SetText(int id, const QString& text) const;
    // The text of control id as SetText puts it; empty for a missing id or a control without text.
    QString Text(int id) const;

    // The template's font base units in pixels.
    int BaseUnitX() const { return m_baseX; }
    int BaseUnitY() const { return m_baseY; }
    // Dialog units to pixels with those base units.
    QRect ToPixels(int x, int y, int w, int h) const;

    const DialogTemplate& Template() const { return m_template; }

    // Base units of font: the rounded average width of the 52 letters, and the character height.
    static void BaseUnits(const QFont& font, int* baseX, int* baseY);
    // The Debian font family that stands in for a template's Windows font: the metric-compatible
    // Liberation Serif for "Times New Roman" and Liberation Sans for "Arial"; for "MS Sans Serif"
    // Liberation Sans too, the closest in base units (6 x 12 pixels at 8 points, against the
    // 6 x 13 the templates were laid out in; DejaVu Sans, fontconfig's own choice, is 7 x 13 and
    // pushes the widest page out of its frame); for "Verdana" DejaVu Sans, whose 7 x 13 are
    // Verdana's own. Any other family is asked for as it is.
    static QString StandInFamily(const std::string& family);
    // Where control w draws its text at its present size: a label's contents, a push button's,
    // check box's or radio button's text area as the style lays it out, a colour button's face
    // inside its border, a drop-down list's text field.
    static QRect TextRoom(const QWidget& w);

private:
    QWidget* CreateControl(const ControlTemplate& c, QWidget* host, QRect* place) const;
    void ApplyWindowStyle(QWidget* host) const;
    // Puts control n of the template at its template place, grown where its text needs it.
    void FitText(std::size_t n) const;
    // The rectangle control n may grow in: its frame (the innermost group box around its place,
    // or the window), less the other controls beside it within rows (across) or columns (down).
    QRect GrowthLimits(std::size_t n, const QRect& place, Qt::Orientation along) const;

    DialogTemplate m_template;
    QWidget* m_host;
    int m_baseX = 1;
    int m_baseY = 1;
    std::map<int, QWidget*> m_controls;
    std::vector<QWidget*> m_created;  // control n of the template
    std::vector<QRect> m_places;      // its place as the template has it, in pixels
};
