#pragma once
// The parameter pages: each one's description (params/ParamPage.h) and follow-ups.
//
// Threads: GUI thread only.
#include "params/ParamPage.h"

// The Input page (template 107): the tone and the AGC of the inputs. In Stereo mode a tone
// change of Input 1 or 3 is copied to Input 2 or 4.
class CDlgPAInput : public CDlgParamPage {
    Q_OBJECT
public:
    CDlgPAInput(QWidget* parent, ModeSource mode, CParamTransfer& transfer);

protected:
    void FollowUp(int slot) override;
};

// The Output page (template 108): which inputs feed each output, and the AuxOut tone. In Stereo
// mode the mix boxes choose between input pairs; in Dual Mono mode each output takes exactly one
// of its two inputs.
class CDlgPAOutput : public CDlgParamPage {
    Q_OBJECT
public:
    CDlgPAOutput(QWidget* parent, ModeSource mode, CParamTransfer& transfer);

protected:
    void FollowUp(int slot) override;

private:
    // SetRecordIndex on slots first, first + 1, ... with values, in slot order.
    void SetSlots(int first, std::initializer_list<int> values);
};

// The page of template number (107-114) on parent, hidden. Pages that are not built yet are
// bare pages of their template.
CDlgPA* CreateParamPage(int templateNumber, QWidget* parent, CDlgPA::ModeSource mode, CParamTransfer& transfer);
