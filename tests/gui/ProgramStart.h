#pragma once
// Runs the desktop programs as from a terminal, with and without a display they can open.
#include "support/CliRunner.h"

#include <string>

// Runs program with none of the variables that name a display or a Qt platform, plus env
// ("NAME=value ...").
CliRun RunWithoutDisplay(const std::string& program, const std::string& args, const std::string& env = "");

// An X display name (":N") that no X server on this machine serves, so opening it fails.
std::string UnreachableDisplay();
