#include "params/MixerLink.h"

#include "protocol/NormalMessages.h"

namespace {

int ReadWord(CProtocolAppNormal& protocol, std::uint16_t address)
{
    std::uint16_t value = 0;
    return protocol.ReadParams(address, &value) == CProtocolAppNormal::OK ? value : -1;
}

} // namespace

unsigned ChangeModeOfMixer(int value, CProtocolAppNormal& protocol)
{
    return protocol.WriteParams(normal::ADDR_MIXER_MODE, static_cast<std::uint16_t>(value));
}

int ReadMixerMode(CProtocolAppNormal& protocol)
{
    const int v = ReadWord(protocol, normal::ADDR_MIXER_MODE);
    return v < 0 ? -1 : v - 1;
}

int ReadEqPresetCount(CProtocolAppNormal& protocol)
{
    return ReadWord(protocol, normal::ADDR_EQ_PRESET_COUNT);
}

int ReadVersionWord(int n, CProtocolAppNormal& protocol)
{
    return ReadWord(protocol, static_cast<std::uint16_t>(normal::ADDR_VERSION_FIRST + n));
}
