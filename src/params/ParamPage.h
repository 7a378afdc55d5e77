#pragma once
// The page framework of the parameter editor: a page described as data (its template, which
// control edits which record of its array, the captions that change with the mixer mode, and
// how it starts) on top of the page base. A page binds its controls to its records, routes each
// user change of a bound control to OnParamChanged with the record's slot, and lets a derived
// page add its follow-up for that slot.
//
// A user's change is one whole step under the transfer's records lock: the control is read into
// the record, shown and written before a read-all or write-all worker may touch that record
// again (see params/ParamTransfer.h). A follow-up's writes are steps of their own.
//
// Threads: GUI thread only.
#include "params/DlgPA.h"

#include <vector>

// One record of a page and the controls that edit it.
struct PageBinding {
    int slot;         // in the page's record array
    int control;      // the slider, the check box, or a radio pair's first radio
    int second;       // the slider's value box, or the second radio; 0 for a check box
    const char* name; // as assistive technology names the control, e.g. "Input 1 Bass" (a value
                      // box gets " value" after it, each radio of a pair its own text)
};

// In Stereo mode a change of source is copied to target (ApplyLinkedChange), slots of the page.
struct StereoLink {
    int source;
    int target;
};

// A caption that depends on the mixer mode.
struct ModeCaption {
    int id;
    const char* perChannel;  // every mode but Stereo
    const char* paired;      // Stereo
};

struct PageDescription {
    enum class Start {
        Reset,           // every record to its default
        ResetAndUpdate,  // the same, each record shown once more after its reset
        Keep,            // the records keep their values
    };
    int templateNumber;
    int page;  // the record array (ParamPage)
    std::vector<PageBinding> bindings;
    std::vector<ModeCaption> captions;
    Start start = Start::Reset;
    std::vector<StereoLink> stereoLinks;
};

class CDlgParamPage : public CDlgPA {
    Q_OBJECT
public:
    // Builds the page of description on parent, hidden, binds its controls to its records and
    // starts them as description says. Nothing is sent.
    CDlgParamPage(PageDescription description, QWidget* parent, ModeSource mode, CParamTransfer& transfer);

    // A user changed the control of slot: read it into the record, show it, write it, then the
    // page's follow-up for that slot: its Stereo links, then FollowUp.
    void OnParamChanged(int slot);
    // The captions of the mixer mode: the paired ones in Stereo, the per-channel ones otherwise.
    void SetModeCaptions(int mode) override;
    // Sets the record's index to value (kept within its steps), shows it and writes it.
    void SetRecordIndex(DSPParam* record, int value);

    // The record at slot of this page's array.
    DSPParam* Record(int slot);
    // A record's index, read under the records lock.
    int IndexOf(int slot);
    const PageDescription& Description() const { return m_description; }

protected:
    // What the page does after a change of slot has been written; nothing by default.
    virtual void FollowUp(int slot) { (void)slot; }

private:
    void Bind(const PageBinding& binding);

    PageDescription m_description;
};
