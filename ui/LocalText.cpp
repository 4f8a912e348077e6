#include "ui/LocalText.h"

#include "util/Mysysutils.h"

namespace {

// Bytes that are no UTF-8 become the lone surrogates U+DC80 to U+DCFF and back, so that a name
// in another character set (Linux names are bytes) survives the widgets byte for byte.
constexpr char16_t EscapeBase = 0xDC00;

} // namespace

QString ToQString(const std::string& Text)
{
    const auto* data = reinterpret_cast<const unsigned char*>(Text.data());
    QString result;
    result.reserve(static_cast<qsizetype>(Text.size()));
    std::size_t run = 0; // start of the well-formed bytes not yet taken
    for (std::size_t at = 0; at < Text.size();) {
        const std::size_t length = Utf8SequenceLength(data + at, Text.size() - at);
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
