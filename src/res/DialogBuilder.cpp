#include "res/DialogBuilder.h"

#include "controls/Accessibility.h"
#include "controls/ColorButton.h"
#include "controls/Slider.h"
#include "res/Pictures.h"
#include "res/Templates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QtGlobal>
#include <algorithm>

namespace {
const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int ALPHABET_LEN = 52;

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>((p >= 0 ? p + c / 2 : p - c / 2) / c);
}

const DialogTemplate& TemplateOrStop(int number)
{
    const DialogTemplate* t = FindDialogTemplate(number);
    if (!t)
        qFatal("CDialogBuilder: there is no dialog template %d", number);
    return *t;
}

// The Windows fonts of the templates and the Debian fonts that stand in for them.
struct StandIn {
    const char* windows;
    const char* debian;
};
constexpr StandIn STAND_INS[] = {
    {"Times New Roman", "Liberation Serif"},
    {"Arial", "Liberation Sans"},
    {"MS Sans Serif", "Liberation Sans"},
    {"Verdana", "DejaVu Sans"},
};

// A drop-down list that opens only where a user could open it: not while it is disabled or
// hidden, where assistive technology's action would otherwise open it.
class CDropDownList : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override
    {
        if (UsableByUser(*this))
            QComboBox::showPopup();
    }
};

// The lines of text that a label of width lays out; each is one character height high.
int LabelLines(const QFontMetrics& metrics, int flags, const QString& text, int width)
{
    const int laid = metrics.boundingRect(QRect(0, 0, std::max(width, 1), 1 << 20), flags, text).height();
    return std::max(1, qRound(static_cast<double>(laid) / metrics.lineSpacing()));
}

// How many pixels wider w must be to show its text whole: a label as wide as it must be for its
// wrapped lines to fit its height (at most the text's width on one line), a button, box or list
// as wide as its text (its widest entry) plus what the control draws around the text. 0 when it
// fits or w shows no text.
int WidthShortfall(const QWidget& w)
{
    const QRect room = CDialogBuilder::TextRoom(w);
    const QFontMetrics metrics = w.fontMetrics();
    if (auto* label = qobject_cast<const QLabel*>(&w)) {
        if (!label->pixmap().isNull() || label->text().isEmpty())
            return 0;
        const int flags = label->wordWrap() ? Qt::TextWordWrap : 0;
        auto fitsAt = [&](int width) {
            return LabelLines(metrics, flags, label->text(), width) * metrics.height() <= room.height();
        };
        if (fitsAt(room.width()))
            return 0;
        // The narrowest width that fits, found by halving: fewer lines never need more width.
        int narrow = room.width();
        int wide = std::max(narrow, metrics.size(0, label->text()).width());
        while (narrow < wide) {
            const int mid = narrow + (wide - narrow) / 2;
            if (fitsAt(mid))
                wide = mid;
            else
                narrow = mid + 1;
        }
        return wide - room.width();
    }
    int textWidth = 0;
    if (auto* button = qobject_cast<const QAbstractButton*>(&w)) {
        textWidth = button->text().isEmpty() ? 0 : metrics.size(Qt::TextShowMnemonic, button->text()).width();
    } else if (auto* list = qobject_cast<const QComboBox*>(&w)) {
        for (int i = 0; i < list->count(); ++i)
            textWidth = std::max(textWidth, metrics.horizontalAdvance(list->itemText(i)));
    }
    return std::max(0, textWidth - room.width());
}

// How many pixels higher w must be, at its present width, to show its text whole.
int HeightShortfall(const QWidget& w)
{
    const QRect room = CDialogBuilder::TextRoom(w);
    const QFontMetrics metrics = w.fontMetrics();
    int lines = 0;
    if (auto* label = qobject_cast<const QLabel*>(&w)) {
        if (label->pixmap().isNull() && !label->text().isEmpty())
            lines = LabelLines(metrics, label->wordWrap() ? Qt::TextWordWrap : 0, label->text(), room.width());
    } else if (auto* button = qobject_cast<const QAbstractButton*>(&w)) {
        lines = button->text().isEmpty() ? 0 : 1;
    } else if (auto* list = qobject_cast<const QComboBox*>(&w)) {
        lines = list->count() > 0 ? 1 : 0;
    }
    return std::max(0, lines * metrics.height() - room.height());
}

