#pragma once
// The program's string tables: every user-visible text, in English and German,
// under the same identifiers. Texts are UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

enum StringId : int {
    IDS_WAITING = 102,
    IDS_SOCKETS_INIT_FAILED = 103,
    IDS_COLUMN_NAME = 104,
    IDS_COLUMN_PROGRESS = 105,
    IDS_COLUMN_DOWNLOAD_STATUS = 106,
    IDS_COLUMN_LAST_CHECKED = 107,
    IDS_ABOUT_FORMAT = 108,
    IDS_DATE_FORMAT = 109,
    IDS_COLUMN_STATUS = 110,
    IDS_BROWSE_PROMPT = 111,
    IDS_BASEDIR_WARNING = 112,
    IDS_INTERNET_OPEN_FAILED = 113,
    IDS_COULD_NOT_OPEN = 114,
    IDS_EXAMPLE_FEED_URL = 115,
    IDS_DOWNLOADING = 116,
    IDS_ERROR_CREATING_FILE = 117,
    IDS_DUPLICATE_URL = 119,
    IDS_NEW_PODCAST = 120,
    IDS_STATUS_NEWLY_ADDED = 121,
    IDS_STATUS_CHECK_PENDING = 122,
    IDS_STATUS_CHECKING = 123,
    IDS_STATUS_NEW_ITEMS = 124,
    IDS_STATUS_NO_NEW_ITEMS = 125,
    IDS_STATUS_ERROR = 126,
    IDS_FAILED = 127,
    IDS_SELECT_FEED_FIRST = 128,
    IDS_SIZE_FORMAT = 129,
    IDS_BASEDIR_IN_USE = 150,
    IDS_SETTINGS_KEPT = 151,
    IDS_SETTINGS_NOT_KEPT = 152,
    IDS_ERROR_CREATING_FILE_REASON = 180, // the file, then the system's reason
    IDS_BASEDIR_MISSING = 181,            // at an unattended start
    IDS_ARCHIVE_LEFT_ALONE = 190,
    IDS_STDOUT_FAILED = 191,
    IDS_NOT_A_FEED_ADDRESS = 160,
    IDS_FEED_FROM_PAGE = 161, // the page's address, then the feed's
    IDS_PAGE_NAMES_NO_FEED = 162,
    IDS_COLUMN_FILE = 201,
    IDS_COLUMN_SIZE = 202,
    IDS_NO_FILE_NAME = 210,
    IDS_FEED_MOVED = 220,               // the old address, then the new one
    IDS_FEED_MOVED_TO_SUBSCRIBED = 221, // the old address, then the subscribed one
    IDS_STORE_KEPT = 222,               // the store, then where its bytes were kept
    IDS_STORE_NOT_OPENED = 223,         // the store, then why
    IDS_STORE_TOO_NEW = 224,            // the store
    IDS_COMPLETED = 58114,

    // Why something failed (see Failure), in a few words.
    IDS_REASON_HTTP_STATUS = 400, // the status code and the server's phrase
    IDS_REASON_NOT_A_FEED = 401,
    IDS_REASON_PAGE_NAMES_NO_FEED = 402,
    IDS_REASON_NAME_NOT_FOUND = 403,
    IDS_REASON_CONNECTION_REFUSED = 404,
    IDS_REASON_TIMED_OUT = 405,
    IDS_REASON_CERTIFICATE = 406,
    IDS_REASON_TOO_LARGE = 407,
    IDS_REASON_CUT_SHORT = 408,
    IDS_REASON_EMPTY_REPLY = 409,
    IDS_REASON_NETWORK_ERROR = 410,
    IDS_REASON_NETWORK_ERROR_DETAIL = 411, // the library's own text
    IDS_REASON_DISK_FULL = 412,
    IDS_REASON_PERMISSION_DENIED = 413,
    IDS_REASON_FILE_ERROR = 414,
    IDS_REASON_FILE_ERROR_DETAIL = 415, // the system's own text
    IDS_REASON_NO_INTERNET = 416,
    IDS_REASON_CANCELLED = 417,

