#include "platform/Profile.h"

#include "subscriptions/BaseDirectory.h"

#include <QDir>
#include <QSettings>

namespace tessarine {

QString ReadBaseDirectoryFromProfile() {
    QSettings profile("Orvendale", "Tessarine");
    // A hand-edited value may lack the separator (or hold several): every
    // path beneath is formed by concatenation, so it must end with one.
    return QString::fromStdString(NormalizedBaseDirectory(
        profile.value("Settings/Basedir", QString()).toString().toStdString()));
}

void WriteBaseDirectoryToProfile(const QString& path) {
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
