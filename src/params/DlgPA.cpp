#include "params/DlgPA.h"

#include "controls/ColorScheme.h"
#include "controls/Slider.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "params/ParamTransfer.h"
#include "platform/MessageBox.h"
#include "platform/Sleep.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <algorithm>
#include <mutex>

CDlgPA::CDlgPA(int templateNumber, QWidget* parent, ModeSource mode, CParamTransfer& transfer)
    : QWidget(parent), m_controls(templateNumber, this), m_mode(std::move(mode)), m_transfer(transfer)
{
    const CColorScheme& scheme = TheColorScheme();
    CColorScheme::Apply(this, scheme.greenBrush, scheme.white);
    // Value boxes in the page's colours: white on green.
    for (QLineEdit* box : findChildren<QLineEdit*>()) {
        QPalette palette = box->palette();
        palette.setBrush(QPalette::Base, scheme.greenBrush);
        palette.setColor(QPalette::Text, scheme.white);
        box->setPalette(palette);
    }
    hide();
}

void CDlgPA::UpdateOneParam(DSPParam* r)
{
    int index = 0;
    {
        const std::lock_guard lock(m_transfer.RecordLock());
        index = r->index;
    }
    switch (r->kind) {
    case KIND_SLIDER:
        if (r->slider != nullptr)
            r->slider->SetStep(index);
        if (r->labels != nullptr && index >= 0 && index < r->steps) {
            const QString label = QString::fromUtf8(r->labels[index]);
            if (r->valueText != nullptr)
                r->valueText->setText(label);
            if (r->slider != nullptr)
                r->slider->SetValueText(label);
        }
        break;
    case KIND_CHECK:
        if (r->button != nullptr)
            r->button->setChecked(index != 0);
        break;
    case KIND_RADIO_PAIR:
        if (r->button != nullptr)
            r->button->setChecked(index != 0);
        if (r->button2 != nullptr)
            r->button2->setChecked(index == 0);
        break;
    default:
        kmr::ShowMessage("CDlgPA::UpdateOneParam Error!");
        break;
    }
}

void CDlgPA::SaveOneParam(DSPParam* r)
{
    int index = 0;
    switch (r->kind) {
    case KIND_SLIDER:
        if (r->slider == nullptr)
            return;
        // Within the record's steps whatever the slider's range: a slider narrowed below its
        // record's last step, or not yet given its range, never yields an index the record lacks.
        index = std::clamp(r->slider->GetStep(), 0, std::max(r->steps - 1, 0));
        break;
    case KIND_CHECK:
    case KIND_RADIO_PAIR:
        if (r->button == nullptr)
            return;
        index = r->button->isChecked() ? 1 : 0;
        break;
    default:
        kmr::ShowMessage("CDlgPA::SaveOneParam Error!");
        return;
    }
    const std::lock_guard lock(m_transfer.RecordLock());
    r->index = index;
}

void CDlgPA::ResetOneParam(DSPParam* r)
{
    {
        const std::lock_guard lock(m_transfer.RecordLock());
        if (r->kind == KIND_SLIDER || r->kind == KIND_CHECK || r->kind == KIND_RADIO_PAIR)
            r->index = r->defaultIndex;
    }
    if (r->kind == KIND_SLIDER && r->slider != nullptr)
        r->slider->SetMax(r->steps - 1);
    UpdateOneParam(r);
}

void CDlgPA::SendOneParam(DSPParam* r)
{
    if (!ThePortHost().IsPortOpen())
        return;
    if (m_transfer.WriteOneParam(r) == CParamTransfer::WRITE_OK) {
        m_transfer.Protocol().Mac().NotifyFrameTarget(PARAM_WRITE_OK);
        kmr::Sleep(SEND_PAUSE_MS);
    } else {
        m_transfer.Protocol().Mac().NotifyFrameTarget(PARAM_WRITE_FAILED);
    }
}

void CDlgPA::ForEachRecord(const std::function<void(DSPParam*)>& f)
{
    CDSPParamTable& table = m_transfer.Table();
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < table.GetCount(page); ++slot)
            f(table.GetRecord(page, slot));
}

void CDlgPA::ResetAllParams()
{
    ForEachRecord([this](DSPParam* r) { ResetOneParam(r); });
}

void CDlgPA::UpdateAllParams()
{
    ForEachRecord([this](DSPParam* r) { UpdateOneParam(r); });
}

void CDlgPA::EnableParamsForMode(int mode)
{
    if (mode < MIXER_MODE_MIXER || mode >= MIXER_MODE_COUNT)
        return;  // never an index past the table's three modes
    ForEachRecord([mode](DSPParam* r) {
        const bool on = r->enabledInMode[mode] != 0;
        if (r->kind == KIND_SLIDER) {
            if (r->slider != nullptr)
                r->slider->setEnabled(on);
            if (r->valueText != nullptr)
                r->valueText->setEnabled(on);
        } else if (r->kind == KIND_CHECK && r->button != nullptr) {
            r->button->setEnabled(on);
        }
    });
}

void CDlgPA::ApplyLinkedChange(DSPParam* source, DSPParam* target, bool invert)
{
    if (CurrentMode() != MIXER_MODE_STEREO)
        return;
    int v = 0;
    if (source->kind == KIND_CHECK && source->button != nullptr)
        v = source->button->isChecked() ? 1 : 0;
    else if (source->kind == KIND_SLIDER && source->slider != nullptr)
        v = source->slider->GetStep();
    else
        return;
    const std::lock_guard lock(m_transfer.RecordLock());  // set, show and write as one change
    target->index = std::clamp(invert ? (v == 0 ? 1 : 0) : v, 0, std::max(target->steps - 1, 0));
    UpdateOneParam(target);
    SendOneParam(target);
}
