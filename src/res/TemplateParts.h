#pragma once
// The dialog templates, one function per part of the program, each in a file of its own.
#include "res/DialogTemplate.h"

#include <vector>

// The main window (102) and the About box (100).
std::vector<DialogTemplate> MainTemplates();
// The Communication panel (105) and the Serial Port Settings dialog (132).
std::vector<DialogTemplate> CommTemplates();
// The update panel (104), the update dialog (129), the progress window (144), the message box (152).
std::vector<DialogTemplate> UpdateTemplates();
// The Parameters Adjust container (106) and the eight parameter pages (107-114).
std::vector<DialogTemplate> ParamTemplates();
