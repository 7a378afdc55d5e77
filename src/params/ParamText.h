#pragma once
// Parameter records as text: one listing line per record for people, and the parameter file
// that holds the mixer mode and every record's device value, so that one amplifier's settings
// can be saved, compared with another's by diff, and written back.
//
// The parameter file is line-oriented UTF-8 (in practice ASCII) text:
//   - "#" starts a comment that runs to the end of the line; blank lines are ignored;
//   - "mode M": the mixer mode, M = 0 (Mixer), 1 (Stereo Select) or 2 (Dual Mono Select);
//   - "0xAAAA V": the record with parameter address 0xAAAA (four hex digits, either case) has
//     device value V (decimal, 0..65535, the value exchanged with the amplifier);
//   - words are separated by blanks or tabs; a line ending in CR LF is read like one in LF;
//     a UTF-8 byte order mark at the start of the file is ignored.
// A valid file has exactly one mode line and exactly one line for each of the table's records,
// each value inside its record's range; lines may come in any order. FormatParamFile writes a
// fixed header comment, the mode line, then the records in table order, each followed by a
// comment with its page, name and the label of its value. Nothing in it depends on time or
// port, so saving the same settings twice gives the same bytes, and one changed record changes
// one line.
//
// Threads: the listing and the file functions read records, ApplyParamSettings changes them;
// while a worker may run the caller holds the records lock (ParamTransfer.h) around each call.
#include "params/ParamTable.h"

#include <cstdint>
#include <string>
#include <vector>

// The word for the record's current step: the label of a slider without its leading blanks
// (e.g. "-6.00", "0.5"), "on" or "off" for a check box, the checked button's caption for a
// radio pair ("PTT" or "Auto"); "?" for an index outside the record's range.
std::string StepText(const DSPParam& record);

// The listing line of one record: page number and slot, the address as 0x and four upper-case
// hex digits, the name in double quotes, the step text, the unit when the record has one, and
// the device value in decimal, separated by single blanks:
//   0 0 0x3000 "Input 1 tone Bass" 0.00 dB 12
std::string RecordListingLine(int page, int slot, const DSPParam& record);

// "0x3000": a parameter address as 0x and four upper-case hex digits.
std::string AddressText(std::uint32_t address);

// "+4.00 dB": StepText followed by the unit, where the record has one.
std::string LabelWithUnit(const DSPParam& record);

// "0x3000 (Input 1 tone Bass)": the record's address and name, for messages.
std::string DescribeRecord(const DSPParam& record);
// "0..24": the lowest and the highest device value that give a valid step.
std::string DeviceRangeText(const DSPParam& record);

// The name of a mixer mode ("Mixer", "Stereo Select", "Dual Mono Select"), or "?" outside 0..2.
const char* MixerModeName(int mode);

// The largest parameter file taken as input (kmr::ReadInputFile); a real one is about 10 KB.
inline constexpr std::uint64_t PARAM_FILE_MAX_BYTES = 1 << 20;

// The parameter file for mode and the records' current device values.
std::string FormatParamFile(int mode, CDSPParamTable& table);

// What a parameter file holds: the mode, and the device value of every record, in table order
// (the value of GetPage(page)[slot] is at page's first record position + slot).
struct ParamSettings {
    int mode = -1;
    std::uint16_t deviceValues[PARAM_COUNT] = {};
};

// Where a parameter file is wrong: line is 1-based, or 0 for a fault of the file as a whole
// (the mode or a record missing).
struct ParamFileError {
    int line = 0;
    std::string reason;
};

// Checks every line of text against table and fills *settings. False at the first fault, with
// *error saying where and why (unknown address, bad number, value out of its record's range,
// mode outside 0..2, a repeated mode or address, a line of another form, the mode or a record
// missing); *settings is then unspecified. Changes no record.
bool ParseParamFile(const std::string& text, CDSPParamTable& table, ParamSettings* settings,
                    ParamFileError* error);

// A record whose device value differs between two tables.
struct ParamDifference {
    int page = 0;
    int slot = 0;
    const DSPParam* a = nullptr;
    const DSPParam* b = nullptr;
};
// The records whose device values differ between a and b (two tables of the program's layout),
// in table order.
std::vector<ParamDifference> CompareParams(CDSPParamTable& a, CDSPParamTable& b);
// One line for a difference, naming the two sides:
//   0x3000 Input 1 tone Bass: amplifier +2.00 dB, file -1.00 dB
std::string DifferenceLine(const ParamDifference& d, const std::string& nameA, const std::string& nameB);
// The same for the mode: "mode: amplifier 1 Stereo Select, file 0 Mixer".
std::string ModeDifferenceLine(int modeA, int modeB, const std::string& nameA, const std::string& nameB);

// Where and why a file at path is wrong, for the user: "amp.txt:6: value 25 of 0x3000 (Input 1
// tone Bass) is outside its range 0..24", or "amp.txt: no mode line" for a fault of the whole
// file. The path is shown with its control bytes escaped.
std::string ParamFileFaultText(const std::string& path, const ParamFileError& error);

// Stores settings in the records: first the defaults of the settings' mode
// (CDSPParamTable::LoadModeDefaults), then each record's deviceValue and the index it converts
// to (values checked by ParseParamFile are always in range). The mode itself is the caller's to
// keep and to send.
void ApplyParamSettings(const ParamSettings& settings, CDSPParamTable& table);
