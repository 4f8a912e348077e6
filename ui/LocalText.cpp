#include "ui/LocalText.h"

namespace {

// Bytes that are no UTF-8 become the lone surrogates U+DC80 to U+DCFF and back, so that a name
// in another character set (Linux names are bytes) survives the widgets byte for byte.
constexpr char16_t EscapeBase = 0xDC00;

// The length of the well-formed UTF-8 sequence at Data, or 0.
std::size_t SequenceLength(const unsigned char* Data, std::size_t Left)
{
    const unsigned char lead = Data[0];
    if (lead < 0x80)
        return 1;
    std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || length > Left)
        return 0;
    // The second byte's narrower ranges rule out overlong forms, surrogates and values past U+10FFFF.
    const unsigned char second = Data[1];
    const bool secondOk = lead == 0xE0 ? second >= 0xA0 && second <= 0xBF
                        : lead == 0xED ? second >= 0x80 && second <= 0x9F
                        : lead == 0xF0 ? second >= 0x90 && second <= 0xBF
                        : lead == 0xF4 ? second >= 0x80 && second <= 0x8F
                                       : (second & 0xC0) == 0x80;
    if (!secondOk)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((Data[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

QString ToQString(const std::string& Text)
{
    const auto* data = reinterpret_cast<const unsigned char*>(Text.data());
    QString result;
    result.reserve(static_cast<qsizetype>(Text.size()));
    std::size_t run = 0; // start of the well-formed bytes not yet taken
    for (std::size_t at = 0; at < Text.size();) {
        const std::size_t length = SequenceLength(data + at, Text.size() - at);
        if (length > 0) {
            at += length;
            continue;
        }
        result += QString::fromUtf8(Text.data() + run, static_cast<qsizetype>(at - run));
        result += QChar(static_cast<char16_t>(EscapeBase + data[at]));
        run = ++at;
    }
    result += QString::fromUtf8(Text.data() + run, static_cast<qsizetype>(Text.size() - run));
    return result;
}

std::string ToLocalString(const QString& Text)
{
    std::string result;
    qsizetype run = 0;
    for (qsizetype at = 0; at < Text.size(); ++at) {
        const char16_t c = Text[at].unicode();
        const bool paired = at > 0 && Text[at - 1].isHighSurrogate();
        if (c < EscapeBase + 0x80 || c > EscapeBase + 0xFF || paired)
            continue;
        result += Text.mid(run, at - run).toUtf8().toStdString();
        result += static_cast<char>(c - EscapeBase);
        run = at + 1;
    }
    result += Text.mid(run).toUtf8().toStdString();
    return result;
}
