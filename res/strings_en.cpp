// English string table.
#include "core/util/Strings.h"

namespace tessarine {

extern const StringEntry kEnglishStrings[] = {
    {IDS_WAITING, "Waiting"},
    {IDS_SOCKETS_INIT_FAILED, "Error initialising Windows sockets."},
    {IDS_COLUMN_NAME, "Name"},
    {IDS_COLUMN_PROGRESS, "Progress"},
    {IDS_COLUMN_DOWNLOAD_STATUS, "Status"},
    {IDS_COLUMN_LAST_CHECKED, "Last Checked"},
    {IDS_ABOUT_FORMAT, "Tessarine\nCopyright (C) 2009 Orvendale. All rights reserved.\n\nRevision: %s, Date: %s"},
    {IDS_DATE_FORMAT, "%%d.%%m.%%Y %%H:%%M"},
    {IDS_COLUMN_STATUS, "Status"},
    {IDS_BROWSE_PROMPT, "Please choose the base directory for the podcast files that Tessarine downloads, as well as the settings."},
    {IDS_BASEDIR_WARNING, "ATTENTION!\n\nIf you change the base directory, the podcasts that you currently subscribed to will be gone. If you would like to relocate the base directory, first move all files to the new location, then come back and change the base directory.\n\nAre you sure that you want to change the base directory?"},
    {IDS_INTERNET_OPEN_FAILED, "InternetOpen Failed. Please try again later!"},
    {IDS_COULD_NOT_OPEN, "Could not open %s"},
    {IDS_EXAMPLE_FEED_URL, "https://feeds.npr.org/510289/podcast.xml"},
    {IDS_DOWNLOADING, "Downloading"},
    {IDS_ERROR_CREATING_FILE, "Error creating file %s"},
    {IDS_DUPLICATE_URL, "Error!\n\nA feed with this url is already in the list!\n\n%s"},
    {IDS_NEW_PODCAST, "New Podcast"},
    {IDS_STATUS_NEWLY_ADDED, "Newly added"},
    {IDS_STATUS_CHECK_PENDING, "Check pending"},
    {IDS_STATUS_CHECKING, "Checking..."},
    {IDS_STATUS_NEW_ITEMS, "New items found"},
    {IDS_STATUS_NO_NEW_ITEMS, "No new items"},
    {IDS_STATUS_ERROR, "Error"},
    {IDS_FAILED, "Failed"},
    {IDS_SELECT_FEED_FIRST, "Select a feed first!"},
    {IDS_SIZE_FORMAT, "%.1fMB"},
    {IDS_BASEDIR_IN_USE, "The base directory %s is in use by another Tessarine."},
    {IDS_SETTINGS_KEPT, "The settings file could not be read. Its contents were kept in %s. Tessarine starts with an empty list."},
    {IDS_SETTINGS_NOT_KEPT, "The settings file %s could not be read, and no copy of it could be made. Tessarine starts with an empty list; the next save replaces the file."},
    {IDS_ERROR_CREATING_FILE_REASON, "Error creating file %s: %s"},
    {IDS_BASEDIR_MISSING, "The base directory %s does not exist. Nothing was checked; connect the disk that holds it, or choose another base directory."},
    {IDS_ARCHIVE_LEFT_ALONE, "The archive %s is a link, a folder, a special file or too large: it was left as it is and this check was not recorded in it."},
    {IDS_STDOUT_FAILED, "Could not write to the standard output."},
    {IDS_NOT_A_FEED_ADDRESS, "Error!\n\nThis is not the address of a feed on the web (http:// or https://)!\n\n%s"},
    {IDS_FEED_FROM_PAGE, "The web page %s names the feed %s. Subscribed to that feed."},
    {IDS_PAGE_NAMES_NO_FEED, "Error!\n\nThe web page %s names no feed. Please give the address of the podcast's feed itself."},
    {IDS_COLUMN_FILE, "File"},
    {IDS_COLUMN_SIZE, "Size"},
    {IDS_FEED_MOVED, "The podcast at %s has moved to %s. Its subscription now uses the new address."},
    {IDS_FEED_MOVED_TO_SUBSCRIBED, "The podcast at %s says it has moved to %s, which you have subscribed to already. Both subscriptions are kept; remove the one you no longer want."},
    {IDS_STORE_KEPT, "The episode store %s could not be read. Its contents were kept in %s, and a new store was built from the podcast folders."},
    {IDS_STORE_NOT_OPENED, "The episode store %s could not be opened (%s). Until it can, every episode whose file is missing is downloaded, and podcast settings do not apply."},
    {IDS_STORE_TOO_NEW, "The episode store %s was written by a newer version of Tessarine and is left unchanged. Until that version is used again, every episode whose file is missing is downloaded, and podcast settings do not apply."},
    {IDS_NO_FILE_NAME, "No file name of its own could be found for %s. It is not downloaded."},
    {IDS_COMPLETED, "Completed"},

    {IDS_REASON_HTTP_STATUS, "HTTP status %s"},
    {IDS_REASON_NOT_A_FEED, "Not a podcast feed"},
    {IDS_REASON_PAGE_NAMES_NO_FEED, "The web page names no feed"},
    {IDS_REASON_NAME_NOT_FOUND, "Server name not found"},
    {IDS_REASON_CONNECTION_REFUSED, "Connection refused"},
    {IDS_REASON_TIMED_OUT, "Timed out"},
    {IDS_REASON_CERTIFICATE, "Certificate not trusted"},
    {IDS_REASON_TOO_LARGE, "Too large"},
    {IDS_REASON_CUT_SHORT, "Not the announced length"},
    {IDS_REASON_EMPTY_REPLY, "Empty reply"},
    {IDS_REASON_NETWORK_ERROR, "Network error"},
    {IDS_REASON_NETWORK_ERROR_DETAIL, "Network error: %s"},
    {IDS_REASON_DISK_FULL, "Disk full"},
    {IDS_REASON_PERMISSION_DENIED, "Permission denied"},
    {IDS_REASON_FILE_ERROR, "File error"},
    {IDS_REASON_FILE_ERROR_DETAIL, "File error: %s"},
    {IDS_REASON_NO_INTERNET, "No Internet access"},
    {IDS_REASON_CANCELLED, "Cancelled"},

    {TXT_CAPTION, "Tessarine"},
    {TXT_LABEL_SUBSCRIBED, "Subscribed Podcasts"},
    {TXT_LABEL_DOWNLOADS, "Download Queue"},
    {TXT_MENU_FILE, "&File"},
    {TXT_MENU_OPTIONS, "&Options"},
    {TXT_MENU_HELP, "&Help"},
    {TXT_MENU_SUBSCRIBE, "&Subscribe to Podcast..."},
    {TXT_MENU_REMOVE, "&Remove Podcast"},
    {TXT_MENU_CHECK, "&Check for new items"},
    {TXT_MENU_OPEN_BASEDIR, "&Base directory..."},
    {TXT_MENU_QUIT, "&Quit"},
    {TXT_MENU_SET_BASEDIR, "Set &base directory..."},
    {TXT_MENU_SETTINGS, "&Settings..."},
    {TXT_MENU_INFORMATION, "&Information"},
    {TXT_MENU_ABOUT, "&About Tessarine"},
    {TXT_CONTEXT_OPEN_PODCAST_DIR, "&Podcast base directory..."},
    {TXT_CONTEXT_UPDATE, "&Update this podcast now"},
    {TXT_OK, "OK"},
    {TXT_CANCEL, "Cancel"},
    {TXT_SETTINGS_CAPTION, "Settings"},
    {TXT_SETTINGS_BEHAVIOUR, "Behaviour"},
    {TXT_SETTINGS_UPDATE_START, "Check for new items when program starts"},
    {TXT_SETTINGS_QUIT_COMPLETE, "Quit when downloads are complete"},
    {TXT_SETTINGS_AUTOSTART_GROUP, "Autostart"},
    {TXT_SETTINGS_AUTOSTART, "check for new items on windows start"},
    {TXT_SUBSCRIBE_CAPTION, "Subscribe to Podcast"},
    {TXT_SUBSCRIBE_URL_LABEL, "Podcast URL"},
    {TXT_INFO_CAPTION, "Information"},
    {TXT_INFO_GENERAL, "General"},
    {TXT_INFO_GENERAL_TEXT, "With Tessarine, you can subscribe to podcasts and download them. Podcasts are media files (audio/video) that are offered via a feed. If a podcast is subscribed, Tessarine will automatically download new entries and archive them for you."},
    {TXT_INFO_EXAMPLE, "Example"},
    {TXT_INFO_EXAMPLE_TEXT, "Try NPR's Planet Money: copy the URL below and paste it into the \"Subscribe to Podcast\" dialog."},
    {TXT_INFO_PARAMETERS, "Command-Line Parameters"},
    {TXT_INFO_CHECKANDQUIT, "/checkandquit\nThis forces Tessarine to start minimized, check all podcasts, download what is new, and quit afterwards. Alternatively, you can choose the autostart option in the settings dialog."},
    {TXT_INFO_DONOTCHECK, "/donotcheck\nIf Tessarine is started with this parameter, the program will not check for podcast updates when the program is started, thereby ignoring the setting found in the settings dialog."},
    {TXT_ABOUT_CAPTION, "About Tessarine"},
    {TXT_WEB_ADDRESS, "https://www.orvendale.com/tessarine/"},
    {TXT_MENU_IMPORT, "&Import subscriptions..."},
    {TXT_MENU_EXPORT, "&Export subscriptions..."},
    {TXT_IMPORT_COUNTS, "Subscriptions imported: %s added, %s already in the list, %s skipped (not an http or https address)."},
    {TXT_OPML_TITLE, "Tessarine subscriptions"},
    {TXT_OPML_FILES, "OPML files (*.opml *.xml)"},

    {TXT_CLI_HELP, "Usage: tessarine-cli [--base DIR] [--quiet] COMMAND\n"
                   "\n"
                   "Checks and manages Tessarine's podcast subscriptions without a window.\n"
                   "\n"
                   "Commands:\n"
                   "  check         check every subscription, then download what is new\n"
                   "  list          show the subscriptions: name, last checked, status, URL\n"
                   "  add URL       subscribe to the feed at URL\n"
                   "  remove URL    remove the subscription of URL (its files stay)\n"
                   "  import FILE   add the feeds of an OPML file (\"-\": standard input)\n"
                   "  export FILE   write the subscriptions as OPML (\"-\": standard output)\n"
                   "  search TERM   find podcasts by name: title, author, episodes, feed URL\n"
                   "                (in the Apple podcast directory; --index: in the Podcast\n"
                   "                Index, with its key and secret)\n"
                   "\n"
                   "The episode library (PODCAST: the URL or name of a subscription):\n"
                   "  episodes PODCAST      show its episodes: state, date, title, file\n"
                   "  get PODCAST           show its options and which of them are inherited\n"
                   "  get --default         show the defaults of every podcast\n"
                   "  set PODCAST KEY=VALUE...\n"
                   "                        change its options (KEY=inherit: back to the default)\n"
                   "  set --default KEY=VALUE...\n"
                   "                        change the defaults of every podcast\n"
                   "  again PODCAST EPISODE\n"
                   "                        download the episode (its title, file name or guid)\n"
                   "                        once more at the next check\n"
                   "  cleanup [--dry-run]   delete the downloads that keep and keep-days no\n"
                   "                        longer keep (--dry-run: only show them)\n"
                   "\n"
                   "Keys (the default value first):\n"
                   "  paused=no|yes            checks pass the podcast over\n"
                   "  refetch-deleted=yes|no   a file you deleted is downloaded again\n"
                   "  on-subscribe=all|N       the first check downloads only the newest N\n"
                   "  keep=all|N               keep only the newest N downloaded episodes\n"
                   "  keep-days=all|D          keep no download older than D days\n"
                   "  names=url|PATTERN        file names from the URL, or from a PATTERN of\n"
                   "                           {date} {title} {podcast} {ext}\n"
                   "\n"
                   "Options:\n"
                   "  --base DIR    use DIR as the base directory instead of the one\n"
                   "                Tessarine remembers\n"
                   "  --quiet, -q   no progress and no summaries, only messages\n"
                   "  --help, -h    show this help and end\n"
                   "  --version     show the version and end\n"
                   "\n"
                   "Exit status: 0 success; 1 a feed, a download or a file failed (the rest\n"
                   "was still done), or the episode library could not be used; 2 usage error;\n"
                   "3 another Tessarine is using the base directory.\n"},
    {TXT_CLI_USAGE_HINT, "Try \"tessarine-cli --help\" for more information."},
    {TXT_CLI_NO_COMMAND, "No command given."},
    {TXT_CLI_UNKNOWN_COMMAND, "Unknown command: %s"},
    {TXT_CLI_UNKNOWN_OPTION, "Unknown option: %s"},
    {TXT_CLI_MISSING_ARGUMENT, "%s needs an argument."},
    {TXT_CLI_EXTRA_ARGUMENT, "Unexpected argument: %s"},
    {TXT_CLI_BASE_MISSING, "The base directory %s does not exist."},
    {TXT_CLI_NOT_SUBSCRIBED, "Not subscribed: %s"},
    {TXT_CLI_READ_FAILED, "Could not read %s."},
    {TXT_CLI_NOT_OPML, "%s is not an OPML file."},
    {TXT_CLI_COLUMN_URL, "URL"},
    {TXT_CLI_RATE, "%s/s"},
    {TXT_CLI_SUMMARY, "Feeds checked: %s (failed: %s). Files downloaded: %s (failed: %s)."},

    {TXT_NOTIFY_ONE_EPISODE, "1 new episode"},
    {TXT_NOTIFY_EPISODES, "%s new episodes"},
    {TXT_NOTIFY_MORE_PODCASTS, "%s and %s more"},

    {TXT_EMPTY_LIST_HINT, "No podcasts yet.\n\nPress Ctrl+A to subscribe to a podcast by its feed address, or choose File > Import subscriptions... to add the feeds of an OPML file."},

    {TXT_CLI_GET_NEEDS, "get needs a podcast or --default."},
    {TXT_CLI_SET_NEEDS, "set needs a podcast or --default, then at least one KEY=VALUE."},
    {TXT_CLI_AGAIN_NEEDS, "again needs a podcast and an episode."},
    {TXT_CLI_NOT_A_SETTING, "Not in the form KEY=VALUE: %s"},
    {TXT_CLI_DEFAULT_AND_PODCAST, "--default takes no podcast: %s"},
    {TXT_CLI_UNKNOWN_PODCAST, "No podcast has this URL or name: %s"},
    {TXT_CLI_AMBIGUOUS_PODCAST, "Several podcasts are named %s; give the URL of the one you mean."},
    {TXT_CLI_UNKNOWN_KEY, "Unknown key: %s"},
    {TXT_CLI_BAD_VALUE, "Not a value this key takes: %s"},
    {TXT_CLI_UNKNOWN_EPISODE, "%s has no episode with this title, file name or guid: %s"},
    {TXT_CLI_NO_STORE_LOCK, "The episode library cannot be used: the base directory %s cannot be locked (is it read-only?)."},
    {TXT_CLI_NO_STORE, "The episode library %s could not be opened."},
    {TXT_CLI_STORE_FAILED, "The episode library %s could not be read or changed."},
    {TXT_CLI_INHERITED, "inherited"},
    {TXT_CLI_COLUMN_DATE, "Date"},
    {TXT_CLI_COLUMN_TITLE, "Title"},
    {TXT_CLI_CLEANED, "Files removed: %s."},
    {TXT_CLI_WOULD_CLEAN, "Files that would be removed: %s. Nothing was deleted (--dry-run)."},
    {TXT_CLI_NEVER_CHECKED, "never"},
    {TXT_CLI_BASE_CREATED, "Created the base directory %s."},
    {TXT_CLI_BASE_NOT_CREATED, "The base directory %s could not be created (%s)."},
    {TXT_NOTIFY_SHOW, "Show Tessarine"},

    {TXT_SETTINGS_AUTOSTART_LOGIN, "check for new items when I log in"},
    {TXT_APP_HELP, "Usage: tessarine [/checkandquit | /donotcheck] [LINK | FILE]\n"
                   "\n"
                   "Subscribes to podcasts in a window and downloads their new episodes.\n"
                   "A podcast link (feed://, feed:https://, itpc://, podcast://, http(s)://)\n"
                   "or a saved feed file opens the subscribe dialog with the feed's address,\n"
                   "in the window already open for the base directory if there is one.\n"
                   "\n"
                   "Options (also with \"-\" in place of \"/\"):\n"
                   "  /checkandquit   start minimized, check every podcast, download what is\n"
                   "                  new, then quit\n"
                   "  /donotcheck     do not check at start, whatever the settings say\n"
                   "  --help, -h      show this help and end\n"
                   "  --version       show the version and end\n"
                   "\n"
                   "Without a window: tessarine-cli --help.\n"},
    {TXT_COLUMN_PODCAST, "Podcast"},
    {TXT_STATE_CANCELLED, "Cancelled"},
    {TXT_DOWNLOAD_OPEN, "&Open"},
    {TXT_DOWNLOAD_OPEN_FOLDER, "Open &folder"},
    {TXT_DOWNLOAD_CANCEL, "&Cancel download"},
    {TXT_DOWNLOAD_RETRY, "Re&try download"},
    {TXT_DOWNLOAD_REMOVE_FINISHED, "&Remove finished rows"},
    {TXT_DOWNLOAD_FAILED_BECAUSE, "The download of %s failed: %s."},
    {TXT_DOWNLOAD_WAS_CANCELLED, "The download of %s was cancelled."},
    {TXT_DOWNLOAD_TIP_REASON, "%s: %s"},
    {TXT_PLACEHOLDER_WITH_ADDRESS, "%s (%s)"},
    {TXT_TIP_URL, "URL: %s"},
    {TXT_TIP_LAST_CHECK, "Last check: %s"},
    {TXT_TIP_LAST_CHECK_FAILED, "Last check failed: %s"},
    {TXT_TIP_NEVER_CHECKED, "Not checked yet"},

    {TXT_MESSAGES_CAPTION, "Messages"},
    {TXT_MESSAGES_TIME, "Time"},
    {TXT_MESSAGES_TEXT, "Message"},
    {TXT_MESSAGES_COPY, "Co&py"},
    {TXT_MESSAGES_CLEAR, "Cl&ear"},
    {TXT_MESSAGES_CLOSE, "&Close"},
    {TXT_LINK_NOT_A_PODCAST_LINK, "Tessarine cannot subscribe to %s: it is neither a podcast link (feed:, itpc:, podcast:, http or https) nor a saved feed file."},
    {TXT_LINK_FILE_NOT_A_FEED, "%s is not a podcast feed (RSS or Atom)."},
    {TXT_LINK_FILE_NAMES_NO_ADDRESS, "The saved feed %s does not name its own web address, so Tessarine cannot subscribe to it. Press Ctrl+A to subscribe to the podcast by its feed address instead."},

    {TXT_EPISODES_MENU, "&Episodes..."},
    {TXT_EPISODES_CAPTION, "Episodes of %s"},
    {TXT_EPISODES_COLUMN_TITLE, "Title"},
    {TXT_EPISODES_COLUMN_DATE, "Date"},
    {TXT_EPISODES_COLUMN_DURATION, "Duration"},
    {TXT_EPISODES_COLUMN_SIZE, "Size"},
    {TXT_EPISODES_COLUMN_STATE, "State"},
    {TXT_EPISODES_SHOW, "S&how:"},
    {TXT_EPISODES_SEARCH, "Sea&rch:"},
    {TXT_EPISODES_PLAY, "&Play"},
    {TXT_EPISODES_SHOW_IN_FOLDER, "Show in &folder"},
    {TXT_EPISODES_DELETE_FILE, "&Delete file"},
    {TXT_EPISODES_DOWNLOAD, "Do&wnload"},
    {TXT_EPISODES_NOT_WANTED, "Mark as &not wanted"},
    {TXT_EPISODES_CLOSE, "&Close"},
    {TXT_EPISODES_SEARCH_HINT, "Words in the title"},
    {TXT_EPISODES_ALL, "All episodes"},
    {TXT_EPISODE_NEW, "New"},
    {TXT_EPISODE_QUEUED, "Queued"},
    {TXT_EPISODE_DOWNLOADED, "Downloaded"},
    {TXT_EPISODE_DELETED, "Deleted"},
    {TXT_EPISODE_REMOVED, "Removed by clean-up"},
    {TXT_EPISODE_SKIPPED, "Not wanted"},
    {TXT_EPISODE_FAILED, "Failed"},
    {TXT_EPISODE_FAILED_BECAUSE, "Failed: %s"},
    {TXT_EPISODE_AGAIN, "Download requested"},
    {TXT_EPISODE_WAITING, "Waiting for download"},
    {TXT_EPISODE_DOWNLOADING, "Downloading %s"},
    {TXT_EPISODES_COUNT, "%s of %s episodes"},
    {TXT_EPISODES_NO_STORE, "The episode list of this base directory cannot be read: it is kept only while one program holds the base directory."},
    {TXT_EPISODES_DELETE_ONE, "Delete the file of \"%s\"?"},
    {TXT_EPISODES_DELETE_MANY, "Delete the files of %s episodes?"},
    {TXT_EPISODES_FILE_GONE, "The file %s is not there any more."},
    {TXT_EPISODES_DATE_FORMAT, "dd.MM.yyyy HH:mm"},

    {TXT_SEARCH_NOTHING_FOUND, "%s found no podcast for \"%s\"."},
    {TXT_SEARCH_NO_NETWORK, "Could not reach %s: %s"},
    {TXT_SEARCH_REFUSED, "%s refused the search: %s"},
    {TXT_SEARCH_ODD_ANSWER, "%s sent an answer that is no list of podcasts."},
    {TXT_SEARCH_KEYS_REFUSED, "%s did not accept the key and secret: %s"},
    {TXT_CLI_SEARCH_NEEDS, "search needs a search term."},
    {TXT_CLI_SEARCH_NEEDS_KEYS, "The Podcast Index needs a key and a secret: enter them in Find Podcasts, "
                                  "or set TESSARINE_PODCASTINDEX_KEY and TESSARINE_PODCASTINDEX_SECRET."},
    {TXT_CLI_COLUMN_AUTHOR, "Author"},
    {TXT_CLI_COLUMN_EPISODES, "Episodes"},

    {TXT_TRAY_SHOW_WINDOW, "&Show window"},
    {TXT_TRAY_HIDE_WINDOW, "&Hide window"},
    {TXT_TRAY_LAST_CHECK, "Last check: %s"},
    {TXT_TRAY_DOWNLOADING, "Downloading: %s (%s)"},
    {TXT_TRAY_MORE_DOWNLOADING, "and %s more downloading"},
    {TXT_TRAY_WAITING, "%s waiting"},

    {TXT_CONTEXT_PODCAST_SETTINGS, "Podcast &settings..."},
    {TXT_PODSET_CAPTION, "Podcast Settings"},
    {TXT_PODSET_URL, "URL:"},
    {TXT_PODSET_PAUSED, "Paused:"},
    {TXT_PODSET_NO, "No"},
    {TXT_PODSET_YES, "Yes"},
    {TXT_PODSET_REFETCH, "Deleted files:"},
    {TXT_PODSET_REFETCH_YES, "Download again"},
    {TXT_PODSET_REFETCH_NO, "Leave deleted"},
    {TXT_PODSET_ON_SUBSCRIBE, "On subscribing:"},
    {TXT_PODSET_ON_SUBSCRIBE_ALL, "Download all"},
    {TXT_PODSET_ON_SUBSCRIBE_NEWEST, "Download newest:"},
    {TXT_PODSET_KEEP, "Keep:"},
    {TXT_PODSET_KEEP_ALL, "All episodes"},
    {TXT_PODSET_KEEP_NEWEST, "Newest:"},
    {TXT_PODSET_KEEP_DAYS, "Not older than:"},
    {TXT_PODSET_KEEP_DAYS_ALL, "No limit"},
    {TXT_PODSET_KEEP_DAYS_N, "Days:"},
    {TXT_PODSET_NAMES, "File names:"},
    {TXT_PODSET_NAMES_URL, "From the URL"},
    {TXT_PODSET_NAMES_PATTERN, "Pattern:"},
    {TXT_PODSET_AS_IN_SETTINGS, "As in Settings (%s)"},
    {TXT_PODSET_EXAMPLE, "Example: %s"},
    {TXT_PODSET_NO_EXAMPLE, "Example: shown once an episode is known"},
    {TXT_PODSET_PLACEHOLDERS, "Placeholders: {date} {title} {podcast} {ext}"},
    {TXT_PODSET_BAD_PATTERN, "A pattern needs {title} or {date}"},
    {TXT_PODSET_NO_STORE, "Without the episode library these options cannot be changed."},
    {IDS_ADDRESS_BUSY, "The URL can be changed once the check or download under way has ended."},
    {IDS_ADDRESS_NOT_CHANGED, "The URL could not be changed: the episode library could not follow it."},
    {IDS_SETTINGS_NOT_STORED, "The podcast settings could not be stored in the episode library."},
    {TXT_SETTINGS_WATCH_GROUP, "While Tessarine runs"},
    {TXT_SETTINGS_CHECK_EVERY, "Check for new items every %s hours"},
    {TXT_SETTINGS_KEEP_IN_TRAY, "Keep running in the tray when the window is closed"},
    {TXT_SETTINGS_DEFAULTS_GROUP, "Every podcast, unless set otherwise"},
    {TXT_MENU_FIND_PODCASTS, "&Find Podcasts..."},
    {TXT_FIND_CAPTION, "Find Podcasts"},
    {TXT_FIND_DIRECTORY_LABEL, "&Directory:"},
    {TXT_FIND_TERM_LABEL, "Search &for:"},
    {TXT_FIND_SEARCH, "&Search"},
    {TXT_FIND_INDEX_KEY, "Podcast Index &key..."},
    {TXT_FIND_SUBSCRIBE, "Su&bscribe"},
    {TXT_FIND_CLOSE, "&Close"},
    {TXT_FIND_COLUMN_TITLE, "Podcast"},
    {TXT_FIND_COLUMN_AUTHOR, "Author"},
    {TXT_FIND_COLUMN_EPISODES, "Episodes"},
    {TXT_FIND_COLUMN_GENRE, "Genre"},
    {TXT_FIND_COLUMN_LATEST, "Latest"},
    {TXT_FIND_COLUMN_STATUS, "Status"},
    {TXT_FIND_SUBSCRIBED, "Subscribed"},
    {TXT_FIND_HINT, "Type a podcast's name and press Enter. Only the directory chosen above receives what you type."},
    {TXT_FIND_SEARCHING, "Searching %s for \"%s\"..."},
    {TXT_FIND_FOUND, "Podcasts found at %s: %s"},
    {TXT_FIND_NO_NETWORK, "Could not reach %s (%s). Is the computer connected to the internet?"},
    {TXT_FIND_REFUSED, "%s refused the search (%s)."},
    {TXT_FIND_ODD_ANSWER, "%s answered with something that is not a search result. Please try again later."},
    {TXT_FIND_SUBSCRIBED_TO, "Subscribed to \"%s\"."},
    {TXT_KEY_CAPTION, "Podcast Index Key"},
    {TXT_KEY_INTRO, "The Podcast Index answers only searches signed with an API key and its secret. You get both free of charge at https://api.podcastindex.org."},
    {TXT_KEY_KEY_LABEL, "API &key:"},
    {TXT_KEY_SECRET_LABEL, "API &secret:"},
    {TXT_FIND_NEEDS_KEY, "The Podcast Index needs an API key and its secret: enter them with \"Podcast Index key...\"."},
    {0, nullptr},
};

} // namespace tessarine
