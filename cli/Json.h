#pragma once
// The command line's --json output: one JSON document on standard output, built as text.
#include <string>
#include <string_view>

// text as a JSON string: quoted, with '"', '\' and control bytes escaped, and bytes above 0x7F
// written as \u00XX (as Latin-1), so that the document is valid whatever a device reported.
std::string JsonString(std::string_view text);

// "null" for an absent value.
inline constexpr const char* JSON_NULL = "null";

// A JSON object built member by member: Add("name", value) with value already JSON text.
class JsonObject {
public:
    JsonObject& Add(std::string_view name, const std::string& json);
    JsonObject& Add(std::string_view name, long long number) { return Add(name, std::to_string(number)); }
    JsonObject& Add(std::string_view name, int number) { return Add(name, std::to_string(number)); }
    JsonObject& AddBool(std::string_view name, bool value) { return Add(name, std::string(value ? "true" : "false")); }
    JsonObject& AddString(std::string_view name, std::string_view text) { return Add(name, JsonString(text)); }
    std::string Text() const { return m_text + "}"; }

private:
    std::string m_text = "{";
};
