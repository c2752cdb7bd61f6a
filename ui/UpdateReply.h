// The update check's verdict on one finished reply, apart from the network and the window, so that any
// reply a server can send is checked without either.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What the finished request left: its error state, HTTP status, Content-Type header and body.
struct UpdateReplyFacts {
    bool NetworkError = false;  // the request failed, was aborted or timed out
    int HttpStatus = 0;         // 0 when no status line arrived
    bool TooLarge = false;      // the reply was stopped because it declared or sent too much
    QString ContentType;        // the header as sent, empty when missing
    QByteArray Body;
};

// The version text the server sent, decoded in the character set the Content-Type declares (Latin-1 when it
// declares none this program knows, so every byte still shows as one character); nullopt when the check
// failed: a network error, a status outside 200..299 (redirects included), or a body over maxBodyBytes.
std::optional<QString> EvaluateUpdateReply(const UpdateReplyFacts& facts, qint64 maxBodyBytes);
