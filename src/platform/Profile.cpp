#include "platform/Profile.h"

#include "subscriptions/BaseDirectory.h"

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

} // namespace tessarine
