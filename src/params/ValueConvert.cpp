#include "params/ValueConvert.h"

namespace {

constexpr std::uint8_t GROUP_DIRECT_IN = 4;
constexpr std::uint8_t GROUP_LIMITER = 5;
constexpr std::uint8_t SLOT_DIRECT_IN_VOLUME = 0;
constexpr std::int32_t DIRECT_IN_VOLUME_OFFSET = 20;  // device value of index 0 ("-40" dB)
constexpr std::uint32_t DEVICE_VALUE_MAX = 0xFFFF;

bool IsLimiterSetPoint(const DSPParam& record)
{
    return record.group == GROUP_LIMITER && (record.slot == 2 || record.slot == 5 || record.slot == 8);
}

} // namespace

std::int32_t ConvertValue(const DSPParam& record, std::int32_t value, int direction)
{
    if (record.group == GROUP_DIRECT_IN && record.slot == SLOT_DIRECT_IN_VOLUME) {
        if (direction == CONVERT_TO_DEVICE)
            return value + DIRECT_IN_VOLUME_OFFSET;
        if (direction == CONVERT_FROM_DEVICE)
            return value - DIRECT_IN_VOLUME_OFFSET;
        return 0;
    }
    if (IsLimiterSetPoint(record)) {
        // Reversal is its own inverse: the same rule serves both directions.
        if (direction == CONVERT_TO_DEVICE || direction == CONVERT_FROM_DEVICE)
            return record.steps - 1 - value;
        return 0;
    }
    return value;
}

std::uint32_t ToDeviceValue(DSPParam& record)
{
    record.deviceValue = static_cast<std::uint32_t>(ConvertValue(record, record.index, CONVERT_TO_DEVICE));
    return record.deviceValue;
}

std::int32_t FromDeviceValue(DSPParam& record)
{
    // A device value is 16 bits; anything wider cannot have come from the amplifier, and
    // would not survive the signed arithmetic below.
    if (record.deviceValue > DEVICE_VALUE_MAX)
        return FROM_DEVICE_TOO_HIGH;
    const auto value = static_cast<std::int32_t>(record.deviceValue);
    const std::int32_t r = ConvertValue(record, value, CONVERT_FROM_DEVICE);
    if (r >= record.steps)
        return FROM_DEVICE_TOO_HIGH;
    if (r < 0)
        return FROM_DEVICE_TOO_LOW;
    record.index = r;
    return r;
}
