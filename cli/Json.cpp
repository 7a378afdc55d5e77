#include "Json.h"

#include <cstdint>

namespace {

// True when text is well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing above U+10FFFF.
bool IsUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        int more = 0;
        std::uint32_t cp = 0, min = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            more = 1, cp = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            more = 2, cp = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            more = 3, cp = b & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(more) >= text.size())
            return false;  // cut short
        for (int k = 1; k <= more; ++k) {
            const auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

} // namespace

Json JsonText(std::string_view text)
{
    if (IsUtf8(text))
        return Json(std::string(text));
    Json bytes = Json::array();
    for (const char c : text)
        bytes.push_back(static_cast<unsigned char>(c));
    return bytes;
}

Json JsonTextOrNull(std::string_view text)
{
    return text.empty() ? Json(nullptr) : JsonText(text);
}

std::string JsonLine(const Json& document)
{
    // Every string was checked above, so the strict writer never meets bad UTF-8.
    return document.dump(-1, ' ', false, Json::error_handler_t::strict);
}
