#pragma once
// Turns a dialog template (res/DialogTemplate.h) into Qt widgets placed at fixed positions on a
// host window, and hands out the controls by id afterwards.
//
// Dialog units become pixels as the template's font measures them: the base unit across is the
// average width of the 52 letters A-Z and a-z, rounded; the base unit down is the font's
// character height; x pixels = x * base across / 4 and y pixels = y * base down / 8, each rounded
// to the nearest pixel. Every control gets its caption as its accessible name, so that assistive
// technology sees the control's real role with its name.
//
// Threads: GUI thread only. The controls are children of the host and die with it; a builder is
// meant to be a member of its host window.
#include "res/DialogTemplate.h"

#include <QRect>
#include <QString>
#include <map>

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
    // edit box keeps its name. A missing id does nothing.
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

private:
    QWidget* CreateControl(const ControlTemplate& c, QWidget* host) const;
    void ApplyWindowStyle(QWidget* host) const;

    DialogTemplate m_template;
    int m_baseX = 1;
    int m_baseY = 1;
    std::map<int, QWidget*> m_controls;
};
