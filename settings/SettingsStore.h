// Moves the settings record to and from "Voralin.ini" in the per-user configuration folder.
#pragma once

#include "settings/Settings.h"

#include <QString>
#include <stdexcept>

inline constexpr char kSettingsFileName[] = "Voralin.ini";
inline constexpr char kSettingsSection[] = "Main";

// A save that could not complete; what() is "Unable to write to <full path of the file>" (UTF-8).
class SettingsWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The folder that holds the settings file, ending with "/": the per-user configuration folder
// (QStandardPaths::GenericConfigLocation, normally ~/.config) + "Voralin/", created when missing. When that
// location is unknown, not absolute, or the folder cannot be created, the program's own folder.
QString DetermineSettingsFolder();

// The same choice from given places, so that it can be checked without a running application.
// `configRoot` is the configuration folder (empty when unknown), `programFolder` the fallback.
QString DetermineSettingsFolder(const QString& configRoot, const QString& programFolder);

// The full path of the settings file in `settingsFolder` (which ends with "/").
QString SettingsFilePath(const QString& settingsFolder);

// Fills every field of `settings`. Without a settings file: the defaults, unclamped. With one: each key of
// section "Main" read as an integer (booleans true when not 0); a missing or invalid key takes its default;
// then a negative MinPicWidth becomes 0, then a negative MinPicHeight becomes 0. A file that exists but
// cannot be read counts as one without keys.
void LoadSettings(TSettings& settings, const QString& settingsFolder);

// Writes the fourteen keys of section "Main", then the newer picture types' keys and FollowOrientation: booleans as "1"/"0",
// sizes in decimal with a sign when negative. A new file holds "[Main]" and the keys in their fixed order; in an existing file each key's
// line is rewritten where it stands, missing keys follow the section's last line, and everything else is
// kept. The new content replaces the file in one rename, so a failure leaves the old file whole; it throws
// SettingsWriteError (also when an existing file cannot be read, rather than lose its other sections).
void SaveSettings(const TSettings& settings, const QString& settingsFolder);
