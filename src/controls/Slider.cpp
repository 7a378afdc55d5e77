#include "controls/Slider.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QScopedValueRollback>
#include <algorithm>

// The slider as assistive technology sees it: its value is the label of the step shown.
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
    // A step chosen through assistive technology is a user's change like a key press.
    void setCurrentValue(const QVariant& value) override
    {
        CSlider* slider = Slider();
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

namespace {
QAccessibleInterface* SliderAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("CSlider") && object != nullptr && object->isWidgetType())
        return new CSliderAccessible(static_cast<CSlider*>(object));
    return nullptr;
}
} // namespace

CSlider::CSlider(QWidget* parent) : QSlider(Qt::Vertical, parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(SliderAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setMinimum(0);
    setMaximum(0);
    // Position 0 at the top, and Up (key or wheel) moves the thumb up, towards higher values.
    setInvertedAppearance(true);
    setInvertedControls(true);
    setSingleStep(1);
    setPageStep(1);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QSlider::valueChanged, this, &CSlider::OnValueChanged);
    connect(this, &QSlider::sliderPressed, this, [this] { m_pressedStep = GetStep(); });
    connect(this, &QSlider::sliderReleased, this, &CSlider::OnReleased);
}

void CSlider::SetMax(int n)
{
    const QScopedValueRollback<bool> programmatic(m_programmatic, true);
    setMaximum(std::max(n, 0));  // the position is kept within the new range
}

void CSlider::SetStep(int i)
{
    const QScopedValueRollback<bool> programmatic(m_programmatic, true);
    setValue(maximum() - std::clamp(i, 0, maximum()));
}

void CSlider::SetValueText(const QString& text)
{
    if (text == m_valueText)
        return;
    m_valueText = text;
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, text);
        QAccessible::updateAccessibility(&event);
    }
}

void CSlider::OnValueChanged()
{
    if (m_programmatic)
        return;
    if (isSliderDown())
        emit Tracking(GetStep());
    else
        emit Changed();
}

void CSlider::OnReleased()
{
    if (GetStep() != m_pressedStep)
        emit Changed();
}
