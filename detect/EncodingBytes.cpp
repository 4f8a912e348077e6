#include "detect/EncodingBytes.h"

#include "engine/Lumiva.h"

namespace EncodingBytes {

namespace {

// One character of the engine's UTF-8: its code point, or Undecodable for none or more than one.
char32_t OneCharacter(const unsigned char* Text, std::size_t Size)
{
    if (Size == 0)
        return Undecodable;
    const unsigned lead = Text[0];
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (Size != length)
        return Undecodable;
    char32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i)
        code = code << 6 | (Text[i] & 0x3Fu);
    return code;
}

} // namespace

// Into UTF-8, which the C library converts without loading a module for it.
TTable Decode(TLumiva& Converter, const std::string& Name)
{
    TTable characters;
    characters.fill(Undecodable);
    try {
        Converter.Start(Name, "UTF-8", 0);
    } catch (const TLumiva::EStartError&) {
        return characters;
    }
    for (unsigned b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const char* in = &byte;
        std::size_t inLeft = 1;
        unsigned char out[16];
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        if (Converter.Convert(&in, &inLeft, &outPtr, &outLeft) == 0 && inLeft == 0)
            characters[b] = OneCharacter(out, sizeof out - outLeft);
    }
    Converter.Close();
    return characters;
}

} // namespace EncodingBytes