// more pixels shared between the two ends of a place: before it (left or up) at most
// roomBefore, after it at most roomAfter, and as far as the room allows preferBefore of them
// before. Returns the pixels before and after.
std::pair<int, int> Spread(int more, int preferBefore, int roomBefore, int roomAfter)
{
    roomBefore = std::max(roomBefore, 0);
    roomAfter = std::max(roomAfter, 0);
    const int after = std::min(more - std::min(preferBefore, roomBefore), roomAfter);
    return {std::min(more - after, roomBefore), after};
}

QLabel* CreateLabel(const ControlTemplate& c, QWidget* host)
{
    auto* label = new QLabel(QString::fromStdString(c.caption), host);
    label->setTextFormat(Qt::PlainText);  // message texts are shown as they are, never as markup
    label->setWordWrap(true);
    Qt::Alignment across = Qt::AlignLeft;
    if (c.style & CTL_CENTER)
        across = Qt::AlignHCenter;
    else if (c.style & CTL_RIGHT)
        across = Qt::AlignRight;
    label->setAlignment(across | Qt::AlignTop);
    return label;
}
} // namespace

CDialogBuilder::CDialogBuilder(int templateNumber, QWidget* host) : CDialogBuilder(TemplateOrStop(templateNumber), host)
{
}

CDialogBuilder::CDialogBuilder(const DialogTemplate& tmpl, QWidget* host) : m_template(tmpl), m_host(host)
{
    InstallAccessibility();
    host->setFont(QFont(StandInFamily(m_template.fontFamily), m_template.fontPoints));
    BaseUnits(host->font(), &m_baseX, &m_baseY);
    host->setWindowTitle(QString::fromStdString(m_template.caption));
    ApplyWindowStyle(host);

    for (const ControlTemplate& c : m_template.controls) {
        QRect place;
        QWidget* control = CreateControl(c, host, &place);
        control->setAccessibleName(QString::fromStdString(c.caption));
        if (c.style & CTL_HIDDEN)
            control->hide();  // stays hidden when the host is shown
        if (c.style & CTL_DISABLED)
            control->setEnabled(false);
        if (c.id != IDC_NONE) {
            Q_ASSERT_X(!m_controls.count(c.id), "CDialogBuilder", "two controls with one id");
            m_controls[c.id] = control;
        }
        m_created.push_back(control);
        m_places.push_back(place);
    }
    // A frame is drawn under the controls it surrounds, whatever its place in the template.
    for (QGroupBox* frame : host->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
        frame->lower();
    for (std::size_t n = 0; n < m_created.size(); ++n) {
        FitText(n);
        // A list's entries come after it is built, from its owner.
        if (auto* list = qobject_cast<QComboBox*>(m_created[n]))
            QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list, [this, n] { FitText(n); });
    }
}

QString CDialogBuilder::StandInFamily(const std::string& family)
{
    for (const StandIn& s : STAND_INS)
        if (family == s.windows)
            return s.debian;
    return QString::fromStdString(family);
}

QRect CDialogBuilder::TextRoom(const QWidget& w)
{
    if (qobject_cast<const CColorButton*>(&w))
        return w.rect().adjusted(CColorButton::BORDER_WIDTH, 0, -CColorButton::BORDER_WIDTH, 0);
    if (auto* button = qobject_cast<const QAbstractButton*>(&w)) {
        QStyleOptionButton opt;
        opt.initFrom(button);
        opt.text = button->text();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<const QCheckBox*>(button)) {
            contents = QStyle::SE_CheckBoxContents;
        } else if (qobject_cast<const QRadioButton*>(button)) {
            contents = QStyle::SE_RadioButtonContents;
        } else if (auto* push = qobject_cast<const QPushButton*>(button)) {
            if (push->isDefault())
                opt.features |= QStyleOptionButton::DefaultButton;
            if (push->autoDefault())
                opt.features |= QStyleOptionButton::AutoDefaultButton;
        }
        return w.style()->subElementRect(contents, &opt, &w);
    }
    if (auto* list = qobject_cast<const QComboBox*>(&w)) {
        QStyleOptionComboBox opt;
        opt.initFrom(list);
        opt.frame = list->hasFrame();
        return w.style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, &w);
    }
    return w.contentsRect();
}