    // Texts of the window, menus and dialogs.
    TXT_CAPTION = 40000,
    TXT_LABEL_SUBSCRIBED,
    TXT_LABEL_DOWNLOADS,
    TXT_MENU_FILE,
    TXT_MENU_OPTIONS,
    TXT_MENU_HELP,
    TXT_MENU_SUBSCRIBE,
    TXT_MENU_REMOVE,
    TXT_MENU_CHECK,
    TXT_MENU_OPEN_BASEDIR,
    TXT_MENU_QUIT,
    TXT_MENU_SET_BASEDIR,
    TXT_MENU_SETTINGS,
    TXT_MENU_INFORMATION,
    TXT_MENU_ABOUT,
    TXT_CONTEXT_OPEN_PODCAST_DIR,
    TXT_CONTEXT_UPDATE,
    TXT_OK,
    TXT_CANCEL,
    TXT_SETTINGS_CAPTION,
    TXT_SETTINGS_BEHAVIOUR,
    TXT_SETTINGS_UPDATE_START,
    TXT_SETTINGS_QUIT_COMPLETE,
    TXT_SETTINGS_AUTOSTART_GROUP,
    TXT_SETTINGS_AUTOSTART,
    TXT_SUBSCRIBE_CAPTION,
    TXT_SUBSCRIBE_URL_LABEL,
    TXT_INFO_CAPTION,
    TXT_INFO_GENERAL,
    TXT_INFO_GENERAL_TEXT,
    TXT_INFO_EXAMPLE,
    TXT_INFO_EXAMPLE_TEXT,
    TXT_INFO_PARAMETERS,
    TXT_INFO_CHECKANDQUIT,
    TXT_INFO_DONOTCHECK,
    TXT_ABOUT_CAPTION,
    TXT_WEB_ADDRESS,

    // Subscriptions in and out (OPML), in the window and the command line.
    TXT_MENU_IMPORT = 40100,
    TXT_MENU_EXPORT,
    TXT_IMPORT_COUNTS, // added, already present, skipped
    TXT_OPML_TITLE,
    TXT_OPML_FILES, // the file choosers' filter

    // The command-line program tessarine-cli.
    TXT_CLI_HELP = 40200,
    TXT_CLI_USAGE_HINT,
    TXT_CLI_NO_COMMAND,
    TXT_CLI_UNKNOWN_COMMAND,
    TXT_CLI_UNKNOWN_OPTION,
    TXT_CLI_MISSING_ARGUMENT,
    TXT_CLI_EXTRA_ARGUMENT,
    TXT_CLI_BASE_MISSING,
    TXT_CLI_NOT_SUBSCRIBED,
    TXT_CLI_READ_FAILED,
    TXT_CLI_NOT_OPML,
    TXT_CLI_COLUMN_URL,
    TXT_CLI_RATE,
    TXT_CLI_SUMMARY,

    // Desktop notifications.
    TXT_NOTIFY_ONE_EPISODE = 40300,
    TXT_NOTIFY_EPISODES,
    TXT_NOTIFY_MORE_PODCASTS,

    // The main window.
    TXT_EMPTY_LIST_HINT = 40400, // in the subscription list while it is empty

    // The episode library on the command line.
    TXT_CLI_GET_NEEDS = 40500,
    TXT_CLI_SET_NEEDS,
    TXT_CLI_AGAIN_NEEDS,
    TXT_CLI_NOT_A_SETTING,       // a word of set that is no KEY=VALUE
    TXT_CLI_DEFAULT_AND_PODCAST, // the podcast given with --default
    TXT_CLI_UNKNOWN_PODCAST,
    TXT_CLI_AMBIGUOUS_PODCAST,   // a name that several podcasts have
    TXT_CLI_UNKNOWN_KEY,
    TXT_CLI_BAD_VALUE,           // KEY=VALUE
    TXT_CLI_UNKNOWN_EPISODE,     // podcast, episode
    TXT_CLI_NO_STORE_LOCK,       // the base directory
    TXT_CLI_NO_STORE,            // the store's file
    TXT_CLI_STORE_FAILED,        // the store's file
    TXT_CLI_INHERITED,
    TXT_CLI_COLUMN_DATE,
    TXT_CLI_COLUMN_TITLE,
    TXT_CLI_CLEANED,             // the number of files
    TXT_CLI_WOULD_CLEAN,         // the number of files

