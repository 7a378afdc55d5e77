#include "controls/Slider.h"

#include "controls/Accessibility.h"

#include <QAccessible>
#include <QScopedValueRollback>
#include <algorithm>

CSlider::CSlider(QWidget* parent) : QSlider(Qt::Vertical, parent)
{
    InstallAccessibility();
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
