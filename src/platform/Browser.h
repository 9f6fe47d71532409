#pragma once
// Opening a web address in a browser: with the desktop first, else with the
// platform's own way of naming a browser (on Linux the first command of
// $BROWSER, on Windows the registered open command of web addresses).

#include <QString>
#include <QStringList>

namespace tessarine {

// Result codes; anything above kBrowserErrorLimit means the address opened.
enum BrowserResult : int {
    kBrowserErrorLimit = 32,
    kBrowserOpened = 33,
    kBrowserNotFound = 2,
    kBrowserAccessDenied = 5,
    kBrowserNoAssociation = 31,
};

int OpenWebAddress(const QString& address);

// The browser command line for `address`: `command` cut at its "%1" (or
// "%s") placeholder, a quoted placeholder at its opening quote, then " "
// and the address.
QString AssembleBrowserCommand(const QString& command, const QString& address);
// Program and arguments started for `address`: the command part split as a
// shell would split it, the address always one argument of its own.
QStringList BrowserArguments(const QString& command, const QString& address);

} // namespace tessarine
