// Any reply a web server could send to the update check: status, Content-Type and body.
// Input: one byte of flags, two bytes of status, the Content-Type up to the first newline, then the body.
#include "fuzz/FuzzWork.h"
#include "ui/UpdateReply.h"

#include <cstdint>

namespace {

// The update window's own limit on a version file.
constexpr qint64 kMaxBody = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    UpdateReplyFacts facts;
    facts.NetworkError = (data[0] & 1) != 0;
    facts.TooLarge = (data[0] & 2) != 0;
    facts.HttpStatus = data[1] << 8 | data[2];
    const QByteArray rest(reinterpret_cast<const char*>(data + 3), static_cast<qsizetype>(size - 3));
    const qsizetype newline = rest.indexOf('\n');
    facts.ContentType = QString::fromLatin1(newline < 0 ? rest : rest.left(newline));
    facts.Body = newline < 0 ? QByteArray() : rest.mid(newline + 1);

    const std::optional<QString> version = EvaluateUpdateReply(facts, kMaxBody);
    const bool acceptable = !facts.NetworkError && !facts.TooLarge && facts.HttpStatus >= 200 &&
                            facts.HttpStatus < 300 && facts.Body.size() <= kMaxBody;
    Require(version.has_value() == acceptable);
    if (!version)
        return 0;
    // Without a declared character set every byte shows as exactly one character.
    if (!facts.ContentType.contains(QLatin1String("charset="), Qt::CaseInsensitive))
        Require(*version == QString::fromLatin1(facts.Body));
    // Whatever the character set, decoding cannot make more characters than there were bytes.
    Require(version->size() <= facts.Body.size());
    return 0;
}
