// The identity of a file's content as far as Voralin's caches trust it, and the checksum their files carry.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// What stat() says of a file. The change time is part of it too: a change of permissions touches only that,
// and a file we may no longer read must be decoded (and fail) again rather than be served from a cache.
struct FileKey {
    int64_t Size = 0;
    int64_t ModifiedSeconds = 0;
    int64_t ModifiedNanoseconds = 0;
    int64_t ChangedSeconds = 0;
    int64_t ChangedNanoseconds = 0;
    uint64_t Inode = 0;
    friend bool operator==(const FileKey&, const FileKey&) = default;
};

// stat() of the file (links followed), nothing when it cannot be had.
std::optional<FileKey> StatFileKey(const QString& path);

// 64-bit FNV-1a, continuing from `hash`.
inline uint64_t Fnv1a(const char* data, qsizetype size, uint64_t hash = 14695981039346656037ull) {
    for (qsizetype k = 0; k < size; ++k) {
        hash ^= static_cast<uint8_t>(data[k]);
        hash *= 1099511628211ull;
    }
    return hash;
}
