// Folder listing, what a path is, and the system's mounts: everything the folder walk asks the system.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

// What the listing itself says of an entry; Link and Unknown need a look at the entry to know more.
enum class ListedType { Folder, Link, Unknown, Other };

struct ListedEntry {
    QString Name;
    ListedType Type = ListedType::Unknown;
};

struct FolderListing {
    std::vector<ListedEntry> Entries;  // every entry but "." and "..", in the system's order
    // Entries whose names the system's encoding cannot hold: their bytes would come back as another name.
    std::vector<QByteArray> UnreadableNames;
    uint64_t Device = 0;
    uint64_t Inode = 0;
    bool PseudoFileSystem = false;  // proc, sysfs and the like, by the file system's own type
};

// The listing of a folder, nothing when it cannot be opened. The handle is closed before returning.
std::optional<FolderListing> ListFolder(const QString& path);

enum class PathKind { Missing, Folder, RegularFile, Other };

struct PathStatus {
    PathKind Kind = PathKind::Missing;
    bool Link = false;  // the name itself is a symbolic link
    int64_t Size = 0;
    int64_t ModifiedSeconds = 0;
    uint64_t Device = 0;
    uint64_t Inode = 0;
};

// What stands at `path` when the final link is not followed, except that a link to a folder counts as a
// folder; any other link (broken included), fifo, socket or device is Other. Size and times are the
// entry's own for a regular file.
PathStatus EntryStatus(const QString& path);
// What `path` names with every link followed.
PathStatus TargetStatus(const QString& path);
// The same for a path in the system's own bytes, for names no QString can hold.
PathStatus TargetStatus(const QByteArray& nativePath);
// Whether the file may be written by this user.
bool IsWritable(const QString& path);
// The real path without a trailing delimiter, or empty when it does not exist.
QString RealPath(const QString& path);
// The user's numeric id as text, as trash folder names carry it.
QString UserIdText();

struct MountPoint {
    QString Path;
    QString Type;
};
// Every mount of this process, from the system's table; empty where there is none.
std::vector<MountPoint> ReadMountTable();
// Whether a mount type holds the kernel's own tables rather than files (proc, sysfs, devtmpfs, cgroup...).
bool IsPseudoFileSystemType(const QString& type);
// The devices of the pseudo file systems mounted here. Only their mount points are looked at, which are
// the kernel's own and never wait on a network.
std::set<uint64_t> PseudoFileSystemDevices();
