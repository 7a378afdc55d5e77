#pragma once
// The page base of the parameter editor: one page of the Parameters Adjust container, built
// from its template on the page colours, and the operations that move one record's value
// between the record and its controls, reset records, write a record to the amplifier, enable
// controls for a mixer mode and copy a change into a partner record.
//
// The records belong to the transfer object's table; a page stores pointers to its controls in
// its records when it binds them. Record indexes are read and changed under the transfer's
// records lock, which a read-all or write-all worker holds for each whole group, so a page
// change and a worker never update one record at the same moment; ApplyLinkedChange holds it
// while it sets, shows and writes its target, so that change is one whole step too.
//
// Threads: GUI thread only. SendOneParam performs the write exchange synchronously.
#include "params/ParamTable.h"
#include "res/DialogBuilder.h"

#include <QWidget>
#include <functional>

class CParamTransfer;

class CDlgPA : public QWidget {
    Q_OBJECT
public:
    // The current mixer mode, as the Parameter Option panel holds it.
    using ModeSource = std::function<int()>;
    static constexpr unsigned SEND_PAUSE_MS = 30;  // after an acknowledged write

    // Builds the page of template number on parent, hidden. transfer's table holds the records
    // the operations act on; mode tells the current mixer mode.
    CDlgPA(int templateNumber, QWidget* parent, ModeSource mode, CParamTransfer& transfer);

    // Shows index on the record's controls: a slider's step and its value box's label, a check
    // box's state, or a radio pair (the first radio for index 1, the second for 0). A record of
    // any other kind: "CDlgPA::UpdateOneParam Error!" and nothing changes.
    void UpdateOneParam(DSPParam* record);
    // Reads the controls into index: a slider's step, or the check state of button. A record of
    // any other kind: "CDlgPA::SaveOneParam Error!" and index stays.
    void SaveOneParam(DSPParam* record);
    // index = defaultIndex (a slider's maximum becomes steps - 1 first), then UpdateOneParam.
    void ResetOneParam(DSPParam* record);
    // Writes the record to the amplifier. Port closed: nothing is sent or posted. Otherwise
    // WM_MAC_FRAME_MSG with 1 after an acknowledged write (then a 30 ms pause) or 5 after a
    // failed one goes to the frame layer's target (the Communication panel); no retry, no
    // message, and the record keeps its new index.
    void SendOneParam(DSPParam* record);
    // ResetOneParam / UpdateOneParam on every record of the table, page arrays 0 to 7 in order.
    void ResetAllParams();
    void UpdateAllParams();
    // Enables or disables each record's controls by its enabledInMode[mode]: a slider and its
    // value box, a check box; radio pairs are left as they are. A mode outside 0..2 changes
    // nothing.
    void EnableParamsForMode(int mode);
    // In Stereo mode only: target's index becomes the source's control state (its slider's step
    // or check state, not its record), negated with invert; then UpdateOneParam and
    // SendOneParam of target.
    void ApplyLinkedChange(DSPParam* source, DSPParam* target, bool invert);

    // Sets the captions that depend on the mixer mode (pages that have such captions override
    // it); the Parameter Option panel calls it after EnableParamsForMode.
    virtual void SetModeCaptions(int mode) { (void)mode; }
    // The EQ page narrows its preset sliders to the amplifier's preset count (it overrides it).
    virtual void SetEqPresetCount(int count) { (void)count; }

    QWidget* Control(int id) const { return m_controls.Control(id); }
    const CDialogBuilder& Builder() const { return m_controls; }
    CParamTransfer& Transfer() { return m_transfer; }

protected:
    // The current mixer mode (0 when no one tells it).
    int CurrentMode() const { return m_mode ? m_mode() : MIXER_MODE_MIXER; }

private:
    // Calls f on every record of the table in table order.
    void ForEachRecord(const std::function<void(DSPParam*)>& f);

    CDialogBuilder m_controls;
    ModeSource m_mode;
    CParamTransfer& m_transfer;
};

// Write results posted with WM_MAC_FRAME_MSG by SendOneParam.
constexpr unsigned PARAM_WRITE_OK = 1;
constexpr unsigned PARAM_WRITE_FAILED = 5;
