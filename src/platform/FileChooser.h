#pragma once
// The program's file dialog as the core sees it: ask the user for one file, an existing one to
// open or a new or existing name to save to, and return its path. The desktop program installs
// a chooser that shows its file dialog; the CLI and the tests install one that returns a path
// they were given.
#include <functional>
#include <string>

namespace kmr {

// A chooser gets:
//   filter            entries of a description and a pattern, each followed by '|', e.g.
//                     "Mixer Software Update files|*.bin|";
//   defaultExtension  added to a typed name that has none ("bin", without the dot);
//   initialName       the name proposed when the dialog opens ("WriteFlashFile"); a path
//                     ("/home/me/amps/amp1.txt") opens the dialog in its folder;
//   mustExist         only an existing file in an existing folder may be chosen (to open);
//                     false also allows a new name (to save).
// It returns the chosen path, or an empty text when the user cancels.
using FileChooser = std::function<std::string(const std::string& filter, const std::string& defaultExtension,
                                              const std::string& initialName, bool mustExist)>;

// Asks the installed chooser and returns its answer; empty (cancel) when none is installed.
// Any thread may call; the chooser is called outside any lock, so it may take as long as the
// user does.
std::string ChooseFile(const std::string& filter, const std::string& defaultExtension,
                       const std::string& initialName, bool mustExist);

// Installs chooser (an empty one removes it); returns the previous one.
FileChooser SetFileChooser(FileChooser chooser);

} // namespace kmr
