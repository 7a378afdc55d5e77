#include "controls/ColorButton.h"

#include "platform/MessageBox.h"

#include <QEnterEvent>
#include <QPainter>
#include <cstdint>
#include <iterator>

namespace {
const QColor FOCUS_FACE(143, 187, 99);
const QColor HOVER_TEXT(255, 0, 0);
const QColor PLAIN_TEXT(0, 0, 0);
constexpr int BORDER_STEP = 10;  // colour change per line, inwards

// One 8-bit component plus delta, wrapped modulo 256 like the device colours it stands for.
int Wrap(int component, int delta)
{
    return static_cast<std::uint8_t>(component + delta);
}

QColor Shifted(const QColor& c, int delta)
{
    return QColor(Wrap(c.red(), delta), Wrap(c.green(), delta), Wrap(c.blue(), delta));
}

struct ColorStyle {
    QColor face, border, text, disabled;
};
const ColorStyle STYLES[] = {
    {{205, 210, 215}, {250, 200, 200}, {0, 0, 0}, {150, 150, 150}},
    {{143, 187, 99}, {143, 187, 99}, {0, 0, 0}, {150, 150, 150}},
    {{250, 200, 200}, {143, 187, 99}, {0, 0, 0}, {150, 150, 150}},
};
} // namespace

CColorButton::CColorButton(QWidget* parent) : CColorButton(QString(), parent)
{
}

CColorButton::CColorButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    setAttribute(Qt::WA_Hover, false);  // the hover look is this button's own, not the style's
}

void CColorButton::SetColorStyle(int style)
{
    if (style >= 0 && style < static_cast<int>(std::size(STYLES))) {
        const ColorStyle& s = STYLES[style];
        m_faceColour = s.face;
        m_borderColour = s.border;
        m_textColour = s.text;
        m_disabledColour = s.disabled;
    } else {
        kmr::ShowMessage("CColorButton::SetColorStyle error: no this color style!");
    }
    update();
}

// Fills the whole button with face, outlined one pixel wide in outline.
void CColorButton::DrawFace(QPainter& p, const QColor& face, const QColor& outline) const
{
    p.fillRect(m_itemRect, face);
    p.setPen(outline);
    p.setBrush(Qt::NoBrush);
    p.drawRect(m_itemRect.adjusted(0, 0, -1, -1));
}

// Five one-pixel outlines from the edge inwards, line k in base with sign*10*k added.
void CColorButton::DrawBorder(QPainter& p, const QColor& base, int sign) const
{
    p.setBrush(Qt::NoBrush);
    for (int k = 0; k < BORDER_WIDTH; ++k) {
        p.setPen(Shifted(base, sign * BORDER_STEP * k));
        // A one-pixel outline of a QRect covers its width plus one: the line runs over the
        // columns left + k to right - k - 1 of the button rectangle.
        p.drawRect(m_itemRect.adjusted(k, k, -k - 1, -k - 1));
    }
}

void CColorButton::DrawCaption(QPainter& p, const QColor& colour) const
{
    p.setPen(colour);
    p.drawText(m_textX, m_textY + p.fontMetrics().ascent(), m_text);
}

void CColorButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    m_itemRect = rect();
    m_text = text();
    const QFontMetrics metrics(font());
    const int cx = metrics.horizontalAdvance(m_text);
    const int cy = metrics.height();
    // The item rectangle's right and bottom lie one past its last pixel.
    const int right = m_itemRect.left() + m_itemRect.width();
    const int bottom = m_itemRect.top() + m_itemRect.height();
    m_textX = (m_itemRect.left() + right) / 2 - cx / 2;
    m_textY = (m_itemRect.top() + bottom) / 2 - cy / 2;

    const bool focused = hasFocus();
    if (!isEnabled()) {
        DrawFace(p, m_disabledColour, PLAIN_TEXT);
        DrawCaption(p, PLAIN_TEXT);
    } else if (focused) {
        DrawFace(p, FOCUS_FACE, FOCUS_FACE);
        DrawBorder(p, m_faceColour, +1);
        DrawCaption(p, PLAIN_TEXT);
    } else {
        DrawFace(p, m_faceColour, m_borderColour);
        DrawBorder(p, m_borderColour, -1);
        DrawCaption(p, m_textColour);
    }
    if (!focused && m_hover) {
        DrawCaption(p, HOVER_TEXT);
        m_hover = false;
    }
}

void CColorButton::enterEvent(QEnterEvent* event)
{
    // A disabled button takes no mouse input, so it never shows the red caption.
    if (isEnabled()) {
        m_hover = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void CColorButton::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    QPushButton::leaveEvent(event);
}
