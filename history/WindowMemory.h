// What the main window remembers of its user between runs: the folder list with its reference marks, the
// window's geometry, splitter positions, column widths, the sort and the view. A file of its own beside the
// settings file, so the settings file stays exactly as before; a damaged one is ignored as a whole.
#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <vector>

struct RememberedFolder {
    QString Path;           // as the folder list shows it, ending with "/"
    bool Reference = false; // "never touch"
    friend bool operator==(const RememberedFolder&, const RememberedFolder&) = default;
};

struct WindowMemory {
    std::vector<RememberedFolder> Folders;
    QByteArray Geometry;                          // QWidget::saveGeometry
    std::map<QString, QByteArray> Splitters;      // QSplitter::saveState by the splitter's name
    std::map<QString, std::vector<int>> Columns;  // column widths by the list's name
    int SortColumn = 0;
    bool SortDescending = false;
    QString View;                                 // "pairs" or "groups"; empty: the default view
    friend bool operator==(const WindowMemory&, const WindowMemory&) = default;
};

// `settingsFolder` + "WindowState.json".
QString WindowMemoryFile(const QString& settingsFolder);
// Nothing when the file is missing, damaged, of another format or holds values out of range.
std::optional<WindowMemory> ReadWindowMemory(const QString& file);
// False when it could not be written; the old file then stays.
bool WriteWindowMemory(const QString& file, const WindowMemory& memory);
