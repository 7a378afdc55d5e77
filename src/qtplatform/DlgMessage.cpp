#include "qtplatform/DlgMessage.h"

#include "res/Pictures.h"
#include "res/Resource.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>

namespace {
// A grown text box is at most this many times as wide as the template's, unless one word is
// wider: long enough for a device path with its reason, short enough to read.
constexpr int GROWN_WIDTH_FACTOR = 2;

// The template place of the control with id, or of the picture called picture, in pixels.
QRect TemplatePlace(const CDialogBuilder& controls, int id, const char* picture = nullptr)
{
    for (const ControlTemplate& c : controls.Template().controls)
        if ((picture == nullptr && c.id == id) || (picture != nullptr && c.caption == picture))
            return controls.ToPixels(c.x, c.y, c.w, c.h);
    return {};
}

// Whether Qt's own word wrap, at width, ends every line of text at a space or a line break and
// keeps every line within width. Qt also breaks after '/' and '-', which would split a path; a
// text it would split is laid out by BreakAtSpaces instead. The layout is the one QLabel paints.
bool QtWrapKeepsWords(const QString& text, const QLabel& label, int width)
{
    QString laid = text;
    laid.replace('\n', QChar::LineSeparator);  // as QPainter::drawText does
    QTextLayout layout(laid, label.font(), const_cast<QLabel*>(&label));
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    bool whole = true;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        const int start = line.textStart();
        if (start > 0 && !laid.at(start - 1).isSpace())
            whole = false;
        if (line.naturalTextWidth() > width)
            whole = false;
    }
    layout.endLayout();
    return whole;
}

// text broken into lines no wider than width, only at spaces ("\n" always breaks). A word wider
// than width gets a line of its own and is never split. The spaces at a break are dropped;
// spaces elsewhere stay as they are.
QStringList BreakAtSpaces(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    for (const QString& paragraph : text.split('\n')) {
        QString line;
        qsizetype i = 0;
        while (i < paragraph.size()) {
            // One piece: the spaces before a word, then the word.
            qsizetype wordStart = i;
            while (wordStart < paragraph.size() && paragraph.at(wordStart) == ' ')
                ++wordStart;
            qsizetype wordEnd = wordStart;
            while (wordEnd < paragraph.size() && paragraph.at(wordEnd) != ' ')
                ++wordEnd;
            const QString spaces = paragraph.mid(i, wordStart - i);
            const QString word = paragraph.mid(wordStart, wordEnd - wordStart);
            i = wordEnd;
            if (word.isEmpty() || line.isEmpty() || metrics.horizontalAdvance(line + spaces + word) <= width) {
                line += spaces + word;  // trailing spaces take no room that shows
            } else {
                lines << line;
                line = word;
            }
        }
        lines << line;
    }
    return lines;
}