void CDialogBuilder::FitText(std::size_t n) const
{
    QWidget* control = m_created[n];
    const ControlTemplate& c = m_template.controls[n];
    QRect place = m_places[n];
    control->setGeometry(place);

    if (const int wider = WidthShortfall(*control); wider > 0) {
        // The text's own side keeps its place: a left-aligned text grows to the right, a
        // centred one to both sides, a right-aligned one to the left.
        int preferLeft = 0;
        if (c.kind == ControlKind::PushButton || c.kind == ControlKind::ColorButton ||
            (c.kind == ControlKind::Label && (c.style & CTL_CENTER)))
            preferLeft = wider / 2;
        else if (c.kind == ControlKind::Label && (c.style & CTL_RIGHT))
            preferLeft = wider;
        const QRect limits = GrowthLimits(n, place, Qt::Horizontal);
        const auto [left, right] = Spread(wider, preferLeft, place.left() - limits.left(), limits.right() - place.right());
        place.adjust(-left, 0, right, 0);
        control->setGeometry(place);
    }
    if (const int higher = HeightShortfall(*control); higher > 0) {
        const QRect limits = GrowthLimits(n, place, Qt::Vertical);
        const auto [up, down] = Spread(higher, 0, place.top() - limits.top(), limits.bottom() - place.bottom());
        place.adjust(0, -up, 0, down);
        control->setGeometry(place);
    }
}

QRect CDialogBuilder::GrowthLimits(std::size_t n, const QRect& place, Qt::Orientation along) const
{
    // The frame: inside the smallest group box around the place, else the window.
    QRect limits = ToPixels(0, 0, m_template.w, m_template.h) & m_host->rect();
    const QWidget* frame = nullptr;
    for (std::size_t k = 0; k < m_created.size(); ++k) {
        const QWidget* other = m_created[k];
        if (k != n && m_template.controls[k].kind == ControlKind::GroupBox && other->geometry().contains(place) &&
            (frame == nullptr || frame->geometry().contains(other->geometry())))
            frame = other;
    }
    if (frame != nullptr)
        limits = frame->contentsRect().translated(frame->pos());
    // Less every other control in the place's rows (growing across) or columns (growing down),
    // hidden ones too, since they may be shown; frames around the place are no obstacle.
    for (std::size_t k = 0; k < m_created.size(); ++k) {
        const QRect other = m_created[k]->geometry();
        if (k == n || (m_template.controls[k].kind == ControlKind::GroupBox && other.contains(place)))
            continue;
        if (along == Qt::Horizontal && other.top() <= place.bottom() && other.bottom() >= place.top()) {
            if (other.center().x() < place.center().x())
                limits.setLeft(std::max(limits.left(), other.right() + 1));
            else
                limits.setRight(std::min(limits.right(), other.left() - 1));
        } else if (along == Qt::Vertical && other.left() <= place.right() && other.right() >= place.left()) {
            if (other.center().y() < place.center().y())
                limits.setTop(std::max(limits.top(), other.bottom() + 1));
            else
                limits.setBottom(std::min(limits.bottom(), other.top() - 1));
        }
    }
    return limits;
}

void CDialogBuilder::BaseUnits(const QFont& font, int* baseX, int* baseY)
{
    const QFontMetrics metrics(font);
    *baseX = MulDiv(metrics.horizontalAdvance(QLatin1String(ALPHABET)), 1, ALPHABET_LEN);
    *baseY = metrics.height();
}

QRect CDialogBuilder::ToPixels(int x, int y, int w, int h) const
{
    return QRect(MulDiv(x, m_baseX, 4), MulDiv(y, m_baseY, 8), MulDiv(w, m_baseX, 4), MulDiv(h, m_baseY, 8));
}

