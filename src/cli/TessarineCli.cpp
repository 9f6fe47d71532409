#include "cli/TessarineCli.h"

#include "cli/CliArguments.h"
#include "cli/ConsoleProgress.h"
#include "cli/ConsoleView.h"
#include "core/files/FileStore.h"
#include "core/library/PodcastLibrary.h"
#include "core/net/UrlReference.h"
#include "core/search/PodcastDirectory.h"
#include "core/util/Strings.h"
#include "core/util/Text.h"
#include "display/DisplayText.h"

#include <algorithm>
#include <cerrno>
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
    // The episode library (see its section below).
    int Episodes();
    int Get();
    int Set();
    int Again();
    int Cleanup();

    // The subscription the command's podcast names; none, told as a usage
    // error, when none or several do.
    SubscriptionPtr Podcast();
    std::string NameOf(const SubscriptionPtr& record) const;
    // Why the episode library could not be used; returns the exit status.
    int StoreUnusable(bool failed);
    int UsageError(const std::string& text);
    // `text` onto standard output; returns the exit status.
    int Print(const std::string& text);

    // Writes the settings file; a failure is reported.
    bool Save();
    void Message(const std::string& text) { progress_.Message(text); }

    const CliArguments& args_;
    const CliConsole& console_;
    ConsoleProgress progress_;
    ConsoleView view_;
    PodcastLibrary library_;
    std::string base_; // the base directory as given, or the profile's
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

using Row = std::vector<std::string>;

// Rows as list and episodes print them: on a terminal in columns aligned
// under `heading`, the last one not padded; for other programs separated by
// tabs, without a heading.
std::string Table(std::vector<Row> rows, Row heading, bool terminal) {
    std::string text;
    if (!terminal) {
        for (const Row& row : rows) {
            for (size_t c = 0; c < row.size(); ++c)
                text += (c == 0 ? "" : "\t") + NoTabs(row[c]);
            text += "\n";
        }
        return text;
    }
    rows.insert(rows.begin(), std::move(heading));
    std::vector<size_t> widths(rows.front().size(), 0);
    for (const Row& row : rows) {
        for (size_t c = 0; c + 1 < row.size(); ++c)
            widths[c] = std::max(widths[c], Columns(row[c]));
    }
    for (const Row& row : rows) {
        for (size_t c = 0; c + 1 < row.size(); ++c)
            text += row[c] + std::string(widths[c] - Columns(row[c]) + 2, ' ');
        text += row.back() + "\n";
    }
    return text;
}

