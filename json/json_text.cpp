// Setup-file bytes as JSON strings, and the printed form of a report.
#include "json_text.h"

// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
static size_t Utf8SequenceLength(const std::string& text, size_t i)
{
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    // The second byte's range rules out overlong forms, surrogates and
    // code points past U+10FFFF.
    unsigned char second = static_cast<unsigned char>(text[i + 1]);
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high)
        return 0;
    for (size_t k = 2; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        if (next < 0x80 || next > 0xBF)
            return 0;
    }
    return length;
}

JsonValue JsonText(const std::string& bytes)
{
    std::string utf8;
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        size_t length = c < 0x80 ? 1 : Utf8SequenceLength(bytes, i);
        if (length == 0) {
            // The byte's own number as a character, in UTF-8.
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
            length = 1;
        } else {
            utf8.append(bytes, i, length);
        }
        i += length;
    }
    return JsonValue(utf8);
}

std::string JsonDocument(const JsonValue& document)
{
    return document.dump(2, ' ', true) + "\n";
}
