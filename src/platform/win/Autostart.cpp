#include "platform/Autostart.h"

#include <QDir>
#include <QSettings>

namespace tessarine {
namespace {

const char* const kRunKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kValueName = "Tessarine";

} // namespace

QString Autostart::EntryPath() {
    return QString::fromLatin1(kRunKey) + QLatin1Char('\\') + QLatin1String(kValueName);
}

bool Autostart::IsUsable() const {
    QSettings run(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    return run.isWritable();
}

bool Autostart::IsPresent() const {
    const QSettings run(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    return run.contains(QLatin1String(kValueName));
}

bool Autostart::Write(const QString& programPath) {
    QSettings run(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    run.setValue(QLatin1String(kValueName),
                 QDir::toNativeSeparators(programPath) + QStringLiteral(" /checkandquit"));
    run.sync();
    return run.status() == QSettings::NoError;
}

bool Autostart::Remove() {
    QSettings run(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    run.remove(QLatin1String(kValueName));
    run.sync();
    return !run.contains(QLatin1String(kValueName));
}

} // namespace tessarine
