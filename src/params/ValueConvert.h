#pragma once
// Conversions between a record's step index (what the user edits, 0 .. steps-1) and its device
// value (what travels to and from the amplifier, 16 bits on the wire). They are equal except:
//   - Direct In Volume Level (group 4, slot 0) is sent with an offset of 20: index 0..50 is
//     device value 20..70;
//   - the three limiter Set Points (group 5, slots 2, 5, 8) are sent reversed: index i is
//     device value steps-1-i, so 0..40 becomes 40..0.
//
// Threads: each call works on the one record it is given; see ParamTable.h for who may touch
// a record when.
#include "params/ParamTable.h"

#include <cstdint>

// Direction codes of ConvertValue.
constexpr int CONVERT_TO_DEVICE = 1;    // step index to device value
constexpr int CONVERT_FROM_DEVICE = 2;  // device value to step index

// Results of FromDeviceValue when the device value gives no valid index.
constexpr std::int32_t FROM_DEVICE_TOO_HIGH = -1;  // converted value >= steps
constexpr std::int32_t FROM_DEVICE_TOO_LOW = -2;   // converted value < 0

// Converts value in `direction` for `record` (only group, slot and steps are used) and returns
// the result, which may lie outside the record's range. A special record (see above) given a
// direction other than 1 or 2 gives 0; every other record returns value unchanged. Changes
// nothing.
std::int32_t ConvertValue(const DSPParam& record, std::int32_t value, int direction);

// Sets record.deviceValue from record.index (to be called just before the record is written)
// and returns it. The wire carries its low 16 bits.
std::uint32_t ToDeviceValue(DSPParam& record);

// Converts record.deviceValue (the 16-bit value just read, zero-extended) to a step index.
// In range: sets record.index and returns it. Otherwise leaves index unchanged and returns
// FROM_DEVICE_TOO_HIGH (result >= steps, or a deviceValue above 0xFFFF) or
// FROM_DEVICE_TOO_LOW (result < 0); the reader reports the read as failed.
std::int32_t FromDeviceValue(DSPParam& record);