int WidestLine(const QStringList& lines, const QFontMetrics& metrics)
{
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

int WidestWord(const QString& text, const QFontMetrics& metrics)
{
    int widest = 0;
    for (const QString& word : text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    return widest;
}
} // namespace

CDlgMessage::CDlgMessage()
    : QDialog(nullptr), m_controls(IDD_MESSAGE, this), m_label(m_controls.Control<QLabel>(IDC_MESSAGE_TEXT)),
      m_ok(m_controls.Control<QPushButton>(IDOK)), m_cancel(m_controls.Control<QPushButton>(IDCANCEL))
{
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    const QRect bannerPlace = TemplatePlace(m_controls, IDC_NONE, "banner");
    for (QLabel* picture : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (picture != m_label && picture->geometry() == bannerPlace)
            m_banner = picture;
}

void CDlgMessage::Arrange()
{
    const QRect textPlace = TemplatePlace(m_controls, IDC_MESSAGE_TEXT);
    const QRect okPlace = TemplatePlace(m_controls, IDOK);
    const QRect cancelPlace = TemplatePlace(m_controls, IDCANCEL);
    const QRect iconPlace = TemplatePlace(m_controls, IDC_NONE, "icon");
    const QRect bannerPlace = TemplatePlace(m_controls, IDC_NONE, "banner");
    const QSize templateSize = m_controls.ToPixels(0, 0, m_controls.Template().w, m_controls.Template().h).size();

    const QString text = QString::fromStdString(m_text);
    const QFontMetrics metrics = m_label->fontMetrics();
    m_label->setAccessibleName(text);

    // In the template's text box, as the template has it.
    QStringList lines = BreakAtSpaces(text, metrics, textPlace.width());
    const int lineHeight = metrics.lineSpacing();
    const bool fits = WidestLine(lines, metrics) <= textPlace.width() &&
                      static_cast<int>(lines.size()) * lineHeight <= textPlace.height();
    if (fits) {
        if (QtWrapKeepsWords(text, *m_label, textPlace.width())) {
            m_label->setWordWrap(true);
            m_label->setText(text);
        } else {
            m_label->setWordWrap(false);
            m_label->setText(lines.join('\n'));
        }
        m_label->setGeometry(textPlace);
        setFixedSize(templateSize);
        if (m_banner) {
            m_banner->setGeometry(bannerPlace);
            m_banner->setPixmap(DrawPicture("banner", bannerPlace.size()));
        }
        m_ok->setGeometry(okPlace);
        m_cancel->setGeometry(cancelPlace);
        if (m_showCancel != 1)
            m_ok->move(LONE_OK_X, LONE_OK_Y);
        return;
    }

    // Grown: a wider text box, exactly as high as its lines (no empty band under them), with the
    // template's margins around it and the buttons under it or under the icon, whichever is lower.
    const int rightMargin = templateSize.width() - textPlace.right() - 1;
    int widest = GROWN_WIDTH_FACTOR * textPlace.width();
    if (QScreen* s = screen())
        widest = std::min(widest, s->availableGeometry().width() - textPlace.left() - rightMargin);
    widest = std::max({widest, textPlace.width(), WidestWord(text, metrics)});
    lines = BreakAtSpaces(text, metrics, widest);
    m_label->setWordWrap(false);
    m_label->setText(lines.join('\n'));
    const QSize needed = m_label->sizeHint();
    const QRect grownText(textPlace.topLeft(), QSize(std::max(textPlace.width(), needed.width()), needed.height()));
    m_label->setGeometry(grownText);

    const int buttonGap = okPlace.top() - textPlace.bottom() - 1;
    const int bannerGap = bannerPlace.top() - okPlace.bottom() - 1;
    const int buttonTop = std::max(grownText.bottom(), iconPlace.bottom()) + 1 + buttonGap;
    const int width = std::max(templateSize.width(), grownText.right() + 1 + rightMargin);
    const int bannerTop = buttonTop + okPlace.height() + bannerGap;
    setFixedSize(width, bannerTop + bannerPlace.height());
    if (m_banner) {
        m_banner->setGeometry(0, bannerTop, width, bannerPlace.height());
        m_banner->setPixmap(DrawPicture("banner", m_banner->size()));
    }
    // The buttons centred under the text, side by side as in the template.
    const int pairGap = cancelPlace.left() - okPlace.right() - 1;
    const int row = m_showCancel == 1 ? okPlace.width() + pairGap + cancelPlace.width() : okPlace.width();
    const int left = (width - row) / 2;
    m_ok->setGeometry(left, buttonTop, okPlace.width(), okPlace.height());
    m_cancel->setGeometry(left + okPlace.width() + pairGap, buttonTop, cancelPlace.width(), cancelPlace.height());
}

void CDlgMessage::setVisible(bool visible)
{
    // Sized before QDialog places the window on the screen.
    if (visible) {
        m_cancel->setVisible(m_showCancel == 1);
        Arrange();
    }
    QDialog::setVisible(visible);
}

void CDlgMessage::showEvent(QShowEvent* event)
{
    m_ok->setFocus();
    QDialog::showEvent(event);
}

kmr::MessageResult CDlgMessage::DoModal()
{
    // Escape and the close box reject the dialog like Cancel does.
    m_result = exec() == QDialog::Accepted ? kmr::MSG_OK : kmr::MSG_CANCEL;
    return m_result;
}