int Session::Run(const std::string& profileBase) {
    std::string base = profileBase;
    if (args_.baseGiven) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(args_.base, error);
        base = error ? args_.base : absolute.string();
    }
    base = BaseDirectoryPath(base).Text();
    base_ = base;
    if (!base.empty()) {
        std::error_code error;
        if (!std::filesystem::is_directory(base, error)) {
            // Subscribing is the first thing done in a new base directory:
            // add and import make it. Every other command needs one with
            // subscriptions in it, and a misspelt --base is a usage error.
            if (args_.command != CliCommand::Add && args_.command != CliCommand::Import) {
                Message(FormatResString(TXT_CLI_BASE_MISSING, base));
                return kExitUsage;
            }
            std::filesystem::create_directories(base, error);
            if (error || !std::filesystem::is_directory(base, error)) {
                Message(
                    FormatText(LoadResString(TXT_CLI_BASE_NOT_CREATED),
                               {base, FailureText(FileFailure(error ? error.value() : ENOTDIR))}));
                return kExitFailure;
            }
            progress_.Line(FormatResString(TXT_CLI_BASE_CREATED, base));
        }
    }

    // Every command that writes into the base directory holds it, and so do
    // those of the episode library, whose store is only opened under the
    // lock; list and export only read the settings file, which is always
    // replaced whole.
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
    // exporting it, or looking for a podcast in it, would only look like
    // success (or blame the podcast named). Adding and importing go on and
    // write a new file (the old one's bytes stay in the kept copy); so do
    // get and set of the defaults, which are in the episode store.
    if (const std::optional<tessarine::Message> text = UnreadableSettingsMessage(loaded, base)) {
        Message(MessageWithReason(*text));
        switch (args_.command) {
        case CliCommand::Add:
        case CliCommand::Remove:
        case CliCommand::Import:
            break;
        case CliCommand::Get:
        case CliCommand::Set:
            if (args_.defaults)
                break;
            return kExitFailure;
        default:
            return kExitFailure;
        }
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
    case CliCommand::Episodes:
        return Episodes();
    case CliCommand::Get:
        return Get();
    case CliCommand::Set:
        return Set();
    case CliCommand::Again:
        return Again();
    case CliCommand::Cleanup:
        return Cleanup();
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

int Session::Print(const std::string& text) {
    const bool written = std::fputs(text.c_str(), console_.out) >= 0;
    if (std::fflush(console_.out) == 0 && written)
        return kExitSuccess;
    Message(LoadResString(IDS_STDOUT_FAILED));
    return kExitFailure;
}

int Session::List() {
    std::vector<Row> rows;
    // A podcast never checked: "never" for a person, an empty field for a
    // program.
    const std::string never = console_.outIsTerminal ? LoadResString(TXT_CLI_NEVER_CHECKED) : "";
    for (const SubscriptionSnapshot& s : library_.SubscriptionRows())
        rows.push_back({s.values.name,
                        s.values.lastChecked.IsValid() ? s.values.lastChecked.FormatShown() : never,
                        StatusText(library_.LastCheckStatus(s.record)), ShownUrl(s.values.url)});
    return Print(Table(std::move(rows),
                       {LoadResString(IDS_COLUMN_NAME), LoadResString(IDS_COLUMN_LAST_CHECKED),
                        LoadResString(IDS_COLUMN_STATUS), LoadResString(TXT_CLI_COLUMN_URL)},
                       console_.outIsTerminal));
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

// ---- The episode library ----
// The state words and keys are printed as the store names them, in every
// language: they are meant for scripts as much as for people.

int Session::UsageError(const std::string& text) {
    Message(text);
    Message(LoadResString(TXT_CLI_USAGE_HINT));
    return kExitUsage;
}

SubscriptionPtr Session::Podcast() {
    if (SubscriptionPtr record = library_.FindPodcast(args_.argument))
        return record;
    size_t named = 0;
    for (const SubscriptionSnapshot& s : library_.SubscriptionRows())
        named += SameNameIgnoringCase(s.values.name, args_.argument) ? 1 : 0;
    UsageError(FormatResString(named > 1 ? TXT_CLI_AMBIGUOUS_PODCAST : TXT_CLI_UNKNOWN_PODCAST,
                               ShownUrl(args_.argument)));
    return nullptr;
}

std::string Session::NameOf(const SubscriptionPtr& record) const {
    for (const SubscriptionSnapshot& s : library_.SubscriptionRows())
        if (s.record == record)
            return s.values.name;
    return ShownUrl(args_.argument);
}

int Session::StoreUnusable(bool failed) {
    // What the library told already (a store it could not open, say) is
    // not told twice.
    if (view_.Messages() > 0)
        return kExitFailure;
    if (!failed && !library_.HoldsLock())
        Message(FormatResString(TXT_CLI_NO_STORE_LOCK, base_.empty() ? "." : base_));
    else
        Message(FormatResString(failed ? TXT_CLI_STORE_FAILED : TXT_CLI_NO_STORE,
                                BaseDirectoryPath(base_).EpisodeStoreFile()));
    return kExitFailure;
}

int Session::Episodes() {
    const SubscriptionPtr record = Podcast();
    if (!record)
        return kExitUsage;
    std::vector<StoredEpisode> episodes;
    const PodcastLibrary::EpisodeQuery query = library_.EpisodesOf(record, episodes);
    if (query != PodcastLibrary::EpisodeQuery::Done)
        return StoreUnusable(query == PodcastLibrary::EpisodeQuery::Failed);
    std::vector<Row> rows;
    for (const StoredEpisode& e : episodes) {
        // The date part of the ISO date ("2026-03-01T06:00:00Z").
        rows.push_back({EpisodeStateName(e.state), e.date.substr(0, e.date.find_first_of("T ")),
                        e.title, e.file});
    }
    return Print(Table(std::move(rows),
                       {LoadResString(IDS_COLUMN_STATUS), LoadResString(TXT_CLI_COLUMN_DATE),
                        LoadResString(TXT_CLI_COLUMN_TITLE), LoadResString(IDS_COLUMN_FILE)},
                       console_.outIsTerminal));
}

int Session::Get() {
    SubscriptionPtr record;
    if (!args_.defaults && !(record = Podcast()))
        return kExitUsage;
    std::vector<SettingRow> settings;
    const PodcastLibrary::EpisodeQuery query = library_.SettingsOf(record, settings);
    if (query != PodcastLibrary::EpisodeQuery::Done)
        return StoreUnusable(query == PodcastLibrary::EpisodeQuery::Failed);
    // On a terminal "keep=3", "paused=no (inherited)"; for other programs
    // key, value and "inherited" or nothing, separated by tabs.
    std::string text;
    for (const SettingRow& row : settings) {
        if (console_.outIsTerminal)
            text += row.key + "=" + row.value +
                    (row.inherited ? " (" + LoadResString(TXT_CLI_INHERITED) + ")" : "") + "\n";
        else
            text += row.key + "\t" + NoTabs(row.value) + "\t" + (row.inherited ? "inherited" : "") +
                    "\n";
    }
    return Print(text);
}

int Session::Set() {
    SubscriptionPtr record;
    if (!args_.defaults && !(record = Podcast()))
        return kExitUsage;
    std::vector<PodcastLibrary::SettingChange> changes;
    for (const auto& [key, value] : args_.settings)
        changes.push_back({key, value});
    std::string problem;
    using Result = PodcastLibrary::SettingsResult;
    switch (library_.ChangeSettings(record, changes, problem)) {
    case Result::Done:
        return kExitSuccess;
    case Result::UnknownKey:
        return UsageError(FormatResString(TXT_CLI_UNKNOWN_KEY, problem));
    case Result::BadValue:
        return UsageError(FormatResString(TXT_CLI_BAD_VALUE, problem));
    case Result::NoStore:
        return StoreUnusable(false);
    case Result::Failed:
        break;
    }
    return StoreUnusable(true);
}

int Session::Again() {
    const SubscriptionPtr record = Podcast();
    if (!record)
        return kExitUsage;
    using Result = PodcastLibrary::AgainResult;
    switch (library_.DownloadAgain(record, args_.episode)) {
    case Result::Marked:
        return kExitSuccess;
    case Result::UnknownEpisode:
        return UsageError(
            FormatText(LoadResString(TXT_CLI_UNKNOWN_EPISODE), {NameOf(record), args_.episode}));
    case Result::NoStore:
        return StoreUnusable(false);
    case Result::Failed:
        break;
    }
    return StoreUnusable(true);
}

int Session::Cleanup() {
    std::vector<PodcastLibrary::CleanedFile> files;
    const PodcastLibrary::EpisodeQuery query = library_.CleanUp(args_.dryRun, files);
    if (query != PodcastLibrary::EpisodeQuery::Done)
        return StoreUnusable(query == PodcastLibrary::EpisodeQuery::Failed);
    // The files, one a line, whatever --quiet says: they are the answer.
    std::string text;
    for (const PodcastLibrary::CleanedFile& file : files)
        text += file.file + "\n";
    if (Print(text) != kExitSuccess)
        return kExitFailure;
    progress_.Line(FormatResString(args_.dryRun ? TXT_CLI_WOULD_CLEAN : TXT_CLI_CLEANED,
                                   std::to_string(files.size())));
    return kExitSuccess;
}

// ---- Searching a directory ----

// `text` cut to `columns` characters, an ellipsis standing for the rest.
std::string FitColumns(const std::string& text, size_t columns) {
    if (Columns(text) <= columns)
        return text;
    return columns == 0 ? std::string() : ConsoleProgress::Fit(text, columns - 1) + "\xE2\x80\xA6";
}

int Search(const CliArguments& args, const CliConsole& console,
           const SearchCredentials& credentials) {
    std::unique_ptr<PodcastDirectory> directory;
    if (!args.index) {
        directory = MakeAppleDirectory();
    } else if (credentials.key.empty() || credentials.secret.empty()) {
        std::fputs((LoadResString(TXT_CLI_SEARCH_NEEDS_KEYS) + "\n").c_str(), console.err);
        return kExitUsage;
    } else {
        directory = MakePodcastIndexDirectory(credentials.key, credentials.secret);
    }
    const DirectorySearch found = directory->Search(args.argument);
    if (found.results.empty()) {
        // Nothing found is an answer (told unless --quiet); a failure is not.
        const bool failed = found.outcome != DirectorySearch::Outcome::Found;
        if (failed || !args.quiet) {
            const std::string text =
                DirectorySearchText(directory->Name(), found, args.argument, args.index);
            std::fputs((text + "\n").c_str(), console.err);
        }
        return failed ? kExitFailure : kExitSuccess;
    }
    std::vector<Row> rows;
    for (const DirectoryResult& r : found.results)
        rows.push_back({NoTabs(r.title), NoTabs(r.author),
                        r.episodes >= 0 ? std::to_string(r.episodes) : "", r.feedUrl});
    Row heading = {LoadResString(TXT_CLI_COLUMN_TITLE), LoadResString(TXT_CLI_COLUMN_AUTHOR),
                   LoadResString(TXT_CLI_COLUMN_EPISODES), LoadResString(TXT_CLI_COLUMN_URL)};
    if (console.outIsTerminal) {
        // The feed URL stays whole (it is what add takes); where the lines
        // are wider than the terminal, title and author give way, the title
        // keeping the larger part.
        // The widest cell of each column, the heading's included but for
        // the URL's, which the last column never pads to.
        const auto widest = [&](size_t column, bool withHeading) {
            size_t most = withHeading ? Columns(heading[column]) : 0;
            for (const Row& row : rows)
                most = std::max(most, Columns(row[column]));
            return most;
        };
        size_t title = widest(0, true), author = widest(1, true);
        const size_t episodes = widest(2, true), url = widest(3, false);
        const size_t width = console.width();
        const size_t fixed = episodes + url + 6; // with the gaps between the columns
        constexpr size_t kNarrowest = 8;
        if (title + author + fixed > width) {
            const size_t room = width > fixed + 2 * kNarrowest ? width - fixed : 2 * kNarrowest;
            const size_t authorRoom = std::max(kNarrowest, std::min(author, room / 3));
            author = std::min(author, authorRoom);
            title = std::max(kNarrowest, room - author);
        }
        const auto fit = [&](Row& row) {
            row[0] = FitColumns(row[0], title);
            row[1] = FitColumns(row[1], author);
            // Counts line up at the right.
            row[2] = std::string(episodes - Columns(row[2]), ' ') + row[2];
        };
        for (Row& row : rows)
            fit(row);
        fit(heading);
    }
    const std::string text = Table(std::move(rows), std::move(heading), console.outIsTerminal);
    const bool written = std::fputs(text.c_str(), console.out) >= 0;
    if (std::fflush(console.out) == 0 && written)
        return kExitSuccess;
    std::fputs((LoadResString(IDS_STDOUT_FAILED) + "\n").c_str(), console.err);
    return kExitFailure;
}

} // namespace

int TessarineCli::Run(const std::vector<std::string>& arguments, const std::string& profileBase,
                      const std::string& feedCacheFolder, const CliConsole& console,
                      const SearchCredentials& credentials) {
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
    // A search needs no base directory: it neither reads nor writes one.
    if (args.command == CliCommand::Search)
        return Search(args, console, credentials);
    EngineOptions options;
    options.feedCacheDirectory = feedCacheFolder;
    Session session(args, console, std::move(options));
    return session.Run(profileBase);
}

} // namespace tessarine
