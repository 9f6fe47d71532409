#include "cli/TessarineCli.h"

#include "cli/CliArguments.h"
#include "cli/ConsoleProgress.h"
#include "cli/ConsoleView.h"
#include "core/files/FileStore.h"
#include "core/library/PodcastLibrary.h"
#include "core/net/UrlReference.h"
#include "core/util/Strings.h"
#include "display/DisplayText.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

#ifndef TESSARINE_VERSION
#define TESSARINE_VERSION "1.0"
#endif

namespace tessarine {

namespace {

class Session {
public:
    Session(const CliArguments& arguments, const CliConsole& console, EngineOptions options)
        : args_(arguments), console_(console),
          progress_(console.out, console.err, console.outIsTerminal, arguments.quiet,
                    console.width),
          view_(progress_), library_(view_, StartupSwitches{}, std::move(options)) {}

    int Run(const std::string& profileBase);

private:
    int List();
    int Add();
    int Remove();
    int Import();
    int Export();

    // Writes the settings file; a failure is reported.
    bool Save();
    void Message(const std::string& text) { progress_.Message(text); }

    const CliArguments& args_;
    const CliConsole& console_;
    ConsoleProgress progress_;
    ConsoleView view_;
    PodcastLibrary library_;
};

std::string NoTabs(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

size_t Columns(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

int Session::Run(const std::string& profileBase) {
    std::string base = profileBase;
    if (args_.baseGiven) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(args_.base, error);
        base = error ? args_.base : absolute.string();
    }
    base = BaseDirectoryPath(base).Text();
    if (!base.empty()) {
        std::error_code error;
        if (!std::filesystem::is_directory(base, error)) {
            Message(FormatResString(TXT_CLI_BASE_MISSING, base));
            return kExitFailure;
        }
    }

    // Every command that writes into the base directory holds it; list and
    // export only read the settings file, which is always replaced whole.
    const bool writes = args_.command != CliCommand::List && args_.command != CliCommand::Export;
    if (writes && library_.ClaimBaseDirectory(base) == PodcastLibrary::Claim::HeldElsewhere) {
        Message(FormatResString(IDS_BASEDIR_IN_USE, base.empty() ? "." : base));
        return kExitLocked;
    }

    const LoadResult loaded = writes ? library_.Open() : library_.Open(base);
    for (const std::string& url : loaded.duplicates)
        Message(FormatResString(IDS_DUPLICATE_URL, ShownUrl(url)));
    // A damaged settings file is told at every run until a save replaces it.
    // The list is then empty and not the user's: checking, listing or
    // exporting it would only look like success. Adding and importing go on
    // and write a new file (the old one's bytes stay in the kept copy).
    if (const std::optional<tessarine::Message> text = UnreadableSettingsMessage(loaded, base)) {
        Message(FormatText(LoadResString(text->id), text->args));
        if (args_.command == CliCommand::Check || args_.command == CliCommand::List ||
            args_.command == CliCommand::Export)
            return kExitFailure;
    }

    switch (args_.command) {
    case CliCommand::Check:
        return CheckAllFeeds(library_, view_, progress_);
    case CliCommand::List:
        return List();
    case CliCommand::Add:
        return Add();
    case CliCommand::Remove:
        return Remove();
    case CliCommand::Import:
        return Import();
    case CliCommand::Export:
        return Export();
    default:
        return kExitUsage;
    }
}

bool Session::Save() {
    if (library_.SaveSettings())
        return true;
    const std::optional<tessarine::Message> failure = library_.TakeSaveFailure();
    Message(failure ? FormatText(LoadResString(failure->id), failure->args)
                    : FormatResString(IDS_ERROR_CREATING_FILE,
                                      BaseDirectoryPath(library_.BaseDirectory()).SettingsFile()));
    return false;
}

int Session::List() {
    std::vector<std::array<std::string, 4>> rows;
    for (const SubscriptionSnapshot& s : library_.SubscriptionRows())
        rows.push_back({s.values.name, s.values.lastChecked.FormatShown(),
                        StatusText(library_.LastCheckStatus(s.record)), ShownUrl(s.values.url)});
    std::string text;
    if (!console_.outIsTerminal) {
        // For other programs: tab-separated, no heading.
        for (const auto& row : rows)
            text += NoTabs(row[0]) + "\t" + row[1] + "\t" + row[2] + "\t" + NoTabs(row[3]) + "\n";
    } else {
        rows.insert(rows.begin(),
                    {LoadResString(IDS_COLUMN_NAME), LoadResString(IDS_COLUMN_LAST_CHECKED),
                     LoadResString(IDS_COLUMN_STATUS), LoadResString(TXT_CLI_COLUMN_URL)});
        size_t widths[3] = {0, 0, 0};
        for (const auto& row : rows) {
            for (size_t c = 0; c < 3; ++c)
                widths[c] = std::max(widths[c], Columns(row[c]));
        }
        for (const auto& row : rows) {
            for (size_t c = 0; c < 3; ++c)
                text += row[c] + std::string(widths[c] - Columns(row[c]) + 2, ' ');
            text += row[3] + "\n";
        }
    }
    const bool written = std::fputs(text.c_str(), console_.out) >= 0;
    if (std::fflush(console_.out) == 0 && written)
        return kExitSuccess;
    Message(LoadResString(IDS_STDOUT_FAILED));
    return kExitFailure;
}

int Session::Add() {
    using Outcome = PodcastLibrary::Subscribed::Outcome;
    const PodcastLibrary::Subscribed added = library_.AddLookedUp(args_.argument);
    switch (added.outcome) {
    case Outcome::NotAFeedAddress:
        Message(FormatResString(IDS_NOT_A_FEED_ADDRESS, ShownUrl(added.url)));
        return kExitFailure;
    case Outcome::AlreadySubscribed:
        Message(FormatResString(IDS_DUPLICATE_URL, ShownUrl(added.url)));
        return kExitFailure;
    case Outcome::PageNamesNoFeed:
        Message(FormatResString(IDS_PAGE_NAMES_NO_FEED, ShownUrl(added.url)));
        return kExitFailure;
    case Outcome::Added:
        break;
    }
    if (!added.page.empty())
        progress_.Line(FormatText(LoadResString(IDS_FEED_FROM_PAGE), {ShownUrl(added.page), ShownUrl(added.url)}));
    return Save() ? kExitSuccess : kExitFailure;
}

int Session::Remove() {
    SubscriptionPtr record;
    for (const SubscriptionSnapshot& s : library_.SubscriptionRows()) {
        if (s.values.url == args_.argument) {
            record = s.record;
            break;
        }
    }
    // Removed and saved in one step; a failed save is reported.
    if (!record || !library_.Remove(record)) {
        Message(FormatResString(TXT_CLI_NOT_SUBSCRIBED, ShownUrl(args_.argument)));
        return kExitFailure;
    }
    if (const std::optional<tessarine::Message> failure = library_.TakeSaveFailure()) {
        Message(FormatText(LoadResString(failure->id), failure->args));
        return kExitFailure;
    }
    return kExitSuccess;
}

int Session::Import() {
    const std::string& file = args_.argument;
    std::string bytes;
    bool read;
    if (file == "-") {
        char buffer[65536];
        size_t n;
        while (bytes.size() <= kMaxOpmlFileBytes &&
               (n = std::fread(buffer, 1, sizeof buffer, console_.in)) > 0)
            bytes.append(buffer, n);
        read = !std::ferror(console_.in) && bytes.size() <= kMaxOpmlFileBytes;
    } else {
        read = ReadRegularFile(file, kMaxOpmlFileBytes, bytes) == FileRead::Read;
    }
    if (!read) {
        Message(FormatResString(TXT_CLI_READ_FAILED, file));
        return kExitFailure;
    }
    const auto feeds = ReadOpml(bytes);
    if (!feeds) {
        Message(FormatResString(TXT_CLI_NOT_OPML, file));
        return kExitFailure;
    }
    const OpmlImportCounts counts = library_.AddFeeds(*feeds);
    if (counts.added > 0 && !Save())
        return kExitFailure;
    progress_.Line(FormatText(LoadResString(TXT_IMPORT_COUNTS),
                              {std::to_string(counts.added), std::to_string(counts.present),
                               std::to_string(counts.skipped)}));
    return kExitSuccess;
}

int Session::Export() {
    const std::string document =
        library_.ExportOpml(LoadResString(TXT_OPML_TITLE), std::time(nullptr));
    const std::string& file = args_.argument;
    if (file == "-") {
        const bool ok =
            std::fwrite(document.data(), 1, document.size(), console_.out) == document.size() &&
            std::fflush(console_.out) == 0;
        if (ok)
            return kExitSuccess;
        Message(LoadResString(IDS_STDOUT_FAILED));
        return kExitFailure;
    }
    if (!WriteUserFile(file, document)) {
        Message(FormatResString(IDS_ERROR_CREATING_FILE, file));
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace

int TessarineCli::Run(const std::vector<std::string>& arguments, const std::string& profileBase,
                      const std::string& feedCacheFolder, const CliConsole& console) {
    const CliArguments args = CliArguments::Parse(arguments);
    if (!args.error.empty()) {
        const std::string text = args.error + "\n" + LoadResString(TXT_CLI_USAGE_HINT) + "\n";
        std::fputs(text.c_str(), console.err);
        return kExitUsage;
    }
    if (args.command == CliCommand::Help) {
        std::fputs(LoadResString(TXT_CLI_HELP).c_str(), console.out);
        return kExitSuccess;
    }
    if (args.command == CliCommand::Version) {
        std::fputs("tessarine-cli " TESSARINE_VERSION "\n", console.out);
        return kExitSuccess;
    }
    EngineOptions options;
    options.feedCacheDirectory = feedCacheFolder;
    Session session(args, console, std::move(options));
    return session.Run(profileBase);
}

} // namespace tessarine
