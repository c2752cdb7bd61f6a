// The one writer of whole files: the CSV, the settings, the signature cache and the partner memo.
#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

// A file that could not be written; the message names the file and the reason.
class FileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class WriteTarget {
    // A path the user chose: a link is followed to its file, a device or fifo is written to as it is.
    UserChoice,
    // One of the program's own files: only a regular file or nothing may stand there, never a link.
    OwnFile,
};

// Writes `bytes` as the whole content of `path`. A regular file (or a new one) is written beside and renamed
// into place after a flush, so a failure leaves the old file as it was and never half a new one; when the
// folder refuses the temporary file, a writable file is rewritten in place instead. A device, fifo or
// socket the user chose is written to in place (a fifo without a reader fails rather than waits). A folder,
// and for own files anything but a regular file, is refused. Nothing is ever renamed over a link or a node.
// Throws FileWriteError ("Unable to write to <path>: <reason>").
void WriteFileAtomically(const QString& path, const QByteArray& bytes, WriteTarget target = WriteTarget::UserChoice);
