#include "params/ParamPage.h"

#include "controls/Slider.h"
#include "params/ParamTransfer.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <algorithm>
#include <mutex>

CDlgParamPage::CDlgParamPage(PageDescription description, QWidget* parent, ModeSource mode, CParamTransfer& transfer)
    : CDlgPA(description.templateNumber, parent, std::move(mode), transfer), m_description(std::move(description))
{
    for (const PageBinding& binding : m_description.bindings)
        Bind(binding);
    if (m_description.start == PageDescription::Start::Keep)
        return;
    for (int slot = 0; slot < Transfer().Table().GetCount(m_description.page); ++slot) {
        ResetOneParam(Record(slot));
        if (m_description.start == PageDescription::Start::ResetAndUpdate)
            UpdateOneParam(Record(slot));
    }
}

DSPParam* CDlgParamPage::Record(int slot)
{
    return Transfer().Table().GetRecord(m_description.page, slot);
}

int CDlgParamPage::IndexOf(int slot)
{
    const std::lock_guard lock(Transfer().RecordLock());
    return Record(slot)->index;
}

void CDlgParamPage::Bind(const PageBinding& b)
{
    DSPParam* r = Record(b.slot);
    QWidget* control = Control(b.control);
    if (r == nullptr || control == nullptr)
        qFatal("parameter page %d: slot %d or control %d does not exist", m_description.templateNumber, b.slot, b.control);
    const QString name = QString::fromUtf8(b.name);
    control->setAccessibleName(name);
    const int slot = b.slot;
    if (r->kind == KIND_SLIDER) {
        auto* slider = qobject_cast<CSlider*>(control);
        auto* box = qobject_cast<QLineEdit*>(Control(b.second));
        if (slider == nullptr || box == nullptr)
            qFatal("parameter page %d: slot %d needs a slider and a value box", m_description.templateNumber, slot);
        box->setAccessibleName(name + " value");
        r->slider = slider;
        r->valueText = box;
        connect(slider, &CSlider::Changed, this, [this, slot] { OnParamChanged(slot); });
        // While the thumb is dragged, the box follows it; the write comes when the drag ends.
        connect(slider, &CSlider::Tracking, this, [r, box, slider](int step) {
            if (r->labels != nullptr && step >= 0 && step < r->steps) {
                box->setText(QString::fromUtf8(r->labels[step]));
                slider->SetValueText(box->text());
            }
        });
        return;
    }
    auto* button = qobject_cast<QAbstractButton*>(control);
    if (button == nullptr)
        qFatal("parameter page %d: slot %d needs a button", m_description.templateNumber, slot);
    r->button = button;
    connect(button, &QAbstractButton::clicked, this, [this, slot] { OnParamChanged(slot); });
    if (r->kind == KIND_RADIO_PAIR) {
        auto* second = qobject_cast<QAbstractButton*>(Control(b.second));
        if (second == nullptr)
            qFatal("parameter page %d: slot %d needs a second radio", m_description.templateNumber, slot);
        r->button2 = second;
        // Either radio is the pair's change; the record keeps the state of the first.
        connect(second, &QAbstractButton::clicked, this, [this, slot] { OnParamChanged(slot); });
        button->setAccessibleName(name + " " + button->text());
        second->setAccessibleName(name + " " + second->text());
    }
}

void CDlgParamPage::OnParamChanged(int slot)
{
    DSPParam* r = Record(slot);
    {
        const std::lock_guard lock(Transfer().RecordLock());
        SaveOneParam(r);
        UpdateOneParam(r);
        SendOneParam(r);
    }
    for (const StereoLink& link : m_description.stereoLinks)
        if (link.source == slot)
            ApplyLinkedChange(r, Record(link.target), false);
    FollowUp(slot);
}

void CDlgParamPage::SetRecordIndex(DSPParam* record, int value)
{
    const std::lock_guard lock(Transfer().RecordLock());
    record->index = std::clamp(value, 0, std::max(record->steps - 1, 0));
    UpdateOneParam(record);
    SendOneParam(record);
}

void CDlgParamPage::SetModeCaptions(int mode)
{
    for (const ModeCaption& c : m_description.captions)
        Builder().SetText(c.id, QString::fromUtf8(mode == MIXER_MODE_STEREO ? c.paired : c.perChannel));
}
