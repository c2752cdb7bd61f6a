// One line per pair: "<size> <digest> <size> <digest> <path> <path>", paths percent-encoded, after a line that
// names the format.
#include "history/RememberedPairs.h"

#include "history/HistoryFiles.h"
#include "platform/FileFacts.h"

#include <QFile>
#include <QUrl>

namespace {

const QByteArray kHeader = QByteArrayLiteral("Voralin remembered pairs 1");
constexpr qint64 kMaxFileBytes = 64 << 20;
constexpr qsizetype kDigestLength = 64;

bool validDigest(const QByteArray& digest) {
    if (digest.size() != kDigestLength)
        return false;
    for (const char c : digest) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

QByteArray encodePath(const QString& path) {
    return path.isEmpty() ? QByteArrayLiteral("-") : QUrl::toPercentEncoding(QFile::encodeName(path), "/");
}

QString decodePath(const QByteArray& field) {
    return field == "-" ? QString() : QFile::decodeName(QByteArray::fromPercentEncoding(field));
}

}  // namespace

QString PassedOverText(int64_t count) {
    return QStringLiteral("Pairs passed over as not duplicates: ") + QString::number(count);
}

std::optional<FileIdentity> IdentityOf(const QString& path) {
    const std::optional<FileFacts> facts = ReadFileFacts(path);
    if (!facts)
        return std::nullopt;
    std::optional<QByteArray> digest = FileDigest(path);
    if (!digest)
        return std::nullopt;
    return FileIdentity{facts->Size, std::move(*digest)};
}

RememberedPairs::RememberedPairs(QString file) : file_(std::move(file)) {
    const std::optional<QByteArray> text = ReadHistoryFile(file_, kMaxFileBytes);
    if (!text || !text->startsWith(kHeader + '\n'))
        return;
    const QList<QByteArray> lines = text->split('\n');
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QList<QByteArray> f = lines[n].split(' ');
        if (f.size() != 6)
            continue;
        bool okA = false, okB = false;
        const FileIdentity a{f[0].toLongLong(&okA), f[1]};
        const FileIdentity b{f[2].toLongLong(&okB), f[3]};
        if (!okA || !okB || a.Size < 0 || b.Size < 0 || !validDigest(a.Digest) || !validDigest(b.Digest))
            continue;
        Remember(a, decodePath(f[4]), b, decodePath(f[5]));
    }
}

QString RememberedPairs::DefaultFile() { return HistoryFolder() + QStringLiteral("not-duplicates"); }

RememberedPairs::Key RememberedPairs::keyOf(const FileIdentity& a, const FileIdentity& b) {
    return a < b ? Key{a, b} : Key{b, a};
}

std::vector<RememberedPair> RememberedPairs::Pairs() const { return pairs_; }

bool RememberedPairs::Contains(const FileIdentity& a, const FileIdentity& b) const {
    return keys_.count(keyOf(a, b)) > 0;
}

bool RememberedPairs::Remember(const FileIdentity& a, const QString& pathA, const FileIdentity& b,
                               const QString& pathB) {
    if (a == b || !keys_.insert(keyOf(a, b)).second)
        return false;
    if (b < a)
        pairs_.push_back({b, a, pathB, pathA});
    else
        pairs_.push_back({a, b, pathA, pathB});
    sizes_.insert(a.Size);
    sizes_.insert(b.Size);
    return true;
}

bool RememberedPairs::Forget(const FileIdentity& a, const FileIdentity& b) {
    const Key key = keyOf(a, b);
    if (keys_.erase(key) == 0)
        return false;
    std::erase_if(pairs_, [&key](const RememberedPair& p) { return p.First == key.first && p.Second == key.second; });
    rebuildSizes();
    return true;
}

void RememberedPairs::Clear() {
    pairs_.clear();
    keys_.clear();
    sizes_.clear();
}

void RememberedPairs::rebuildSizes() {
    sizes_.clear();
    for (const RememberedPair& p : pairs_) {
        sizes_.insert(p.First.Size);
        sizes_.insert(p.Second.Size);
    }
}

bool RememberedPairs::Save() const {
    QByteArray text = kHeader + '\n';
    for (const RememberedPair& p : pairs_) {
        text += QByteArray::number(p.First.Size) + ' ' + p.First.Digest + ' ' + QByteArray::number(p.Second.Size) +
                ' ' + p.Second.Digest + ' ' + encodePath(p.FirstPath) + ' ' + encodePath(p.SecondPath) + '\n';
    }
    return WriteHistoryFile(file_, text);
}

const std::optional<FileIdentity>& RememberedPairVeto::identityOf(const Catalogue& catalogue, int32_t index) {
    auto [it, fresh] = identities_.try_emplace(index);
    if (fresh)
        it->second = IdentityOf(catalogue.PicturePath(index));
    return it->second;
}

bool RememberedPairVeto::Refuses(const Catalogue& catalogue, int32_t earlier, int32_t current) {
    if (!pairs_.HasSize(catalogue.Pictures[static_cast<size_t>(earlier)].Size) ||
        !pairs_.HasSize(catalogue.Pictures[static_cast<size_t>(current)].Size))
        return false;
    const std::optional<FileIdentity>& a = identityOf(catalogue, earlier);
    if (!a)
        return false;
    const std::optional<FileIdentity>& b = identityOf(catalogue, current);
    if (!b || !pairs_.Contains(*a, *b))
        return false;
    ++passed_;
    return true;
}
