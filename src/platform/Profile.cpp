#include "platform/Profile.h"

#include <QSettings>

namespace tessarine {

QString ReadBaseDirectoryFromProfile() {
    QSettings profile("Orvendale", "Tessarine");
    return profile.value("Settings/Basedir", QString()).toString();
}

void WriteBaseDirectoryToProfile(const QString& path) {
    QSettings profile("Orvendale", "Tessarine");
    profile.setValue("Settings/Basedir", path);
    profile.sync();
}

} // namespace tessarine
