#include "platform/Browser.h"

#include "platform/Desktop.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace tessarine {
namespace {

// The first browser command of $BROWSER, a list separated by colons.
QString FirstBrowserCommand() {
    const QStringList commands =
        qEnvironmentVariable("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& command : commands) {
        if (!command.trimmed().isEmpty())
            return command;
    }
    return QString();
}

} // namespace

int OpenWebAddress(const QString& address) {
    if (OpenWithDesktop(QUrl(address)))
        return kBrowserOpened;

    const QString command = FirstBrowserCommand();
    if (command.isEmpty())
        return kBrowserNoAssociation;
    QStringList arguments = BrowserArguments(command, address);
    const QString program = arguments.takeFirst();
    const QString found = program.contains(QLatin1Char('/'))
                              ? (QFileInfo(program).isFile() ? program : QString())
                              : QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return kBrowserNotFound;
    if (!QFileInfo(found).isExecutable())
        return kBrowserAccessDenied;
    return QProcess::startDetached(found, arguments) ? kBrowserOpened : kBrowserAccessDenied;
}

} // namespace tessarine