    // The command line's list and base directory; the notification's action.
    TXT_CLI_NEVER_CHECKED = 40750, // the last check of a podcast never checked (list, window)
    TXT_CLI_BASE_CREATED,          // the base directory
    TXT_CLI_BASE_NOT_CREATED,      // the base directory, why
    TXT_NOTIFY_SHOW,               // the notification's default action
    // The window program's own words.
    TXT_SETTINGS_AUTOSTART_LOGIN = 40600, // the autostart box where it starts at log-in
    TXT_APP_HELP,                         // tessarine --help
    // The download list: its podcast column, its context menu, cancelled
    // downloads and why a download failed.
    TXT_COLUMN_PODCAST = 40700,
    TXT_STATE_CANCELLED,
    TXT_DOWNLOAD_OPEN,
    TXT_DOWNLOAD_OPEN_FOLDER,
    TXT_DOWNLOAD_CANCEL,
    TXT_DOWNLOAD_RETRY,
    TXT_DOWNLOAD_REMOVE_FINISHED,
    TXT_DOWNLOAD_FAILED_BECAUSE, // the file's name, why it failed
    TXT_DOWNLOAD_WAS_CANCELLED,  // the file's name
    TXT_DOWNLOAD_TIP_REASON,     // the download's state, why it failed
    // The subscription list's cells and tooltips.
    TXT_PLACEHOLDER_WITH_ADDRESS = 40650, // the placeholder name, the feed's host and path
    TXT_TIP_URL,                          // the feed's address
    TXT_TIP_LAST_CHECK,                   // a status
    TXT_TIP_LAST_CHECK_FAILED,            // the reason
    TXT_TIP_NEVER_CHECKED,
    // The window that gathers the messages of the checks.
    TXT_MESSAGES_CAPTION = 40800,
    TXT_MESSAGES_TIME,  // column header
    TXT_MESSAGES_TEXT,  // column header
    TXT_MESSAGES_COPY,  // buttons, with their mnemonics
    TXT_MESSAGES_CLEAR,
    TXT_MESSAGES_CLOSE,
    // Links handed to the program to subscribe to (podcast links, saved feed files).
    TXT_LINK_NOT_A_PODCAST_LINK = 41000, // the link
    TXT_LINK_FILE_NOT_A_FEED,            // the file's path
    TXT_LINK_FILE_NAMES_NO_ADDRESS,      // the file's path
    // The Episodes window of a podcast.
    TXT_EPISODES_MENU = 40850, // the subscription context menu's item, with its mnemonic
    TXT_EPISODES_CAPTION, // the window's title: the podcast's name
    TXT_EPISODES_COLUMN_TITLE, // column headers
    TXT_EPISODES_COLUMN_DATE,
    TXT_EPISODES_COLUMN_DURATION,
    TXT_EPISODES_COLUMN_SIZE,
    TXT_EPISODES_COLUMN_STATE,
    TXT_EPISODES_SHOW, // labels and buttons, with their mnemonics
    TXT_EPISODES_SEARCH,
    TXT_EPISODES_PLAY,
    TXT_EPISODES_SHOW_IN_FOLDER,
    TXT_EPISODES_DELETE_FILE,
    TXT_EPISODES_DOWNLOAD,
    TXT_EPISODES_NOT_WANTED,
    TXT_EPISODES_CLOSE,
    TXT_EPISODES_SEARCH_HINT, // the search field while it is empty
    TXT_EPISODES_ALL, // the state filter's choices
    TXT_EPISODE_NEW, // an episode's state (also the filter's choices)
    TXT_EPISODE_QUEUED,
    TXT_EPISODE_DOWNLOADED,
    TXT_EPISODE_DELETED,
    TXT_EPISODE_REMOVED,
    TXT_EPISODE_SKIPPED,
    TXT_EPISODE_FAILED,
    TXT_EPISODE_FAILED_BECAUSE, // a failed episode's state: why
    TXT_EPISODE_AGAIN, // downloaded once more by the next check
    TXT_EPISODE_WAITING, // its download waits in the download list
    TXT_EPISODE_DOWNLOADING, // its download runs: the percentage
    TXT_EPISODES_COUNT, // shown, of all the podcast's
    TXT_EPISODES_NO_STORE, // the list cannot be read
    TXT_EPISODES_DELETE_ONE, // confirmations: the episode's title
    TXT_EPISODES_DELETE_MANY, // the number of files
    TXT_EPISODES_FILE_GONE, // the file's path
    TXT_EPISODES_DATE_FORMAT, // how the date column shows a date (Qt's date format)
    // Searching a podcast directory: what came of it, and the command line's search.
    TXT_SEARCH_NOTHING_FOUND = 41050, // the directory's name, the term
    TXT_SEARCH_NO_NETWORK,            // the directory's name, the reason
    TXT_SEARCH_REFUSED,               // the directory's name, the reason
    TXT_SEARCH_ODD_ANSWER,            // the directory's name
    TXT_SEARCH_KEYS_REFUSED,          // the directory's name, the reason
    TXT_CLI_SEARCH_NEEDS,
    TXT_CLI_SEARCH_NEEDS_KEYS,
    TXT_CLI_COLUMN_AUTHOR,
    TXT_CLI_COLUMN_EPISODES,
    // The tray icon: its menu and its tooltip.
    TXT_TRAY_SHOW_WINDOW = 40950, // menu items, with their mnemonics
    TXT_TRAY_HIDE_WINDOW,
    TXT_TRAY_LAST_CHECK,          // the date and time
    TXT_TRAY_DOWNLOADING,         // the file's name, how far it got
    TXT_TRAY_MORE_DOWNLOADING,    // the number of other downloads under way
    TXT_TRAY_WAITING,             // the number of downloads waiting
    // The podcast settings dialog, and the settings dialog's defaults and
    // watch options.
    TXT_CONTEXT_PODCAST_SETTINGS = 40900,
    TXT_PODSET_CAPTION,
    TXT_PODSET_URL,
    TXT_PODSET_PAUSED,
    TXT_PODSET_NO,
    TXT_PODSET_YES,
    TXT_PODSET_REFETCH,
    TXT_PODSET_REFETCH_YES,
    TXT_PODSET_REFETCH_NO,
    TXT_PODSET_ON_SUBSCRIBE,
    TXT_PODSET_ON_SUBSCRIBE_ALL,
    TXT_PODSET_ON_SUBSCRIBE_NEWEST,
    TXT_PODSET_KEEP,
    TXT_PODSET_KEEP_ALL,
    TXT_PODSET_KEEP_NEWEST,
    TXT_PODSET_KEEP_DAYS,
    TXT_PODSET_KEEP_DAYS_ALL,
    TXT_PODSET_KEEP_DAYS_N,
    TXT_PODSET_NAMES,
    TXT_PODSET_NAMES_URL,
    TXT_PODSET_NAMES_PATTERN,
    TXT_PODSET_AS_IN_SETTINGS,
    TXT_PODSET_EXAMPLE,
    TXT_PODSET_NO_EXAMPLE,
    TXT_PODSET_PLACEHOLDERS,
    TXT_PODSET_BAD_PATTERN,
    TXT_PODSET_NO_STORE,
    IDS_ADDRESS_BUSY,
    IDS_ADDRESS_NOT_CHANGED,
    IDS_SETTINGS_NOT_STORED,
    TXT_SETTINGS_WATCH_GROUP,
    TXT_SETTINGS_CHECK_EVERY,
    TXT_SETTINGS_KEEP_IN_TRAY,
    TXT_SETTINGS_DEFAULTS_GROUP,
    // The Find Podcasts window and the Podcast Index's key.
    TXT_MENU_FIND_PODCASTS = 41100,
    TXT_FIND_CAPTION,
    TXT_FIND_DIRECTORY_LABEL,
    TXT_FIND_TERM_LABEL,
    TXT_FIND_SEARCH,
    TXT_FIND_INDEX_KEY,
    TXT_FIND_SUBSCRIBE,
    TXT_FIND_CLOSE,
    TXT_FIND_COLUMN_TITLE, // the result list's column headers
    TXT_FIND_COLUMN_AUTHOR,
    TXT_FIND_COLUMN_EPISODES,
    TXT_FIND_COLUMN_GENRE,
    TXT_FIND_COLUMN_LATEST,
    TXT_FIND_COLUMN_STATUS,
    TXT_FIND_SUBSCRIBED,   // a result already in the subscription list
    TXT_FIND_HINT,         // the empty list's hint: where the term goes
    TXT_FIND_SEARCHING,    // the directory, the term
    TXT_FIND_FOUND,        // the directory, the number of podcasts
    TXT_FIND_NO_NETWORK,   // the directory, why
    TXT_FIND_REFUSED,      // the directory, why
    TXT_FIND_ODD_ANSWER,   // the directory
    TXT_FIND_SUBSCRIBED_TO, // the podcast's title
    TXT_KEY_CAPTION,
    TXT_KEY_INTRO,
    TXT_KEY_KEY_LABEL,
    TXT_KEY_SECRET_LABEL,
    TXT_FIND_NEEDS_KEY,    // the Podcast Index chosen without a key
};

enum class Language { English, German };

// One entry of a language's table.
struct StringEntry {
    int id;
    const char* text;
};

void SetLanguage(Language language);
Language CurrentLanguage();

// Chooses the language at start-up: TESSARINE_LANG ("de" or "en") wins, else
// German when the desktop's language is German, else English.
Language ChooseLanguage(const char* environmentValue, bool systemIsGerman);

// The text of `id` in the current language; the empty text for an unknown id.
const std::string& LoadResString(int id);
const std::string& LoadResString(int id, Language language);

// Replaces each "%s" of `pattern` in turn by the next argument and "%%" by "%".
// Arguments are inserted verbatim, so a URL holding "%" is safe.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);
std::string FormatText(std::string_view pattern, const std::vector<std::string>& args);
inline std::string FormatResString(int id, std::string_view arg) {
    return FormatText(LoadResString(id), {arg});
}

// The text of `id`, a printf pattern with one floating-point conversion
// (such as "%.1fMB"), formatted with `value` and always with "." as the
// decimal point: the tables' patterns are meant literally, whatever the
// locale's numeric conventions.
std::string FormatResNumber(int id, double value);

} // namespace tessarine
