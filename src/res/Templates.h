#pragma once
// The program's dialog templates, by number (res/Resource.h).
#include "res/DialogTemplate.h"

// The template with number, or null if there is none.
const DialogTemplate* FindDialogTemplate(int number);
