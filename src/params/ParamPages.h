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

// The EQ page (template 109): each output's speaker EQ preset and dynamic EQ switch. The range
// of the preset sliders follows the amplifier's preset count.
class CDlgPAEQ : public CDlgParamPage {
    Q_OBJECT
public:
    CDlgPAEQ(QWidget* parent, ModeSource mode, CParamTransfer& transfer);
    // Puts the three preset sliders to step 0, then narrows each to count steps; the records and
    // value boxes stay as they are. An amplifier with no presets (0) leaves the sliders no step
    // to choose: each is held at its one position and disabled, until a reset gives back its
    // range and the mode is set again (Read Mixer Param and Reset Mixer Param do both).
    void SetEqPresetCount(int count) override;
};

// The page of template number (107-114) on parent, hidden; any other number is a programming
// error that stops the program. The Page In, Direct In, Limiter,
// Miscellaneous and Signal threshold pages are data only (their links included).
CDlgPA* CreateParamPage(int templateNumber, QWidget* parent, CDlgPA::ModeSource mode, CParamTransfer& transfer);
