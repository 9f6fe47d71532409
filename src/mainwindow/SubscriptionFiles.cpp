#include "mainwindow/SubscriptionFiles.h"

#include "core/files/FileStore.h"
#include "core/net/UrlReference.h"
#include "core/util/Strings.h"
#include "platform/Desktop.h"
#include "platform/Profile.h"
#include "platform/SingleInstance.h"

#include <QDir>

#include <ctime>

namespace tessarine {
namespace {

QString Text(int id) { return QString::fromStdString(LoadResString(id)); }

void ShowError(QWidget* parent, int textId, const std::string& file) {
    ShowMessageBox(parent, QMessageBox::Critical,
                   QString::fromStdString(FormatResString(textId, file)));
}

// A file chooser's title: the menu item that opened it, without its
// mnemonic's "&" ("&&" is a plain "&") and without its dots.
QString ChooserCaption(int menuTextId) {
    QString caption;
    const QString item = Text(menuTextId);
    for (qsizetype i = 0; i < item.size(); ++i) {
        if (item[i] == QLatin1Char('&') && ++i == item.size())
            break;
        caption += item[i];
    }
    while (caption.endsWith(QLatin1Char('.')))
        caption.chop(1);
    return caption;
}

} // namespace

std::optional<OpmlImportCounts> ImportSubscriptions(QWidget* parent, PodcastLibrary& library) {
    const QString chosen =
        ChooseOpenFile(parent, ChooserCaption(TXT_MENU_IMPORT), Text(TXT_OPML_FILES));
    if (chosen.isEmpty())
        return std::nullopt;
    const std::string file = QDir::toNativeSeparators(chosen).toStdString();
    std::string bytes;
    if (ReadRegularFile(file, kMaxOpmlFileBytes, bytes) != FileRead::Read) {
        ShowError(parent, TXT_CLI_READ_FAILED, file);
        return std::nullopt;
    }
    const std::optional<std::vector<OpmlFeed>> feeds = ReadOpml(bytes);
    if (!feeds) {
        ShowError(parent, TXT_CLI_NOT_OPML, file);
        return std::nullopt;
    }
    return library.ImportFeeds(*feeds);
}

void ShowImportCounts(QWidget* parent, const OpmlImportCounts& counts) {
    ShowMessageBox(parent, QMessageBox::Information,
                   QString::fromStdString(FormatText(
                       LoadResString(TXT_IMPORT_COUNTS),
                       {std::to_string(counts.added), std::to_string(counts.present),
                        std::to_string(counts.skipped)})));
}

void ExportSubscriptions(QWidget* parent, PodcastLibrary& library) {
    const QString chosen = ChooseSaveFile(parent, ChooserCaption(TXT_MENU_EXPORT),
                                          Text(TXT_OPML_FILES), QStringLiteral("opml"));
    if (chosen.isEmpty())
        return;
    const std::string file = QDir::toNativeSeparators(chosen).toStdString();
    const std::string document =
        library.ExportOpml(LoadResString(TXT_OPML_TITLE), std::time(nullptr));
    if (!WriteUserFile(file, document))
        ShowError(parent, IDS_ERROR_CREATING_FILE, file);
}

std::optional<LoadResult> ChangeBaseDirectory(QWidget* parent, PodcastLibrary& library, bool warn,
                                              SingleInstance* instance) {
    if (warn && ShowMessageBox(parent, QMessageBox::Question, Text(IDS_BASEDIR_WARNING),
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return std::nullopt;
    // The chooser opens at the base directory in use (the empty one is the
    // program's current folder).
    const std::string current = library.BaseDirectory();
    const QString chosen =
        ChooseFolder(parent, Text(IDS_BROWSE_PROMPT),
                     current.empty() ? QDir::currentPath() : QString::fromStdString(current));
    if (chosen.isEmpty())
        return std::nullopt;
    const std::string base =
        BaseDirectoryPath(QDir::toNativeSeparators(chosen).toStdString()).Text();
    // The new folder's lock first: a folder another program uses is refused.
    std::optional<LoadResult> loaded = library.ChangeBaseDirectory(base);
    if (!loaded) {
        ShowError(parent, IDS_BASEDIR_IN_USE, base);
        return std::nullopt;
    }
    WriteBaseDirectoryToProfile(QString::fromStdString(base));
    if (instance != nullptr) {
        if (library.HoldsLock())
            instance->Listen(base);
        else
            instance->StopListening();
    }
    return loaded;
}

void ShowDuplicates(QWidget* parent, const LoadResult& loaded) {
    for (const std::string& url : loaded.duplicates)
        ShowError(parent, IDS_DUPLICATE_URL, ShownUrl(url));
}

QString UnreadableSettingsText(const LoadResult& loaded, const std::string& baseDirectory) {
    const std::optional<Message> text = UnreadableSettingsMessage(loaded, baseDirectory);
    return text ? QString::fromStdString(FormatText(LoadResString(text->id), text->args))
                : QString();
}

} // namespace tessarine
