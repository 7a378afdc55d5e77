#pragma once
// The Parameter Option panel's exchanges with the amplifier that need no window: the mixer mode,
// the EQ preset count and the version words. Each is one exchange of the normal protocol.
#include "protocol/ProtocolAppNormal.h"

// Writes value to the mixer-mode parameter (the amplifier stores mode + 1). 0 on success.
unsigned ChangeModeOfMixer(int value, CProtocolAppNormal& protocol = TheNormalProtocol());
// The amplifier's mixer mode (its stored value minus 1), or -1 if the read failed.
int ReadMixerMode(CProtocolAppNormal& protocol = TheNormalProtocol());
// The number of speaker EQ presets in the amplifier, or -1 if the read failed.
int ReadEqPresetCount(CProtocolAppNormal& protocol = TheNormalProtocol());
// Version word n (0, 1: firmware; 2, 3: EQ), or -1 if the read failed.
int ReadVersionWord(int n, CProtocolAppNormal& protocol = TheNormalProtocol());
