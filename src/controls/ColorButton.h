#pragma once
// The program's own push button: a flat coloured face inside a five-line shaded border with the
// caption centred, a red caption when the mouse first comes over it, and three colour styles.
//
// Looks:
//   normal    face faceColour; outline k (k = 0 outermost .. 4) in borderColour minus 10*k;
//             caption in textColour
//   focused   (has the keyboard focus) face (143, 187, 99); outline k in faceColour plus 10*k;
//             caption black
//   disabled  face disabledColour with a black outline; caption black
//   hover     the first paint after the mouse enters draws the caption red over the normal look
//             (never over the focused look); leaving repaints the normal look
// Colour components are 8-bit: adding or subtracting 10*k wraps modulo 256.
//
// The accessible role stays that of a push button, named by its caption.
// Threads: GUI thread only.
#include <QColor>
#include <QPushButton>

class CColorButton : public QPushButton {
    Q_OBJECT
public:
    // The shaded border's width in pixels (its five outlines); the caption belongs inside it.
    static constexpr int BORDER_WIDTH = 5;

    explicit CColorButton(QWidget* parent = nullptr);
    CColorButton(const QString& caption, QWidget* parent = nullptr);

    // Style 0, 1 or 2 sets the colours below; any other value shows "CColorButton::SetColorStyle
    // error: no this color style!" in the message dialog and keeps the colours. The button is
    // repainted in every case.
    //   style  face             border           text   disabled
    //   0      (205, 210, 215)  (250, 200, 200)  black  (150, 150, 150)
    //   1      (143, 187, 99)   (143, 187, 99)   black  (150, 150, 150)
    //   2      (250, 200, 200)  (143, 187, 99)   black  (150, 150, 150)
    // A new button has face (192, 192, 192), border (143, 187, 99), black text and disabled
    // (150, 150, 150).
    void SetColorStyle(int style);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DrawFace(QPainter& p, const QColor& face, const QColor& outline) const;
    void DrawBorder(QPainter& p, const QColor& base, int sign) const;
    void DrawCaption(QPainter& p, const QColor& colour) const;

    QString m_text;    // the caption of the current paint
    QRect m_itemRect;  // the button rectangle of the current paint
    int m_textX = 0;   // top-left point of the caption in the current paint
    int m_textY = 0;
    bool m_hover = false;  // the mouse has just entered; cleared once the red caption is drawn
    QColor m_faceColour{192, 192, 192};
    QColor m_borderColour{143, 187, 99};
    QColor m_textColour{0, 0, 0};
    QColor m_disabledColour{150, 150, 150};
};
