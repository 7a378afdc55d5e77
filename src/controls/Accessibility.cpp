#include "controls/Accessibility.h"

#include "controls/Slider.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPushButton>
#include <algorithm>

namespace {

// A push button, colour button, check box or radio button.
class CButtonAccessible : public QAccessibleWidget {
public:
    explicit CButtonAccessible(QAbstractButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::Role role() const override
    {
        if (!Button()->isCheckable())
            return QAccessible::Button;
        return Button()->autoExclusive() ? QAccessible::RadioButton : QAccessible::CheckBox;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return WithoutMnemonic(Button()->text());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = Button()->isCheckable();
        s.checked = Button()->isChecked();
        s.pressed = Button()->isDown();
        if (auto* push = qobject_cast<QPushButton*>(Button()))
            s.defaultButton = push->isDefault();
        return s;
    }
    QStringList actionNames() const override
    {
        QStringList names;
        if (UsableByUser(*widget()))
            names << ClickAction();
        return names + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action != pressAction() && action != toggleAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (UsableByUser(*widget()))
            Button()->animateClick();
    }

private:
    QAbstractButton* Button() const { return static_cast<QAbstractButton*>(widget()); }
    // A check box or radio button is toggled, any other button pressed.
    QString ClickAction() const { return Button()->isCheckable() ? toggleAction() : pressAction(); }
    // "&Open" as "Open", "&&" as "&".
    static QString WithoutMnemonic(const QString& text)
    {
        QString out;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == '&' && ++i == text.size())
                break;
            out += text.at(i);
        }
        return out;
    }
};

// The editor's slider: its value is the label of the step shown.
class CSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit CSliderAccessible(CSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? currentValue().toString() : QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override
    {
        const CSlider* slider = Slider();
        return slider->ValueText().isEmpty() ? QVariant(slider->GetStep()) : QVariant(slider->ValueText());
    }
    // A step chosen through assistive technology is a user's change like a key press, and like a
    // key press it does nothing to a slider that is disabled or not shown.
    void setCurrentValue(const QVariant& value) override
    {
        CSlider* slider = Slider();
        if (!UsableByUser(*slider))
            return;
        const int step = std::clamp(value.toInt(), 0, slider->GetMax());
        if (step == slider->GetStep())
            return;
        slider->SetStep(step);
        emit slider->Changed();
    }
    QVariant maximumValue() const override { return Slider()->GetMax(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    CSlider* Slider() const { return static_cast<CSlider*>(widget()); }
};

QAccessibleInterface* ControlsFactory(const QString& className, QObject* object)
{
    if (object == nullptr || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("CSlider"))
        return new CSliderAccessible(static_cast<CSlider*>(object));
    // Called for each class of an object from the most derived up: the button classes the
    // program uses, while Qt's own interfaces keep every other (tool buttons among them).
    for (const char* name : {"QPushButton", "QCheckBox", "QRadioButton", "CColorButton"})
        if (className == QLatin1String(name))
            return new CButtonAccessible(static_cast<QAbstractButton*>(object));
    return nullptr;
}

} // namespace

void InstallAccessibility()
{
    // Installed after Qt's own factory, so asked first.
    static const bool installed = [] {
        QAccessible::installFactory(ControlsFactory);
        return true;
    }();
    (void)installed;
}

bool UsableByUser(const QWidget& w)
{
    return w.isEnabled() && w.isVisible();
}
