#pragma once
// The desktop program's file chooser (platform/FileChooser.h): Qt's open-file dialog.
#include "platform/FileChooser.h"

#include <QString>
#include <string>

// A chooser filter ("description|pattern|" entries, e.g. "Mixer Software Update files|*.bin|")
// as Qt name filters: "Mixer Software Update files (*.bin)", entries joined by ";;", several
// patterns of one entry ("*.bin;*.img") separated by blanks. An empty filter gives an empty
// text (every file).
QString QtNameFilters(const std::string& filter);

// A chooser that shows QFileDialog modally over the active window, in the current folder, with
// the filter, the default suffix added to a typed name without one, and the initial name
// proposed. With mustExist only an existing file in an existing folder can be chosen. Returns
// the chosen path in the file system's encoding, or "" when the user cancels.
// GUI thread only: a call from any other thread shows nothing and returns "" (a cancel).
kmr::FileChooser QtFileChooser();

// Installs QtFileChooser as the program's chooser (the desktop program does so at start);
// returns the previous chooser.
kmr::FileChooser InstallQtFileChooser();
