#include "platform/Browser.h"

#include "platform/Desktop.h"

#include <QProcess>
#include <QSettings>
#include <QUrl>

namespace tessarine {

// The desktop first; else the open command registered for web addresses.
int OpenWebAddress(const QString& address) {
    if (OpenWithDesktop(QUrl(address)))
        return kBrowserOpened;
    const QSettings classes(QStringLiteral("HKEY_CLASSES_ROOT\\http\\shell\\open\\command"),
                            QSettings::NativeFormat);
    const QString command = classes.value(QStringLiteral("Default")).toString();
    if (command.isEmpty())
        return kBrowserNoAssociation;
    QStringList arguments = BrowserArguments(command, address);
    const QString program = arguments.takeFirst();
    return QProcess::startDetached(program, arguments) ? kBrowserOpened : kBrowserNotFound;
}

} // namespace tessarine
