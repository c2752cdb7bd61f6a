// Parsing of voralin-cli's arguments; every refusal names the argument at fault.
#include "cli/CommandLine.h"

#include "platform/BuildInfo.h"
#include "settings/PictureTypeTable.h"

#include <QDir>

#include <limits>

namespace {

// Options that belong to the search only, refused together with --signature.
const QStringList kSearchOnlyOptions = {"--types", "--no-subfolders", "--identical-only", "--output",
                                        "--quiet", "--threads", "--no-cache", "--groups",
                                        "--min-similarity", "--no-remembered"};
constexpr int32_t kMaxThreads = 256;  // more would only cost memory for look-ahead
constexpr int32_t kMaxSimilarity = 100;

std::optional<int32_t> parseCount(const QString& text) {
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const qint64 value = text.toLongLong();
    if (value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

// Sets the type switches from LIST; the error names the first unknown entry.
QString applyTypes(const QString& list, TSettings& settings) {
    for (const PictureType& t : PictureTypes())
        settings.*t.EnabledBy = false;
    bool any = false;
    for (const QString& raw : list.split(QLatin1Char(','))) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        const PictureType* type = TypeNamed(entry);
        if (!type)
            return QStringLiteral("unknown type: %1").arg(entry);
        settings.*type->EnabledBy = true;
        any = true;
    }
    return any ? QString() : QStringLiteral("no type given in --types");
}

QString absoluteFolder(const QString& path, const QString& currentDir) {
    QString folder = QDir::cleanPath(QDir(currentDir).absoluteFilePath(path));
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const QStringList& arguments, const QString& currentDir) {
    CliOptions options;
    QStringList searchOnlySeen;
    bool optionsEnded = false;
    const auto fail = [](const QString& error) { return ParsedCommandLine{std::nullopt, error}; };

    for (int k = 0; k < arguments.size(); ++k) {
        QString arg = arguments[k];
        if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
            options.Paths << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // "--option=value" and "--option value" are the same.
        QString value;
        bool valueGiven = false;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            valueGiven = true;
        }
        const auto takeValue = [&]() -> std::optional<QString> {
            if (valueGiven)
                return value;
            if (k + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++k];
        };
        const auto noValue = [&]() { return !valueGiven; };

        if (kSearchOnlyOptions.contains(arg))
            searchOnlySeen << arg;
        if (arg == QLatin1String("--help") && noValue()) {
            options.Help = true;
        } else if (arg == QLatin1String("--version") && noValue()) {
            options.Version = true;
        } else if (arg == QLatin1String("--signature") && noValue()) {
            options.SignatureMode = true;
        } else if (arg == QLatin1String("--follow-orientation") && noValue()) {
            options.Settings.FollowOrientation = true;
        } else if (arg == QLatin1String("--no-subfolders") && noValue()) {
            options.Settings.ScanSubfolders = false;
        } else if (arg == QLatin1String("--identical-only") && noValue()) {
            options.Settings.SearchOnlyIdentical = true;
        } else if (arg == QLatin1String("--quiet") && noValue()) {
            options.Quiet = true;
        } else if (arg == QLatin1String("--no-cache") && noValue()) {
            options.UseCache = false;
        } else if (arg == QLatin1String("--no-remembered") && noValue()) {
            options.UseRemembered = false;
        } else if (arg == QLatin1String("--groups") && noValue()) {
            options.Groups = true;
        } else if (arg == QLatin1String("--min-similarity")) {
            const auto text = takeValue();
            if (!text)
                return fail(QStringLiteral("missing value for --min-similarity"));
            const auto number = parseCount(*text);
            if (!number || *number > kMaxSimilarity)
                return fail(QStringLiteral("bad number for --min-similarity: %1").arg(*text));
            options.MinSimilarity = *number;
        } else if (arg == QLatin1String("--threads")) {
            const auto text = takeValue();
            if (!text)
                return fail(QStringLiteral("missing value for --threads"));
            const auto number = parseCount(*text);
            if (!number || *number < 1 || *number > kMaxThreads)
                return fail(QStringLiteral("bad number for --threads: %1").arg(*text));
            options.Threads = *number;
        } else if (arg == QLatin1String("--types")) {
            const auto list = takeValue();
            if (!list)
                return fail(QStringLiteral("missing value for --types"));
            if (const QString error = applyTypes(*list, options.Settings); !error.isEmpty())
                return fail(error);
        } else if (arg == QLatin1String("--min-width") || arg == QLatin1String("--min-height")) {
            const auto text = takeValue();
            if (!text)
                return fail(QStringLiteral("missing value for %1").arg(arg));
            const auto number = parseCount(*text);
            if (!number)
                return fail(QStringLiteral("bad number for %1: %2").arg(arg, *text));
            (arg == QLatin1String("--min-width") ? options.Settings.MinPicWidth : options.Settings.MinPicHeight) =
                *number;
        } else if (arg == QLatin1String("--output")) {
            const auto file = takeValue();
            if (!file || file->isEmpty())
                return fail(QStringLiteral("missing value for --output"));
            options.OutputFile = QDir(currentDir).absoluteFilePath(*file);
        } else {
            return fail(QStringLiteral("unknown option: %1").arg(arguments[k]));
        }
    }

    if (options.Help || options.Version)
        return {options, {}};
    if (options.SignatureMode) {
        if (!searchOnlySeen.isEmpty())
            return fail(QStringLiteral("option not used with --signature: %1").arg(searchOnlySeen.first()));
        if (options.Paths.isEmpty())
            return fail(QStringLiteral("no file given"));
        return {options, {}};
    }
    if (options.Paths.isEmpty())
        return fail(QStringLiteral("no folder given"));
    // An unset variable in "$DIR" would otherwise search the working folder.
    if (options.Paths.contains(QString()))
        return fail(QStringLiteral("empty folder argument"));
    for (QString& path : options.Paths)
        path = absoluteFolder(path, currentDir);
    return {options, {}};
}

QString SynopsisText() {
    return QStringLiteral(
        "usage: voralin-cli [--types LIST] [--no-subfolders] [--identical-only] [--min-width N] [--min-height N]\n"
        "                   [--output FILE] [--quiet] [--threads N] [--no-cache] [--groups]\n"
        "                   [--min-similarity N] [--follow-orientation]\n"
        "                   [--no-remembered] FOLDER...\n"
        "       voralin-cli --signature [--min-width N] [--min-height N] [--follow-orientation] FILE...\n"
        "       voralin-cli --help | --version\n");
}

namespace {

// "all,names (default on,names)" from the type table and the settings' defaults.
QString typesUsage() {
    const TSettings defaults;
    QStringList all;
    QStringList on;
    for (const PictureType& t : PictureTypes()) {
        all << QLatin1String(t.Name);
        if (defaults.*t.EnabledBy)
            on << QLatin1String(t.Name);
    }
    return all.join(QLatin1Char(',')) + QStringLiteral(" (default ") + on.join(QLatin1Char(',')) + u')';
}

}  // namespace

QString UsageText() {
    return SynopsisText() + QStringLiteral(
        "\n"
        "Finds duplicate and similar pictures in the folders and writes the pairs as CSV.\n"
        "\n"
        "  --types LIST       picture types, comma-separated: ") + typesUsage() + QStringLiteral("\n"
        "  --no-subfolders    search only the listed folders themselves\n"
        "  --identical-only   pair only byte-identical files\n"
        "  --min-width N      leave out pictures narrower than N pixels (default 100)\n"
        "  --min-height N     leave out pictures lower than N pixels (default 100)\n"
        "  --output FILE      write the CSV to FILE instead of standard output\n"
        "  --quiet            no progress lines on standard error\n"
        "  --threads N        decode and compare pictures on N threads, 1 to 256 (default: one per core)\n"
        "  --no-cache         neither use nor update the signature cache in ~/.cache/Voralin/\n"
        "  --groups           write the groups of connected pairs as JSON instead of the pairs as CSV\n"
        "  --min-similarity N leave out pairs below N percent, 0 to 100 (default 0: every pair)\n"
        "  --follow-orientation  turn pictures as their camera recorded (EXIF, WebP, AVIF, JPEG XL) before comparing\n"
        "  --no-remembered    pair also the pictures marked \"Not a duplicate\" in the window\n"
        "  --signature        print each file's size, decoding scale, average and kept coefficients\n"
        "  --help             print this text\n"
        "  --version          print the version\n"
        "\n"
        "Exit status: 0 when the search ran (also when interrupted with Ctrl-C: the pairs found so far are\n"
        "written), 2 for a usage error, 1 for any other failure. With --signature, 1 when a file could not\n"
        "be decoded.\n");
}

QString VersionText() { return QStringLiteral("voralin-cli ") + QLatin1String(BuildInfo::kVersion) + u'\n'; }
