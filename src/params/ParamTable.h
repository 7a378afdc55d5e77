#pragma once
// The in-memory image of the amplifier's adjustable DSP parameters: 108 records in eight page
// arrays, one per parameter page, and the eighteen label tables that name the steps of the
// slider records. The one table is built on first use of TheParamTable() and lives until exit.
//
// Threads: the records carry no lock. The UI thread and the read-all/write-all workers use the
// same records; the callers must keep them from updating one record at the same time (the
// transfer's records lock does, see params/ParamTransfer.h). Building the table is thread-safe
// (function-local static); the label tables never change after the build.
#include <cstdint>

// Controls that a page attaches to its records. The core only stores these pointers; it never
// dereferences them, and they stay null until a page binds its controls.
class CSlider;          // slider wrapper of the GUI layer
class QAbstractButton;  // check box or radio button
class QLineEdit;        // read-only value box beside a slider

// Page arrays, in table order (Signal Thr comes before Miscellaneous).
enum ParamPage : int {
    PAGE_INPUT = 0,
    PAGE_OUTPUT = 1,
    PAGE_EQ = 2,
    PAGE_PAGE_IN = 3,
    PAGE_DIRECT_IN = 4,
    PAGE_LIMITER = 5,
    PAGE_SIGNAL_THR = 6,
    PAGE_MISC = 7,
};
constexpr int PAGE_COUNT = 8;

// Record count of each page array, in page order.
inline constexpr int PageParamCounts[PAGE_COUNT] = {28, 15, 6, 24, 6, 12, 16, 1};
constexpr int PARAM_COUNT = 108;
constexpr int OUTPUT_PARAM_COUNT = 15;  // records of PAGE_OUTPUT, one row of OutputModePresets

// Mixer modes: index into DSPParam::enabledInMode and OutputModePresets.
enum MixerMode : int {
    MIXER_MODE_MIXER = 0,      // "Mixer"
    MIXER_MODE_STEREO = 1,     // "Stereo Select"
    MIXER_MODE_DUAL_MONO = 2,  // "Dual Mono Select"
};
constexpr int MIXER_MODE_COUNT = 3;

// Control kinds of DSPParam::kind.
enum ParamKind : std::uint8_t {
    KIND_SLIDER = 1,      // slider with a value box; index selects a label
    KIND_CHECK = 2,       // one check box; index 1 = checked
    KIND_RADIO_PAIR = 3,  // two radio buttons; index 1 = first checked, 0 = second checked
};

// Default step index of every PAGE_OUTPUT record, one row per mixer mode, in slot order.
extern const std::int32_t OutputModePresets[MIXER_MODE_COUNT][OUTPUT_PARAM_COUNT];

// One parameter record.
struct DSPParam {
    std::uint8_t kind = 0;  // ParamKind
    CSlider* slider = nullptr;             // kind 1
    QAbstractButton* button = nullptr;     // kind 2: the check box; kind 3: the first radio button
    QAbstractButton* button2 = nullptr;    // kind 3: the second radio button
    QLineEdit* valueText = nullptr;        // kind 1: shows labels[index]
    std::int32_t steps = 0;                // valid indexes 0 .. steps-1; 2 for kinds 2 and 3
    std::int32_t defaultIndex = 0;         // restored by a reset
    std::int32_t index = 0;                // current step index, the value the user edits
    const char* const* labels = nullptr;   // kind 1: `steps` texts; null for kinds 2 and 3
    std::uint8_t group = 0;                // conversion group 0..6 (see ValueConvert.h)
    std::uint8_t slot = 0;                 // position in its page array
    std::uint32_t address = 0;             // 16-bit DSP parameter address, never 0
    std::uint32_t deviceValue = 0;         // 16-bit value as exchanged with the amplifier
    std::uint32_t enabledInMode[MIXER_MODE_COUNT] = {};  // 1: controls enabled in that mode
    const char* name = "";                 // e.g. "Input 1 tone Bass", for the CLI and messages
    const char* unit = "";                 // unit of the labels ("dB", "dBFS", "dBV", "ms", "S"); "" for none
};

// The eighteen label tables.
enum class LabelTableId : std::uint8_t {
    ToneLabels,
    OutputGainLabels,
    VolumeLabels,
    EqIdLabels,
    PageThresholdLabels,
    DuckingLabels,
    PageLevelLabels,
    LimiterSetPointLabels,
    PageAttackLabels,
    PageReleaseLabels,
    PageDelayLabels,
    LimiterAttackLabels,
    LimiterReleaseLabels,
    PresentLabels,
    ClipLabels,
    AgcSetpointLabels,
    AgcAttackLabels,
    AgcReleaseLabels,
    Count,
    None = 0xFF,  // a record without labels (kinds 2 and 3)
};
constexpr int LABEL_TABLE_COUNT = static_cast<int>(LabelTableId::Count);

struct LabelTable {
    const char* name = "";               // e.g. "ToneLabels"
    const char* const* texts = nullptr;  // entry i names step index i
    int count = 0;
    const char* unit = "";               // "" for none
};

class CDSPParamTable {
public:
    // Builds the label tables, then every record with index = defaultIndex, deviceValue 0 and
    // null control pointers. The program uses the one instance of TheParamTable(); tests may
    // build their own.
    CDSPParamTable();
    virtual ~CDSPParamTable() = default;
    CDSPParamTable(const CDSPParamTable&) = delete;  // records point into the table's own labels
    CDSPParamTable& operator=(const CDSPParamTable&) = delete;

    // First record of page array `page` (records of one array are contiguous, in slot order),
    // or null if page is not 0..7.
    DSPParam* GetPage(int page);
    // Record count of page array `page`, or 0 if page is not 0..7.
    int GetCount(int page) const;
    // The record at (page, slot), or null if either is out of range.
    DSPParam* GetRecord(int page, int slot);
    // The record with DSP parameter address `address`, or null if no record has it.
    DSPParam* FindByAddress(std::uint32_t address);

    // Sets defaultIndex and index of the 15 PAGE_OUTPUT records to the OutputModePresets row of
    // `mode`. Touches no control and sends nothing. A mode outside 0..2 changes nothing and
    // returns false.
    bool LoadModeDefaults(int mode);

    // Label table `id`; LabelTableId::None and Count give an empty table (no texts, count 0).
    const LabelTable& GetLabelTable(LabelTableId id) const;

    // The page's caption ("Input", "Output", ..., "Miscellaneous"), or "" if page is not 0..7.
    static const char* PageTitle(int page);
    // The unit shared by every slider record of the page ("dB" for Output, Direct In; "dBV"
    // for Signal Thr; "" for EQ and Miscellaneous, which show none), or null if the page mixes
    // units (Input, Page In, Limiter: use DSPParam::unit) or page is not 0..7.
    const char* PageUnit(int page) const;

private:
    static constexpr int FORMATTED_LABELS = 400;  // entries of the tables built by formatting
    static constexpr int FORMATTED_TEXT_LEN = 8;  // room for the widest formatted number

    DSPParam m_records[PARAM_COUNT];
    DSPParam* m_pages[PAGE_COUNT] = {};
    LabelTable m_labelTables[LABEL_TABLE_COUNT];
    char m_formattedText[FORMATTED_LABELS][FORMATTED_TEXT_LEN] = {};
    const char* m_formattedEntries[FORMATTED_LABELS] = {};
};

// The program's one parameter table, built on first call.
CDSPParamTable& TheParamTable();

// The label of the record's current step: labels[index] for a slider record with index in
// 0 .. steps-1, otherwise null (check boxes and radio pairs have no labels).
const char* CurrentLabel(const DSPParam& record);
