// What the file system says of one picture file beyond the folder walk: its identity (so two names of one
// file count once), its link count and its modification time.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

struct FileFacts {
    uint64_t Device = 0;
    uint64_t Inode = 0;
    uint64_t LinkCount = 1;      // names the file has, here or anywhere else on its file system
    int64_t Size = 0;            // bytes of the file a link leads to
    int64_t ModifiedNs = 0;      // modification time, nanoseconds since 1970 (UTC)
    bool SymbolicLink = false;   // the name is a link: removing it frees no picture's bytes
    friend bool operator==(const FileFacts&, const FileFacts&) = default;
};

// Two names of one file: removing either frees nothing while the other stays.
inline bool SameFile(const FileFacts& a, const FileFacts& b)
{
    return a.Device == b.Device && a.Inode == b.Inode;
}

// lstat() of the name for its identity and link count, stat() through a link for size and time. Nothing when
// the name does not exist (or cannot be examined).
std::optional<FileFacts> ReadFileFacts(const QString& path);
