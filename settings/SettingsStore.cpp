// Settings folder, and loading and saving the settings record through IniFile.
#include "settings/SettingsStore.h"

#include "settings/IniFile.h"
#include "settings/PictureTypeTable.h"
#include "platform/SafeWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr char kAppFolderName[] = "Voralin";
// The profile reading buffer holds 2048 characters with the terminating zero, so longer values are cut.
constexpr qsizetype kReadBufferChars = 2048;

// One key of the file: exactly one of the two members is set.
struct SettingKey {
    const char* name;
    bool TSettings::*flag;
    int32_t TSettings::*number;
    int order = 0;  // position in the written order
};

// The keys that are not picture types, with their places among the written keys.
constexpr std::array<SettingKey, 8> kOtherKeys{{
    {"SearchSimilar", &TSettings::SearchSimilar, nullptr},
    {"MoveToRecycle", &TSettings::MoveToRecycle, nullptr},
    {"DeleteWithoutAsking", &TSettings::DeleteWithoutAsking, nullptr},
    {"SearchOnlyIdentical", &TSettings::SearchOnlyIdentical, nullptr},
    {"AutoCheckUpdates", &TSettings::AutoCheckUpdates, nullptr},
    {"ScanSubfolders", &TSettings::ScanSubfolders, nullptr},
    {"MinPicWidth", nullptr, &TSettings::MinPicWidth},
    {"MinPicHeight", nullptr, &TSettings::MinPicHeight},
}};
constexpr int kFirstOtherKeyOrder = 7;  // after the six specified picture types
// Written after the newer picture types' keys (orders 15 to 19).
constexpr SettingKey kFollowOrientationKey{"FollowOrientation", &TSettings::FollowOrientation, nullptr, 20};

// Every key in the order it is written: the picture types' keys come from the type table.
std::vector<SettingKey> AllKeys() {
    std::vector<SettingKey> keys;
    for (const PictureType& type : PictureTypes())
        keys.push_back({type.SettingsKey, type.EnabledBy, nullptr, type.KeyOrder});
    for (size_t i = 0; i < kOtherKeys.size(); ++i) {
        keys.push_back(kOtherKeys[i]);
        keys.back().order = kFirstOtherKeyOrder + static_cast<int>(i);
    }
    keys.push_back(kFollowOrientationKey);
    std::sort(keys.begin(), keys.end(), [](const SettingKey& a, const SettingKey& b) { return a.order < b.order; });
    return keys;
}

const std::vector<SettingKey>& Keys() {
    static const std::vector<SettingKey> keys = AllKeys();
    return keys;
}

QString WithTrailingSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString ProgramFolder() {
    // Without an application object there is no program path to ask for; the working folder stands in.
    if (!QCoreApplication::instance()) return WithTrailingSlash(QDir::currentPath());
    return WithTrailingSlash(QCoreApplication::applicationDirPath());
}

std::optional<int32_t> ReadInteger(const IniFile& ini, const char* key) {
    const std::optional<QString> text = ini.Value(QString::fromLatin1(kSettingsSection), QString::fromLatin1(key));
    if (!text) return std::nullopt;
    return ParseIniInteger(text->left(kReadBufferChars - 1));
}

[[noreturn]] void ThrowWriteError(const QString& path) {
    throw SettingsWriteError(QStringLiteral("Unable to write to %1").arg(path).toStdString());
}

}  // namespace

QString DetermineSettingsFolder(const QString& configRoot, const QString& programFolder) {
    const QString fallback = WithTrailingSlash(programFolder);
    if (configRoot.isEmpty() || QDir::isRelativePath(configRoot)) return fallback;

    const QString folder = WithTrailingSlash(configRoot) + QString::fromLatin1(kAppFolderName) + u'/';
    if (QFileInfo(folder).isDir()) return folder;
    // A fresh account may not have ~/.config yet; the XDG rules ask us to create it along with our folder.
    if (!QDir().mkpath(folder)) return fallback;
    return folder;
}

QString DetermineSettingsFolder() {
    return DetermineSettingsFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                                   ProgramFolder());
}

QString SettingsFilePath(const QString& settingsFolder) {
    return settingsFolder + QString::fromLatin1(kSettingsFileName);
}

void LoadSettings(TSettings& settings, const QString& settingsFolder) {
    const TSettings defaults;
    settings = defaults;
    const QString path = SettingsFilePath(settingsFolder);
    const IniFile ini = IniFile::FromFile(path).value_or(IniFile());
    for (const SettingKey& key : Keys()) {
        const std::optional<int32_t> value = ReadInteger(ini, key.name);
        if (key.flag) settings.*key.flag = value ? *value != 0 : defaults.*key.flag;
        else settings.*key.number = value.value_or(defaults.*key.number);
    }
    if (settings.MinPicWidth < 0) settings.MinPicWidth = 0;
    if (settings.MinPicHeight < 0) settings.MinPicHeight = 0;
}

void SaveSettings(const TSettings& settings, const QString& settingsFolder) {
    const QString path = SettingsFilePath(settingsFolder);

    IniFile ini;
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
        std::optional<IniFile> existing = IniFile::FromFile(path);
        if (!existing) ThrowWriteError(path);
        ini = std::move(*existing);
    }

    const QString section = QString::fromLatin1(kSettingsSection);
    for (const SettingKey& key : Keys()) {
        const QString value = key.flag ? QString::number(settings.*key.flag ? 1 : 0)
                                       : QString::number(settings.*key.number);
        ini.SetValue(section, QString::fromLatin1(key.name), value);
    }

    try {
        WriteFileAtomically(path, ini.ToBytes(), WriteTarget::OwnFile);
    } catch (const FileWriteError&) {
        ThrowWriteError(path);
    }
}
