// The state the main window owns for the whole run and lends to the other windows and the engine by
// reference: the catalogue, the settings and the process-wide flags.
#pragma once

#include "engine/Catalogue.h"
#include "history/ActionJournal.h"
#include "history/RememberedPairs.h"
#include "settings/Settings.h"

#include <QLocale>
#include <QString>

#include <memory>

struct AppState {
    Catalogue catalogue;
    TSettings settings;
    // Ends with "/"; fixed at start-up.
    QString SettingsFolder;
    // Name of the per-user trash folder at the root of a mounted file system (".Trash-<uid>/"); the folder
    // scanner derives every trash location it skips on its own, this is kept for the window's reference.
    QString RecycleFolderName;
    // True while the folder list shows only its invitation lines.
    bool PlaceholderShown = true;
    // Results list sort state; survives new searches.
    int SortColumn = 0;
    bool SortDescending = false;
    // The automatic update check at start-up is still pending (cleared by the update window).
    bool StartupUpdateCheck = false;
    // Formats the summary counts ("#,##0").
    QLocale SystemNumberFormat = QLocale::system();
    // Every delete and move is written here first, so that it can be undone; null until the window opens it.
    std::unique_ptr<ActionJournal> Journal;
    // The pairs the user said are not duplicates; later searches pass them over. Null until the window opens it.
    std::unique_ptr<RememberedPairs> Remembered;
};
