// The initialisation-file reader and writer, and the integer reading shared with the settings dialog.
#include "settings/IniFile.h"

#include "platform/RegularFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringView>

namespace {

constexpr uint64_t kMaxHexPattern = 0xFFFFFFFFu;
// The magnitude of the most negative 32-bit value; larger magnitudes cannot fit either sign.
constexpr int64_t kMaxDecimalMagnitude = 2147483648LL;

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

std::optional<int32_t> ParseHex(QStringView digits) {
    if (digits.isEmpty()) return std::nullopt;
    uint64_t value = 0;
    for (QChar c : digits) {
        const int d = HexDigitValue(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > kMaxHexPattern) return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::optional<int32_t> ParseDecimal(QStringView text) {
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == u'-';
    if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+')) ++i;
    if (i == text.size()) return std::nullopt;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9') return std::nullopt;
        magnitude = magnitude * 10 + (u - u'0');
        if (magnitude > kMaxDecimalMagnitude) return std::nullopt;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<QString> SectionName(const QString& line) {
    const QString t = line.trimmed();
    if (!t.startsWith(u'[')) return std::nullopt;
    const qsizetype close = t.lastIndexOf(u']');
    if (close < 0) return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

struct KeyLine {
    QString name;
    QString value;  // trimmed, quotes still on
};

std::optional<KeyLine> ParseKeyLine(const QString& line) {
    const QString t = line.trimmed();
    if (t.isEmpty()) return std::nullopt;
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0) return KeyLine{t, QString()};
    return KeyLine{t.left(eq).trimmed(), t.mid(eq + 1).trimmed()};
}

bool IsBlank(const QString& line) { return line.trimmed().isEmpty(); }

QString StripEnclosingQuotes(const QString& value) {
    if (value.size() < 2) return value;
    const QChar first = value.front();
    if ((first == u'"' || first == u'\'') && value.back() == first) return value.mid(1, value.size() - 2);
    return value;
}

QString DecodeStrict(QStringConverter::Encoding encoding, QByteArrayView bytes, bool* failed) {
    // ConvertInitialBom: the mark, if any, is already cut off; a second one is content.
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (failed) *failed = decoder.hasError();
    return text;
}

QByteArray Encode(QStringConverter::Encoding encoding, const QString& text) {
    QStringEncoder encoder(encoding, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

}  // namespace

std::optional<int32_t> ParseIniInteger(const QString& text) {
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
        return ParseHex(QStringView(text).mid(2));
    if (text.startsWith(u'$')) return ParseHex(QStringView(text).mid(1));
    return ParseDecimal(text);
}

IniFile IniFile::FromBytes(const QByteArray& bytes) {
    IniFile file;
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        file.encoding_ = Encoding::Utf8WithMark;
        text = DecodeStrict(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3), nullptr);
    } else if (bytes.startsWith("\xFF\xFE")) {
        file.encoding_ = Encoding::Utf16LE;
        text = DecodeStrict(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2), nullptr);
    } else if (bytes.startsWith("\xFE\xFF")) {
        file.encoding_ = Encoding::Utf16BE;
        text = DecodeStrict(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2), nullptr);
    } else {
        bool failed = false;
        text = DecodeStrict(QStringConverter::Utf8, bytes, &failed);
        file.encoding_ = Encoding::Utf8;
        if (failed) {
            // Not UTF-8: Latin-1 maps every byte to one character and back, so nothing is lost.
            file.encoding_ = Encoding::Latin1;
            text = QString::fromLatin1(bytes);
        }
    }

    file.lines_ = text.split(u'\n');
    // A final line end leaves one empty piece that is not a line.
    if (!file.lines_.isEmpty() && file.lines_.back().isEmpty()) file.lines_.removeLast();
    for (QString& line : file.lines_) {
        if (line.endsWith(u'\r')) line.chop(1);
    }
    return file;
}

std::optional<IniFile> IniFile::FromFile(const QString& path) {
    const std::optional<QByteArray> bytes = ReadOwnFile(path, kMaxIniFileBytes);
    if (!bytes) return std::nullopt;
    return FromBytes(*bytes);
}

QByteArray IniFile::ToBytes() const {
    QString text;
    for (const QString& line : lines_) {
        text += line;
        text += u"\r\n";
    }
    switch (encoding_) {
    case Encoding::Utf8: return Encode(QStringConverter::Utf8, text);
    case Encoding::Utf8WithMark: return QByteArray("\xEF\xBB\xBF") + Encode(QStringConverter::Utf8, text);
    case Encoding::Latin1: return text.toLatin1();
    case Encoding::Utf16LE: return QByteArray("\xFF\xFE") + Encode(QStringConverter::Utf16LE, text);
    case Encoding::Utf16BE: return QByteArray("\xFE\xFF") + Encode(QStringConverter::Utf16BE, text);
    }
    return {};
}

const IniFile::Index& IniFile::Indexed() const {
    if (index_) return *index_;
    Index index;
    // The section being read, when it is the first of its name; later ones of the name do not count.
    std::optional<QString> open;
    QHash<QString, int> openKeys;
    const auto close = [&](int end) {
        if (!open) return;
        index.sections[*open].end = end;
        index.keys.insert(*open, std::move(openKeys));
        openKeys = {};
        open.reset();
    };
    for (int i = 0; i < lines_.size(); ++i) {
        if (const std::optional<QString> name = SectionName(lines_[i])) {
            close(i);
            const QString folded = name->toCaseFolded();
            if (!index.sections.contains(folded)) {
                index.sections.insert(folded, SectionRange{i, 0});
                open = folded;
            }
            continue;
        }
        if (!open) continue;
        if (const std::optional<KeyLine> line = ParseKeyLine(lines_[i])) {
            const QString folded = line->name.toCaseFolded();
            if (!openKeys.contains(folded)) openKeys.insert(folded, i);
        }
    }
    close(static_cast<int>(lines_.size()));
    index_ = std::move(index);
    return *index_;
}

IniFile::SectionRange IniFile::FindSection(const QString& section) const {
    return Indexed().sections.value(section.toCaseFolded());
}

int IniFile::FindKey(const QString& section, const QString& key) const {
    const Index& index = Indexed();
    const auto keys = index.keys.constFind(section.toCaseFolded());
    if (keys == index.keys.constEnd()) return -1;
    return keys->value(key.toCaseFolded(), -1);
}

std::optional<QString> IniFile::Value(const QString& section, const QString& key) const {
    const int index = FindKey(section, key);
    if (index < 0) return std::nullopt;
    return StripEnclosingQuotes(ParseKeyLine(lines_[index])->value);
}

void IniFile::SetValue(const QString& section, const QString& key, const QString& value) {
    Q_ASSERT(!key.isEmpty() && !value.contains(u'\n') && !value.contains(u'\r'));
    const SectionRange range = FindSection(section);
    if (range.header < 0) {
        if (!lines_.isEmpty() && !IsBlank(lines_.back())) lines_.append(QString());
        lines_.append(u'[' + section + u']');
        lines_.append(key + u'=' + value);
        index_.reset();
        return;
    }

    const int index = FindKey(section, key);
    if (index >= 0) {
        const KeyLine line = *ParseKeyLine(lines_[index]);
        // An unchanged value leaves the line's own spacing alone.
        if (line.value != value) lines_[index] = line.name + u'=' + value;
        return;
    }

    // Blank lines at the end of a section usually separate it from the next one; stay above them.
    int insertAt = range.header + 1;
    for (int i = range.header + 1; i < range.end; ++i) {
        if (!IsBlank(lines_[i])) insertAt = i + 1;
    }
    lines_.insert(insertAt, key + u'=' + value);
    index_.reset();
}
