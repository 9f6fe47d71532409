#include "app/CTessarineApp.h"

#include "core/feeds/FeedLink.h"
#include "core/library/PodcastLibrary.h"
#include "core/net/HttpClient.h"
#include "core/util/Strings.h"
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/QueuedEngineView.h"
#include "platform/CacheFolder.h"
#include "platform/Desktop.h"
#include "platform/Profile.h"
#include "platform/QtTranslations.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QLocale>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <strings.h>

#ifndef TESSARINE_VERSION
#define TESSARINE_VERSION "1.0"
#endif

namespace tessarine {
namespace {

// TESSARINE_LANG, else the desktop's language.
Language StartLanguage() {
    return ChooseLanguage(std::getenv("TESSARINE_LANG"),
                          QLocale::system().language() == QLocale::German);
}

// The links as the window takes them: a path made absolute here, as the
// window may run in another folder. None for an unattended run, which shows
// no dialog.
std::vector<std::string> LinksForWindow(const CTessarineCommandLineInfo& info) {
    std::vector<std::string> links;
    if (info.checkAndQuit)
        return links;
    for (const std::string& link : info.links)
        links.push_back(HasUrlScheme(link) ? link
                                           : QDir::toNativeSeparators(
                                                 QDir::cleanPath(QDir::current().absoluteFilePath(
                                                     QString::fromStdString(link))))
                                                 .toStdString());
    return links;
}

QStringList ToStringList(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts)
        list << QString::fromStdString(text);
    return list;
}

} // namespace

void CTessarineCommandLineInfo::ParseParam(std::string parameter) {
    const std::string given = parameter;
    if (parameter == "--help" || parameter == "-h") {
        showHelp = true;
        return;
    }
    if (parameter == "--version") {
        showVersion = true;
        return;
    }
    if (!parameter.empty() && (parameter[0] == '/' || parameter[0] == '-'))
        parameter.erase(0, 1);
    if (parameter == "checkandquit") {
        checkAndQuit = true;
        doNotCheck = false;
    } else if (parameter == "donotcheck") {
        doNotCheck = true;
        checkAndQuit = false;
    } else if (strcasecmp(parameter.c_str(), "regserver") == 0 ||
               strcasecmp(parameter.c_str(), "register") == 0) {
        registerServer = true;
    } else if (strcasecmp(parameter.c_str(), "unregserver") == 0 ||
               strcasecmp(parameter.c_str(), "unregister") == 0) {
        unregisterServer = true;
    } else if (IsLinkArgument(given)) {
        links.push_back(given);
    }
}

CTessarineCommandLineInfo CTessarineCommandLineInfo::Parse(
    const std::vector<std::string>& arguments) {
    CTessarineCommandLineInfo info;
    for (const std::string& argument : arguments)
        info.ParseParam(argument);
    return info;
}

std::optional<int> CTessarineApp::ClaimBaseDirectory(PodcastLibrary& library,
                                                     SingleInstance& instance,
                                                     const std::string& base, bool checkAndQuit,
                                                     const std::vector<std::string>& links) {
    switch (library.ClaimBaseDirectory(base)) {
    case PodcastLibrary::Claim::Obtained: instance.Listen(base); return std::nullopt;
    case PodcastLibrary::Claim::NoLock: return std::nullopt; // no other start is sent here
    case PodcastLibrary::Claim::HeldElsewhere: break;
    }
    if (!checkAndQuit && SingleInstance::AskToOpen(base, ToStringList(links)))
        return 0;
    if (!checkAndQuit) {
        const std::string shown = base.empty() ? QDir::currentPath().toStdString() : base;
        ShowMessageBox(nullptr, QMessageBox::Critical,
                       QString::fromStdString(FormatResString(IDS_BASEDIR_IN_USE, shown)));
    }
    return kExitBaseDirectoryInUse;
}

