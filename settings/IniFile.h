// A small initialisation-file reader and writer that behaves like the Windows profile functions where the
// settings rely on them, and keeps every line it does not change.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Reads an integer as the settings file and the settings dialog do. A text longer than two characters that
// starts with "0x" or "0X", or any text that starts with "$", is hexadecimal; anything else is decimal with
// an optional "+" or "-". No blanks are allowed (the file reader trims them first), digits are ASCII only,
// and a sign is accepted only before decimal digits. Returns nullopt for empty text, stray characters and
// numbers outside the range.
// Hexadecimal is read as a 32-bit pattern, so 0x80000000..0xFFFFFFFF wrap to negative values (0xFFFFFFFF
// is -1) as they always have in the file, while anything above 0xFFFFFFFF is out of range.
std::optional<int32_t> ParseIniInteger(const QString& text);

// One initialisation file held in memory as its lines.
//
// Reading: lines may end in CR LF or LF. A line whose trimmed text starts with "[" and holds a "]" opens a
// section named by the trimmed text between "[" and the last "]". Any other non-blank line inside a section
// is a key: the trimmed text before the first "=" is its name, the trimmed text after it its value (a line
// without "=" is a key with an empty value). Comment lines need no rule of their own: a name that starts
// with ";" never matches a key asked for. Lines before the first section belong to no section.
// Section and key names match without regard to letter case; with repeats, the first section of a name and
// the first key of a name within it count.
//
// Writing: every line ends in CR LF. Lines that were not set are written back with their text unchanged, in
// the encoding the file came in (UTF-8 with or without byte-order mark, UTF-16 with mark, or Latin-1 when
// the bytes are not valid UTF-8, so that any byte survives).
class IniFile {
public:
    IniFile() = default;

    // Parses the bytes of a file; never fails (unknown lines are kept as they are).
    static IniFile FromBytes(const QByteArray& bytes);

    // Far above any settings file; a larger one is not read into memory at all.
    static constexpr qint64 kMaxIniFileBytes = qint64{16} << 20;

    // Reads and parses a regular file (a final link is not followed, the open never waits); nullopt when it
    // cannot be opened or read, or is larger than kMaxIniFileBytes.
    static std::optional<IniFile> FromFile(const QString& path);

    // The whole file as bytes, every line ended by CR LF. An empty file gives no bytes.
    QByteArray ToBytes() const;

    // The value of the key, trimmed, without one pair of matching enclosing quotes (" or '), as
    // GetPrivateProfileString gives it; nullopt when the section or the key is missing.
    std::optional<QString> Value(const QString& section, const QString& key) const;

    // Sets the key to the value (one line of text, written as given). An existing key's line is rewritten
    // where it stands, keeping the key's spelling from the file; a missing key goes after the last non-blank
    // line of its section; a missing section goes at the end of the file, after a blank line when the file
    // does not already end in one.
    void SetValue(const QString& section, const QString& key, const QString& value);

private:
    enum class Encoding { Utf8, Utf8WithMark, Latin1, Utf16LE, Utf16BE };

    struct SectionRange {
        int header = -1;  // line index of the header, -1 when the section is missing
        int end = 0;      // one past its last line
    };

    // Where each section and each key of it first stands, built in one pass when first asked for, so that
    // reading or writing every setting costs one pass over a long file, not one per key.
    struct Index {
        QHash<QString, SectionRange> sections;         // by case-folded name
        QHash<QString, QHash<QString, int>> keys;      // section, then key, both case-folded: the line
    };

    const Index& Indexed() const;
    SectionRange FindSection(const QString& section) const;
    int FindKey(const QString& section, const QString& key) const;

    QStringList lines_;
    mutable std::optional<Index> index_;  // dropped whenever lines are inserted
    Encoding encoding_ = Encoding::Utf8;
};
