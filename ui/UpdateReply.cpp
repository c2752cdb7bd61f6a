// Reply evaluation of the update check: status, size and character set.
#include "ui/UpdateReply.h"

#include <QStringDecoder>

namespace {

bool IsSuccessStatus(int status) { return status >= 200 && status < 300; }

QString DecodeBody(const QByteArray& body, const QString& contentType)
{
    static const QString kCharset = QStringLiteral("charset=");
    const qsizetype at = contentType.indexOf(kCharset, 0, Qt::CaseInsensitive);
    if (at >= 0) {
        QString name = contentType.mid(at + kCharset.size()).section(u';', 0, 0).trimmed();
        name.remove(u'"');
        QStringDecoder decoder(name.toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(body);
    }
    return QString::fromLatin1(body);
}

}  // namespace

std::optional<QString> EvaluateUpdateReply(const UpdateReplyFacts& facts, qint64 maxBodyBytes)
{
    // A redirect is a failure too: the version file is expected at exactly this address.
    if (facts.NetworkError || !IsSuccessStatus(facts.HttpStatus) || facts.TooLarge)
        return std::nullopt;
    if (facts.Body.size() > maxBodyBytes)
        return std::nullopt;
    return DecodeBody(facts.Body, facts.ContentType);
}