void CTessarineApp::SetIdentity() {
    // Without a display name Qt adds none to the captions ("Settings", not
    // "Settings — Tessarine"); the main window's caption is the name itself.
    QApplication::setApplicationName("Tessarine");
    QApplication::setOrganizationName("Orvendale");
    QApplication::setDesktopFileName("com.orvendale.Tessarine"); // the launcher's icon and name
}

int CTessarineApp::PrintHelp(bool version) {
    SetLanguage(StartLanguage());
    const std::string text =
        version ? std::string("tessarine " TESSARINE_VERSION "\n") : LoadResString(TXT_APP_HELP);
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "%s\n", LoadResString(IDS_STDOUT_FAILED).c_str());
        return 1;
    }
    return 0;
}

int CTessarineApp::Run(int argc, char** argv) {
    // There is no automation server to register here: both runs end at once,
    // without a window and without touching any file, also where no display
    // could be opened. So do the help and the version, which answer whatever
    // else the line holds.
    {
        const CTessarineCommandLineInfo early =
            CTessarineCommandLineInfo::Parse(std::vector<std::string>(argv + 1, argv + argc));
        if (early.showHelp || early.showVersion)
            return PrintHelp(!early.showHelp);
        if (early.registerServer || early.unregisterServer)
            return 0;
    }
    QApplication app(argc, argv); // takes Qt's own options off the command line
    SetIdentity();
    return RunWindow(std::vector<std::string>(argv + 1, argv + argc));
}

int CTessarineApp::RunWindow(const std::vector<std::string>& arguments) {
    const CTessarineCommandLineInfo info = CTessarineCommandLineInfo::Parse(arguments);

    SetLanguage(StartLanguage());
    // Qt's own texts in the same language (the key names the menus show,
    // the buttons of the boxes), before any window is made.
    InstallQtTranslations(CurrentLanguage());
    if (!HttpGlobalInit()) {
        ShowMessageBox(nullptr, QMessageBox::NoIcon,
                       QString::fromStdString(LoadResString(IDS_SOCKETS_INIT_FAILED)));
        return 1;
    }

    // An unattended run on a base directory that is gone (a disk not
    // mounted) has nothing to check and must not make the folder: it may be
    // the mount point. The user is told, as the command line tells.
    const std::string base = BaseDirectoryForStart().toStdString();
    if (std::error_code error;
        info.checkAndQuit && !base.empty() && !std::filesystem::is_directory(base, error)) {
        ShowMessageBox(nullptr, QMessageBox::Critical,
                       QString::fromStdString(FormatResString(IDS_BASEDIR_MISSING, base)));
        return kExitBaseDirectoryMissing;
    }

    // The window's events, the library working on them, the window: ended in
    // the opposite order, so that the library's worker is gone before the
    // events object it reports to.
    QueuedEngineView events;
    EngineOptions options;
    options.feedCacheDirectory = FeedCacheFolder();
    PodcastLibrary library(events, {info.checkAndQuit, info.doNotCheck}, std::move(options));
    // One program per base directory: the library holds the folder as long
    // as it lives, and the window is raised by a second start meanwhile.
    SingleInstance instance;
    const std::vector<std::string> links = LinksForWindow(info);
    if (const auto status = ClaimBaseDirectory(library, instance, base, info.checkAndQuit, links))
        return *status;

    CTessarineDlg dialog(library, events);
    dialog.SetSingleInstance(&instance);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &dialog, [&dialog] {
        if (dialog.HasEnded())
            return;
        dialog.setWindowState((dialog.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        dialog.show();
        dialog.raise();
        dialog.activateWindow();
    });
    // The program ends when the window ends, never because no window is
    // left in view: the window may be hidden in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&dialog, &CTessarineDlg::ended, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    dialog.OnInitDialog();
    dialog.ShowAsStarted();
    dialog.OpenLinks(ToStringList(links)); // once the window shows
    const int status = QCoreApplication::exec();
    return status != 0 ? status : dialog.ExitStatus();
}

} // namespace tessarine