void CDialogBuilder::ApplyWindowStyle(QWidget* host) const
{
    const QRect client = ToPixels(0, 0, m_template.w, m_template.h);
    const unsigned style = m_template.style;
    if (style & DLG_CHILD) {
        host->resize(client.size());
        return;
    }
    Qt::WindowFlags type = host->windowFlags() & Qt::WindowType_Mask;
    if (type == Qt::Widget)
        type = Qt::Window;
    Qt::WindowFlags flags = type | Qt::CustomizeWindowHint;
    if (style & DLG_CAPTION)
        flags |= Qt::WindowTitleHint;
    if (style & DLG_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & DLG_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    host->setWindowFlags(flags);
    host->setFixedSize(client.size());
    if (style & DLG_CENTER) {
        if (QScreen* screen = host->screen())
            host->move(screen->availableGeometry().center() - client.center());
    }
}

QWidget* CDialogBuilder::CreateControl(const ControlTemplate& c, QWidget* host, QRect* placeOut) const
{
    const QString caption = QString::fromStdString(c.caption);
    QRect place = ToPixels(c.x, c.y, c.w, c.h);
    QWidget* control = nullptr;
    switch (c.kind) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(caption, host);
        button->setDefault((c.style & CTL_DEFAULT) != 0);
        control = button;
        break;
    }
    case ControlKind::ColorButton: {
        auto* button = new CColorButton(caption, host);
        button->setDefault((c.style & CTL_DEFAULT) != 0);
        control = button;
        break;
    }
    case ControlKind::CheckBox:
        control = new QCheckBox(caption, host);
        break;
    case ControlKind::RadioButton:
        control = new QRadioButton(caption, host);
        break;
    case ControlKind::Label:
        control = CreateLabel(c, host);
        break;
    case ControlKind::GroupBox:
        control = new QGroupBox(caption, host);
        break;
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(caption, host);
        edit->setReadOnly((c.style & CTL_READONLY) != 0);
        if (c.style & CTL_NOFRAME) {
            edit->setFrame(false);
            edit->setAlignment(Qt::AlignCenter);
        }
        control = edit;
        break;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(host);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        control = bar;
        break;
    }
    case ControlKind::DropDownList: {
        auto* list = new CDropDownList(host);
        // The template's height is that of the dropped list; the closed box is one line high.
        place.setHeight(list->sizeHint().height());
        control = list;
        break;
    }
    case ControlKind::ListBox:
        control = new QListWidget(host);
        break;
    case ControlKind::Picture: {
        auto* picture = new QLabel(host);
        picture->setPixmap(DrawPicture(c.caption, place.size()));
        control = picture;
        break;
    }
    case ControlKind::Slider:
        // A vertical slider edits a parameter (its maximum is set when its record is reset); a
        // horizontal one belongs to no record and is a plain slider.
        if (c.h > c.w) {
            control = new CSlider(host);
        } else {
            auto* slider = new QSlider(Qt::Horizontal, host);
            slider->setRange(0, 100);
            control = slider;
        }
        break;
    case ControlKind::Bar: {
        auto* bar = new QFrame(host);
        bar->setFrameShape(c.w >= c.h ? QFrame::HLine : QFrame::VLine);
        bar->setFrameShadow(QFrame::Sunken);
        control = bar;
        break;
    }
    }
    control->setGeometry(place);
    *placeOut = place;
    return control;
}

QWidget* CDialogBuilder::Control(int id) const
{
    const auto it = m_controls.find(id);
    return it != m_controls.end() ? it->second : nullptr;
}

void CDialogBuilder::SetText(int id, const QString& text) const
{
    QWidget* control = Control(id);
    if (auto* edit = dynamic_cast<QLineEdit*>(control)) {
        edit->setText(text);
        return;
    }
    if (auto* label = dynamic_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* button = dynamic_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* frame = dynamic_cast<QGroupBox*>(control))
        frame->setTitle(text);
    else
        return;
    control->setAccessibleName(text);
    FitText(static_cast<std::size_t>(std::find(m_created.begin(), m_created.end(), control) - m_created.begin()));
}

QString CDialogBuilder::Text(int id) const
{
    QWidget* control = Control(id);
    if (auto* edit = dynamic_cast<QLineEdit*>(control))
        return edit->text();
    if (auto* label = dynamic_cast<QLabel*>(control))
        return label->text();
    if (auto* button = dynamic_cast<QAbstractButton*>(control))
        return button->text();
    if (auto* frame = dynamic_cast<QGroupBox*>(control))
        return frame->title();
    return {};
}
