// Little-endian records for the cache files: a writer that appends numbers and texts, and a reader that
// checks every read against the end, so that a short or damaged file is found out instead of overrun.
#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cstring>

class RecordWriter {
public:
    void Bytes(const void* data, size_t size) { out_.append(static_cast<const char*>(data), static_cast<qsizetype>(size)); }
    template <typename T> void Number(T value) {
        const T little = qToLittleEndian(value);
        Bytes(&little, sizeof little);
    }
    void Text(const QByteArray& text, bool wide) {
        if (wide)
            Number<uint32_t>(static_cast<uint32_t>(text.size()));
        else
            Number<uint16_t>(static_cast<uint16_t>(text.size()));
        out_.append(text);
    }
    QByteArray& Data() { return out_; }

private:
    QByteArray out_;
};

// A read past the end marks the whole file bad.
class RecordReader {
public:
    RecordReader(const char* data, qsizetype size) : data_(data), size_(size) {}
    bool Ok() const { return ok_; }
    bool AtEnd() const { return pos_ == size_; }
    bool Bytes(void* out, qsizetype size) {
        if (!ok_ || size < 0 || size > size_ - pos_)
            return ok_ = false;
        std::memcpy(out, data_ + pos_, static_cast<size_t>(size));
        pos_ += size;
        return true;
    }
    template <typename T> T Number() {
        T value{};
        Bytes(&value, sizeof value);
        return qFromLittleEndian(value);
    }
    QByteArray Text(bool wide) {
        const qsizetype length = wide ? qsizetype{Number<uint32_t>()} : qsizetype{Number<uint16_t>()};
        if (!ok_ || length > size_ - pos_) {
            ok_ = false;
            return {};
        }
        QByteArray text(data_ + pos_, length);
        pos_ += length;
        return text;
    }

private:
    const char* data_;
    qsizetype size_;
    qsizetype pos_ = 0;
    bool ok_ = true;
};
