#pragma once
// The desktop program's file chooser (platform/FileChooser.h): Qt's open-file dialog.
#include "platform/FileChooser.h"

#include <QSize>
#include <QString>
#include <string>

// A chooser filter ("description|pattern|" entries, e.g. "Mixer Software Update files|*.bin|")
// as Qt name filters: "Mixer Software Update files (*.bin)", entries joined by ";;", several
// patterns of one entry ("*.bin;*.img") separated by blanks. An empty filter gives an empty
// text (every file).
QString QtNameFilters(const std::string& filter);

// The folder the chooser opens in: the folder of lastChosen (a path in the file system's
// encoding) while that folder exists, else the home folder (also when nothing was chosen yet).
QString ChooserStartFolder(const std::string& lastChosen);

// The size the chooser opens at on a screen with available size: big enough to read every
// column of the detail view (CHOOSER_SIZE), but never bigger than the screen.
QSize ChooserSize(QSize available);
inline constexpr QSize CHOOSER_SIZE{960, 600};

// A chooser that shows Qt's own (not the desktop's) QFileDialog modally over the active window,
// with the filter, the default suffix added to a typed name without one, and the initial name
// proposed. It opens at ChooserSize in the detail view, its columns as wide as their contents
// (the name column takes the rest), in ChooserStartFolder of the initial name when that is a
// path, else of the last file chosen through it in this run. With mustExist it is an Open
// dialog where only an existing file in an existing folder can be chosen; without, a Save
// dialog that takes a new name and asks before an existing file is chosen. Returns the chosen
// path in the file system's encoding, or "" when the user cancels.
// GUI thread only: a call from any other thread shows nothing and returns "" (a cancel).
kmr::FileChooser QtFileChooser();

// Installs QtFileChooser as the program's chooser (the desktop program does so at start);
// returns the previous chooser.
kmr::FileChooser InstallQtFileChooser();
