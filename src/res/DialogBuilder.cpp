#include "res/DialogBuilder.h"

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
#include <QtGlobal>

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

CDialogBuilder::CDialogBuilder(const DialogTemplate& tmpl, QWidget* host) : m_template(tmpl)
{
    host->setFont(QFont(QString::fromStdString(m_template.fontFamily), m_template.fontPoints));
    BaseUnits(host->font(), &m_baseX, &m_baseY);
    host->setWindowTitle(QString::fromStdString(m_template.caption));
    ApplyWindowStyle(host);

    for (const ControlTemplate& c : m_template.controls) {
        QWidget* control = CreateControl(c, host);
        control->setAccessibleName(QString::fromStdString(c.caption));
        if (c.style & CTL_HIDDEN)
            control->hide();  // stays hidden when the host is shown
        if (c.style & CTL_DISABLED)
            control->setEnabled(false);
        if (c.id != IDC_NONE) {
            Q_ASSERT_X(!m_controls.count(c.id), "CDialogBuilder", "two controls with one id");
            m_controls[c.id] = control;
        }
    }
    // A frame is drawn under the controls it surrounds, whatever its place in the template.
    for (QGroupBox* frame : host->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
        frame->lower();
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

QWidget* CDialogBuilder::CreateControl(const ControlTemplate& c, QWidget* host) const
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
        auto* list = new QComboBox(host);
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
