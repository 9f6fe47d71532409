#include "platform/Profile.h"

#include "core/files/BaseDirectory.h"

#include <QDir>
#include <QSettings>

#include <algorithm>

#ifndef _WIN32
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#endif

namespace tessarine {

namespace {

// Whether Qt may open the profile. QSettings reads its files whole and
// waits for ever on a FIFO: the files it reads for us (ours, and the maker's
// common one beside it) must each be missing or a regular file of a size a
// profile can have; otherwise the profile is taken as empty and left unwritten.
// On Windows it is in the registry.
bool ProfileUsable() {
#ifdef _WIN32
    return true;
#else
    constexpr off_t kMaxProfileBytes = off_t{1} << 20;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const char* name : {"/Orvendale/Tessarine.conf", "/Orvendale.conf"}) {
        struct stat st;
        if (::stat(QFile::encodeName(folder + QLatin1String(name)).constData(), &st) == 0 &&
            (!S_ISREG(st.st_mode) || st.st_size > kMaxProfileBytes))
            return false;
    }
    return true;
#endif
}

} // namespace

QString ReadBaseDirectoryFromProfile() {
    if (!ProfileUsable())
        return QString();
    QSettings profile("Orvendale", "Tessarine");
    // A hand-edited value may lack the separator (or hold several): every
    // path beneath is formed by concatenation, so it must end with one.
    return QString::fromStdString(
        BaseDirectoryPath(profile.value("Settings/Basedir", QString()).toString().toStdString())
            .Text());
}

void WriteBaseDirectoryToProfile(const QString& path) {
    if (!ProfileUsable())
        return;
    QSettings profile("Orvendale", "Tessarine");
    profile.setValue("Settings/Basedir", path);
    profile.sync();
}

WatchOptions ReadWatchOptionsFromProfile() {
    WatchOptions options;
    if (!ProfileUsable())
        return options;
    QSettings profile("Orvendale", "Tessarine");
    bool ok = false;
    const int hours = profile.value("Settings/CheckEveryHours", 0).toInt(&ok);
    // A damaged or negative value turns the periodic check off; a week is the most.
    options.checkEveryHours = ok && hours > 0 ? std::min(hours, 24 * 7) : 0;
    options.keepInTray = profile.value("Settings/KeepInTray", false).toBool();
    return options;
}

void WriteWatchOptionsToProfile(const WatchOptions& options) {
    if (!ProfileUsable())
        return;
    QSettings profile("Orvendale", "Tessarine");
    profile.setValue("Settings/CheckEveryHours", options.checkEveryHours);
    profile.setValue("Settings/KeepInTray", options.keepInTray);
    profile.sync();
}

PodcastIndexKeys ReadPodcastIndexKeysFromProfile() {
    PodcastIndexKeys keys;
    if (!ProfileUsable())
        return keys;
    const QSettings profile("Orvendale", "Tessarine");
    keys.key = profile.value("Search/PodcastIndexKey").toString().trimmed();
    keys.secret = profile.value("Search/PodcastIndexSecret").toString().trimmed();
    return keys;
}

void WritePodcastIndexKeysToProfile(const PodcastIndexKeys& keys) {
    if (!ProfileUsable())
        return;
    QSettings profile("Orvendale", "Tessarine");
    const auto write = [&](const char* name, const QString& value) {
        if (value.trimmed().isEmpty())
            profile.remove(name);
        else
            profile.setValue(name, value.trimmed());
    };
    write("Search/PodcastIndexKey", keys.key);
    write("Search/PodcastIndexSecret", keys.secret);
    profile.sync();
#ifndef _WIN32
    // (On Windows the profile lives in the user's own part of the registry.)
    if (!keys.secret.trimmed().isEmpty())
        QFile::setPermissions(profile.fileName(), QFile::ReadOwner | QFile::WriteOwner);
#endif
}

QString ReadSearchDirectoryFromProfile() {
    if (!ProfileUsable())
        return {};
    return QSettings("Orvendale", "Tessarine").value("Search/Directory").toString();
}

void WriteSearchDirectoryToProfile(const QString& directory) {
    if (!ProfileUsable())
        return;
    QSettings profile("Orvendale", "Tessarine");
    profile.setValue("Search/Directory", directory);
    profile.sync();
}

namespace {

ListState ReadListState(const QSettings& profile, const QString& list) {
    ListState state;
    for (const QString& width : profile.value(list + "Columns").toStringList()) {
        bool ok = false;
        const int value = width.trimmed().toInt(&ok);
        if (!ok || value <= 0)
            return ListState{}; // a damaged value: the widths the window starts with
        state.widths.append(value);
    }
    bool ok = false;
    state.sortColumn = profile.value(list + "Sort", -1).toInt(&ok);
    if (!ok || state.sortColumn < -1)
        state.sortColumn = -1;
    state.descending = profile.value(list + "SortDescending", false).toBool();
    return state;
}

void WriteListState(QSettings& profile, const QString& list, const ListState& state) {
    QStringList widths;
    for (int width : state.widths)
        widths.append(QString::number(width));
    profile.setValue(list + "Columns", widths);
    profile.setValue(list + "Sort", state.sortColumn);
    profile.setValue(list + "SortDescending", state.descending);
}

} // namespace

WindowState ReadWindowStateFromProfile() {
    WindowState state;
    if (!ProfileUsable())
        return state;
    QSettings profile("Orvendale", "Tessarine");
    profile.beginGroup("Window");
    const QRect geometry = profile.value("Geometry").toRect();
    if (geometry.isValid())
        state.geometry = geometry;
    const QSize frame = profile.value("Frame").toSize();
    if (frame.isValid() && frame.width() < 200 && frame.height() < 200)
        state.frame = frame;
    state.maximized = profile.value("Maximized", false).toBool();
    bool ok = false;
    const double share = profile.value("Splitter").toDouble(&ok);
    if (ok && share >= 0 && share <= 1)
        state.splitterShare = share;
    state.subscriptions = ReadListState(profile, "Subscription");
    state.downloads = ReadListState(profile, "Download");
    return state;
}

void WriteWindowStateToProfile(const WindowState& state) {
    if (!ProfileUsable())
        return;
    QSettings profile("Orvendale", "Tessarine");
    profile.beginGroup("Window");
    if (state.geometry) {
        profile.setValue("Geometry", *state.geometry);
        profile.setValue("Frame", state.frame);
    }
    profile.setValue("Maximized", state.maximized);
    if (state.splitterShare)
        profile.setValue("Splitter", *state.splitterShare);
    WriteListState(profile, "Subscription", state.subscriptions);
    WriteListState(profile, "Download", state.downloads);
    profile.endGroup();
    profile.sync();
}

QString DefaultBaseDirectory() {
    return QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/Podcasts/"));
}

QString BaseDirectoryForStart() {
    const QString stored = ReadBaseDirectoryFromProfile();
    if (!stored.isEmpty())
        return stored;
    const QString base = DefaultBaseDirectory();
    // A folder that cannot be made is still used, as a chosen folder that
    // went missing is: nothing loads, and the next start tries again.
    if (QDir().mkpath(base))
        WriteBaseDirectoryToProfile(base);
    return base;
}

} // namespace tessarine
