#pragma once
// The command line's --json output: one JSON document, on one line of standard output.
#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

// A document whose members stay in the order they are added.
using Json = nlohmann::ordered_json;

// text as a JSON value. Valid UTF-8 is a JSON string holding the very characters (control
// characters escaped as JSON requires). Text that is not valid UTF-8 (a Linux path or a name
// a device reports may hold any bytes) is an array of its byte values instead, so that it comes
// back exactly: [97,109,112,255] for the bytes "amp" and 0xFF.
Json JsonText(std::string_view text);
// JsonText, or null for an empty text.
Json JsonTextOrNull(std::string_view text);

// The document as one line of UTF-8 text.
std::string JsonLine(const Json& document);
