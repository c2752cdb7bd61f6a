// What decoding a picture gave, kept between searches: per file, keyed by its path and what stat() says of
// it, so that a second search over unchanged folders decodes nothing.
#pragma once

#include "engine/MatchingRules.h"
#include "platform/FileKey.h"
#include "picture/PictureLoader.h"
#include "picture/PictureTypes.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// What the matcher needs of one picture, whether a decoder just made it or the cache kept it.
struct PreparedPicture {
    bool Decoded = false;   // false: the picture could not be decoded
    LoadResult Size;        // Height, Width and ScaleDenom when decoded
    bool HeadRead = false;  // false: the head could not be read, Head means nothing
    TPreBuffer Head{};
    bool Signed = false;    // Pos and Neg hold the signature
    TWaveletCoefs Pos{};
    TWaveletCoefs Neg{};
};

// The settings of a search that decide whether a cached entry serves it.
struct CacheParams {
    int32_t MinPicWidth = 0;   // the decoding scale, and so size, success and signature, depend on the minimums
    int32_t MinPicHeight = 0;
    bool NeedSignature = true; // false when only identical files are searched
};

// One file per picture folder under the cache folder, written atomically, loaded on first use. A file that
// is damaged, truncated, of another version or of another folder is ignored as a whole and rewritten.
// Find and Store may be called from several threads at once.
class SignatureCache {
public:
    // `folder` is created when the cache is first saved.
    explicit SignatureCache(QString folder);
    ~SignatureCache();
    SignatureCache(const SignatureCache&) = delete;
    SignatureCache& operator=(const SignatureCache&) = delete;

    // What the cache holds for `path` when the entry's key equals `key` and the entry serves a search with
    // `params`: a failure only under the same minimums; a picture only at the same decoding scale, with its
    // head and, when wanted, its signature unless it is too small to need them.
    std::optional<PreparedPicture> Find(const QString& path, const FileKey& key, const CacheParams& params);
    // Keeps what decoding `path` gave, `key` being its stat() from before it was read. A decoded picture whose
    // head could not be read is not kept.
    void Store(const QString& path, const FileKey& key, const CacheParams& params, const PreparedPicture& picture);
    // Writes every folder file whose entries changed. Entries not used in this run are kept while their file
    // still has the same key. False when some file could not be written (the cache only ever saves time, so
    // the caller need do nothing about it). Once `cancelled` is set (from any thread) no further file is
    // begun: those written stay, the others keep their earlier contents, and the result is false.
    bool Save(const std::atomic<bool>* cancelled = nullptr);

    // The file that holds the entries of the pictures in `pictureFolder` (which ends with "/").
    QString FileFor(const QString& pictureFolder) const;
    // Lookups answered from the cache and entries stored, since construction.
    int Hits() const;
    int Stores() const;

private:
    struct Entry;
    struct Folder;
    Folder& folderOf(const QString& folderPath);  // loads it on first use; the mutex is held
    std::optional<PreparedPicture> lookup(const QString& path, const FileKey& key, const CacheParams& params);
    static QByteArray serialise(const QString& folderPath, const QHash<QString, Entry>& entries);

    QString folder_;
    mutable std::mutex mutex_;
    QHash<QString, std::shared_ptr<Folder>> folders_;
    int hits_ = 0;
    int stores_ = 0;
};
