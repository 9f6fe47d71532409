#include "platform/Browser.h"

#include <QProcess>

namespace tessarine {
namespace {

// The command part of a browser command line: everything before its
// placeholder, or before the quotation mark that opens a quoted placeholder.
// The registry convention names the address "%1", $BROWSER names it "%s".
QString CommandBeforePlaceholder(const QString& command) {
    static const QStringList quoted = {QStringLiteral("\"%1\""), QStringLiteral("\"%s\""),
                                       QStringLiteral("'%1'"), QStringLiteral("'%s'")};
    static const QStringList bare = {QStringLiteral("%1"), QStringLiteral("%s")};
    for (const QStringList* forms : {&quoted, &bare}) {
        qsizetype cut = -1;
        for (const QString& form : *forms) {
            const qsizetype at = command.indexOf(form);
            if (at >= 0 && (cut < 0 || at < cut))
                cut = at;
        }
        if (cut >= 0)
            return command.left(cut);
    }
    return command;
}

} // namespace

QString AssembleBrowserCommand(const QString& command, const QString& address) {
    return CommandBeforePlaceholder(command) + QLatin1Char(' ') + address;
}

QStringList BrowserArguments(const QString& command, const QString& address) {
    // The address never goes through the splitting: blanks or quotation marks
    // in it cannot turn into further arguments.
    QStringList arguments = QProcess::splitCommand(CommandBeforePlaceholder(command));
    if (arguments.isEmpty())
        arguments << QString();
    arguments << address;
    return arguments;
}

} // namespace tessarine
