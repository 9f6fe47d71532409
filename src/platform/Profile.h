#pragma once
// The per-user profile: where the base directory is remembered between runs
// (QSettings "Orvendale"/"Tessarine", key "Settings/Basedir"), and how the
// main window was left (group "Window").

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

namespace tessarine {

// The stored base directory, ending with exactly one separator (the empty
// text when none was ever chosen).
QString ReadBaseDirectoryFromProfile();
void WriteBaseDirectoryToProfile(const QString& path);

// How a list was left: its columns' widths and the column it was sorted by.
struct ListState {
    QList<int> widths;      // Window/<list>Columns: "225, 100, 130"
    int sortColumn = -1;    // Window/<list>Sort: -1 when in the list's own order
    bool descending = false; // Window/<list>SortDescending
};

// How the main window was left; what was never stored stays empty.
struct WindowState {
    // Window/Geometry: the outer top-left corner and the inner size of the
    // window as it is when not maximised; Window/Frame: what the frame
    // adds to the inner size.
    std::optional<QRect> geometry;
    QSize frame;
    bool maximized = false;              // Window/Maximized
    std::optional<double> splitterShare; // Window/Splitter: the upper list's share
    ListState subscriptions;             // Window/Subscription...
    ListState downloads;                 // Window/Download...
};

WindowState ReadWindowStateFromProfile();
void WriteWindowStateToProfile(const WindowState& state);

// What the window does while it runs, beyond the settings file's options.
struct WatchOptions {
    int checkEveryHours = 0; // Settings/CheckEveryHours: "Check for new items" every N hours; 0: never
    bool keepInTray = false; // Settings/KeepInTray: closing the window keeps the program in the tray
};
WatchOptions ReadWatchOptionsFromProfile();
void WriteWatchOptionsToProfile(const WatchOptions& options);

// The Podcast Index's key and secret as the user entered them (group
// "Search": PodcastIndexKey, PodcastIndexSecret), trimmed; both empty when
// none were entered. The window's Find Podcasts and tessarine-cli search
// use the same pair.
struct PodcastIndexKeys {
    QString key;
    QString secret;
    bool IsSet() const { return !key.isEmpty() && !secret.isEmpty(); }
};
PodcastIndexKeys ReadPodcastIndexKeysFromProfile();
// Writes both (empty ones remove them). The secret is a credential: the
// profile is then readable by its owner alone.
void WritePodcastIndexKeysToProfile(const PodcastIndexKeys& keys);
// The directory the Find Podcasts window searches (Search/Directory):
// "podcastindex", else the Apple directory ("apple").
QString ReadSearchDirectoryFromProfile();
void WriteSearchDirectoryToProfile(const QString& directory);

// Where a first start keeps its files: "Podcasts" in the user's home folder,
// ending with a separator.
QString DefaultBaseDirectory();
// The base directory a start works on: the stored one; when none is stored,
// the default, which is created and stored, so that the list never depends
// on the folder the program was started from.
QString BaseDirectoryForStart();

} // namespace tessarine
