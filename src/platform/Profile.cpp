#include "platform/Profile.h"

#include "core/files/BaseDirectory.h"

#include <QDir>
#include <QSettings>

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
