#include "Json.h"

#include <cstdio>

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

JsonObject& JsonObject::Add(std::string_view name, const std::string& json)
{
    if (m_text.size() > 1)
        m_text += ",";
    m_text += JsonString(name);
    m_text += ":";
    m_text += json;
    return *this;
}
