#pragma once
// The editor's slider: a vertical slider from 0 to a settable maximum whose position 0 is its
// top end, showing step i at position maximum - i, so that step 0 (a record's lowest value) sits
// at the bottom and the highest value at the top.
//
// A user's change is reported once per change by Changed(): at the end of a mouse drag (not per
// pixel, so that a drag sends one write, not dozens the amplifier cannot keep up with), and once
// per keyboard, wheel or page step. While the thumb is dragged, Tracking() gives the step under
// it for a value box to follow without writing. A change made by the program (SetMax, SetStep)
// is never reported. GUI thread only.
//
// For assistive technology the slider is a slider whose value is the text its owner gives it
// with SetValueText (the label of the step shown, such as "+1.00"), or the step when there is
// none; a value set through that interface is a user's change, and does nothing while the
// slider is disabled or not shown (controls/Accessibility.h).
#include <QSlider>

class CSlider : public QSlider {
    Q_OBJECT
public:
    explicit CSlider(QWidget* parent = nullptr);

    int GetMax() const { return maximum(); }
    void SetMax(int n);
    // The step shown: GetMax() - position, always within 0 .. GetMax().
    int GetStep() const { return maximum() - value(); }
    // Shows step i at position GetMax() - i; a step outside 0 .. GetMax() shows the nearest end.
    void SetStep(int i);

    // The text that names the step shown, as assistive technology reads it.
    void SetValueText(const QString& text);
    const QString& ValueText() const { return m_valueText; }

signals:
    void Changed();
    void Tracking(int step);

private:
    void OnValueChanged();
    void OnReleased();

    bool m_programmatic = false;  // a change the program makes is not the user's
    int m_pressedStep = 0;        // the step when the drag began
    QString m_valueText;
};
