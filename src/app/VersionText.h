#pragma once
// The firmware and EQ version labels of the Communication panel, from the four version words.
#include <string>

// "1.2.03", "1.2.03 b2", "1.2.03rc2" from the two firmware words.
std::string FirmwareVersionText(int f1, int f2);
// "0.1.05.G", "0.1.05.J", "0.1.05.Jrc2" from the two EQ words.
std::string EqVersionText(int e1, int e2);
// "FW V: 04B30000 / V1.2.03"; "FW V: 0000 / 000000" when either word is negative (read failed).
std::string FirmwareLabelText(int f1, int f2);
// "EQ V: 00690000 / V0.1.05.G"; "EQ V: 0000 / 000000" when either word is negative.
std::string EqLabelText(int e1, int e2);
