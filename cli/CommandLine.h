// The command line of voralin-cli: options, their defaults and the usage text.
#pragma once

#include "settings/Settings.h"

#include <QString>
#include <QStringList>
#include <optional>

struct CliOptions {
    TSettings Settings;          // types, minimum sizes, identical-only, subfolders; settings defaults otherwise
    QString OutputFile;          // empty: standard output
    bool Quiet = false;          // no progress lines
    int Threads = 0;             // --threads: decoding threads, 0 for one per core
    bool UseCache = true;        // --no-cache turns the signature cache off
    bool SignatureMode = false;  // --signature: diagnostic blocks instead of a search
    bool Groups = false;         // --groups: the groups as JSON instead of the pair list as CSV
    int MinSimilarity = 0;       // --min-similarity: pairs below this rounded percentage are left out
    bool UseRemembered = true;   // --no-remembered: pair also what the user said is not a duplicate
    bool Help = false;
    bool Version = false;        // --version: the version line only
    QStringList Paths;           // folders (made absolute, ending with "/") or, with --signature, files as given
};

// Either the options or the one-line reason naming the bad argument.
struct ParsedCommandLine {
    std::optional<CliOptions> Options;
    QString Error;
};

// Parses the arguments after the program name. Options may stand anywhere; "--" ends them. Relative folders
// are made absolute against `currentDir`.
ParsedCommandLine ParseCommandLine(const QStringList& arguments, const QString& currentDir);

// The two command forms, for the line after a usage error.
QString SynopsisText();
// The synopsis with every option explained, for --help.
QString UsageText();
// The line --version prints: the program's name and the build's version.
QString VersionText();
