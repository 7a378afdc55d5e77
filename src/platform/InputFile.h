#pragma once
// Files the user names as input (update files, parameter files): only regular files are taken,
// never more than a limit, and anything else is refused before it is opened (a FIFO or a
// device named by mistake neither hangs the program nor is read without end, and a serial
// device's modem lines do not move).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kmr {

// Opens path for reading if it is a regular file of at most maxBytes. Returns the descriptor
// (the caller closes it) and its size in *size, or -1 with *reason: the system's words for a
// file that cannot be opened, or "it is a folder", "it is not a regular file", "it is larger
// than 1 MiB".
int OpenInputFile(const std::string& path, std::uint64_t maxBytes, std::string* reason, std::uint64_t* size = nullptr);

// Reads all of such a file into *text. False with *reason as above, or the read error.
bool ReadInputFile(const std::string& path, std::uint64_t maxBytes, std::string* text, std::string* reason);

// text as it may be shown in a message or on a terminal: control bytes, DEL and NUL written
// as \xNN, and a backslash as \\, so a file's or an argument's bytes can neither cut the
// message short nor drive the terminal.
std::string Printable(std::string_view text);

// text cut to about maxChars characters with "..." after it, for a word quoted from a file or an
// argument (a 500,000-digit number stays one readable line); never cut inside a UTF-8 character.
inline constexpr std::size_t QUOTE_MAX_CHARS = 60;
std::string Shortened(std::string_view text, std::size_t maxChars = QUOTE_MAX_CHARS);

// 'text', shortened and escaped: how a word from outside the program (a token of a file, an
// argument that is not a path) is quoted in a message. Paths are quoted whole, escaped.
std::string Quoted(std::string_view text);

} // namespace kmr
