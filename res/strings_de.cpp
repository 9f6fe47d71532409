// German string table: the same identifiers as the English one.
#include "core/util/Strings.h"

namespace tessarine {

extern const StringEntry kGermanStrings[] = {
    {IDS_WAITING, "Warte"},
    {IDS_SOCKETS_INIT_FAILED, "Fehler beim Initialisieren der Windows-Sockets."},
    {IDS_COLUMN_NAME, "Name"},
    {IDS_COLUMN_PROGRESS, "Fortschritt"},
    {IDS_COLUMN_DOWNLOAD_STATUS, "Status"},
    {IDS_COLUMN_LAST_CHECKED, "Zuletzt geprüft"},
    {IDS_ABOUT_FORMAT, "Tessarine\nCopyright (C) 2009 Orvendale. Alle Rechte vorbehalten.\n\nRevision: %s, Datum: %s"},
    {IDS_DATE_FORMAT, "%%d.%%m.%%Y %%H:%%M"},
    {IDS_COLUMN_STATUS, "Status"},
    {IDS_BROWSE_PROMPT, "Bitte wählen Sie ein Verzeichnis, das Tessarine zum Speichern der Podcasts und der Tessarine-Konfiguration verwendet."},
    {IDS_BASEDIR_WARNING, "ACHTUNG!\n\nWenn Sie das Basisverzeichnis ändern, sind alle Podcasts, die Sie abonniert haben, verschwunden. Wenn Sie das Basisverzeichnis verschieben möchten, verschieben Sie zunächst alle Dateien an den neuen Ort und führen diese Einstellung erneut durch.\n\nMöchten Sie das Basisverzeichnis wirklich ändern?"},
    {IDS_INTERNET_OPEN_FAILED, "InternetOpen schlug fehl. Bitte versuchen Sie es später noch einmal!"},
    {IDS_COULD_NOT_OPEN, "URL konnte nicht geöffnet werden: %s"},
    {IDS_EXAMPLE_FEED_URL, "https://www.tagesschau.de/multimedia/sendung/tagesschau_in_100_sekunden/podcast-ts100-audio-100~podcast.xml"},
    {IDS_DOWNLOADING, "Herunterladen"},
    {IDS_ERROR_CREATING_FILE, "Fehler beim Erstellen der Datei %s"},
    {IDS_DUPLICATE_URL, "Fehler!\n\nEin Podcast mit dieser URL ist bereits abonniert!\n\n%s"},
    {IDS_NEW_PODCAST, "Neuer Podcast"},
    {IDS_STATUS_NEWLY_ADDED, "Neu"},
    {IDS_STATUS_CHECK_PENDING, "Überprüfung steht an"},
    {IDS_STATUS_CHECKING, "Prüfe..."},
    {IDS_STATUS_NEW_ITEMS, "Neue Einträge gefunden"},
    {IDS_STATUS_NO_NEW_ITEMS, "Keine neuen Einträge"},
    {IDS_STATUS_ERROR, "Fehler"},
    {IDS_FAILED, "Fehlgeschlagen"},
    {IDS_SELECT_FEED_FIRST, "Bitte wählen Sie zuerst einen Podcast!"},
    {IDS_SIZE_FORMAT, "%.1fMB"},
    {IDS_BASEDIR_IN_USE, "Das Basisverzeichnis %s wird bereits von einem anderen Tessarine verwendet."},
    {IDS_SETTINGS_KEPT, "Die Einstellungsdatei konnte nicht gelesen werden. Ihr Inhalt wurde in %s gesichert. Tessarine startet mit einer leeren Liste."},
    {IDS_SETTINGS_NOT_KEPT, "Die Einstellungsdatei %s konnte nicht gelesen werden, und es konnte keine Kopie davon angelegt werden. Tessarine startet mit einer leeren Liste; beim nächsten Speichern wird die Datei ersetzt."},
    {IDS_ERROR_CREATING_FILE_REASON, "Fehler beim Erstellen der Datei %s: %s"},
    {IDS_BASEDIR_MISSING, "Das Basisverzeichnis %s existiert nicht. Es wurde nichts geprüft; schließen Sie das Laufwerk an, auf dem es liegt, oder wählen Sie ein anderes Basisverzeichnis."},
    {IDS_ARCHIVE_LEFT_ALONE, "Das Archiv %s ist ein symbolischer Link, ein Ordner, eine Spezialdatei oder zu groß: Es wurde nicht verändert, und diese Prüfung wurde darin nicht vermerkt."},
    {IDS_STDOUT_FAILED, "In die Standardausgabe konnte nicht geschrieben werden."},
    {IDS_NOT_A_FEED_ADDRESS, "Fehler!\n\nDies ist keine Adresse eines Podcasts im Web (http:// oder https://)!\n\n%s"},
    {IDS_FEED_FROM_PAGE, "Die Webseite %s nennt den Feed %s. Dieser Feed wurde abonniert."},
    {IDS_PAGE_NAMES_NO_FEED, "Fehler!\n\nDie Webseite %s nennt keinen Feed. Bitte geben Sie die Adresse des Podcast-Feeds selbst an."},
    {IDS_COLUMN_FILE, "Datei"},
    {IDS_COLUMN_SIZE, "Größe"},
    {IDS_FEED_MOVED, "Der Podcast unter %s ist nach %s umgezogen. Das Abonnement verwendet jetzt die neue Adresse."},
    {IDS_FEED_MOVED_TO_SUBSCRIBED, "Der Podcast unter %s gibt an, nach %s umgezogen zu sein. Diese Adresse haben Sie bereits abonniert. Beide Abonnements bleiben erhalten; entfernen Sie das nicht mehr benötigte."},
    {IDS_STORE_KEPT, "Die Episodendatenbank %s konnte nicht gelesen werden. Ihr Inhalt wurde in %s gesichert, und eine neue Datenbank wurde aus den Podcast-Ordnern aufgebaut."},
    {IDS_STORE_NOT_OPENED, "Die Episodendatenbank %s konnte nicht geöffnet werden (%s). Bis dahin wird jede Episode heruntergeladen, deren Datei fehlt, und die Podcast-Einstellungen gelten nicht."},
    {IDS_STORE_TOO_NEW, "Die Episodendatenbank %s stammt von einer neueren Tessarine-Version und bleibt unverändert. Bis diese Version wieder verwendet wird, wird jede Episode heruntergeladen, deren Datei fehlt, und die Podcast-Einstellungen gelten nicht."},
    {IDS_NO_FILE_NAME, "Für %s wurde kein eigener Dateiname gefunden. Die Datei wird nicht heruntergeladen."},
    {IDS_COMPLETED, "Abgeschlossen"},

    {IDS_REASON_HTTP_STATUS, "HTTP-Status %s"},
    {IDS_REASON_NOT_A_FEED, "Kein Podcast-Feed"},
    {IDS_REASON_PAGE_NAMES_NO_FEED, "Die Webseite nennt keinen Feed"},
    {IDS_REASON_NAME_NOT_FOUND, "Servername nicht gefunden"},
    {IDS_REASON_CONNECTION_REFUSED, "Verbindung abgelehnt"},
    {IDS_REASON_TIMED_OUT, "Zeitüberschreitung"},
    {IDS_REASON_CERTIFICATE, "Zertifikat nicht vertrauenswürdig"},
    {IDS_REASON_TOO_LARGE, "Zu groß"},
    {IDS_REASON_CUT_SHORT, "Nicht die angekündigte Länge"},
    {IDS_REASON_EMPTY_REPLY, "Leere Antwort"},
    {IDS_REASON_NETWORK_ERROR, "Netzwerkfehler"},
    {IDS_REASON_NETWORK_ERROR_DETAIL, "Netzwerkfehler: %s"},
    {IDS_REASON_DISK_FULL, "Datenträger voll"},
    {IDS_REASON_PERMISSION_DENIED, "Zugriff verweigert"},
    {IDS_REASON_FILE_ERROR, "Dateifehler"},
    {IDS_REASON_FILE_ERROR_DETAIL, "Dateifehler: %s"},
    {IDS_REASON_NO_INTERNET, "Kein Internetzugang"},
    {IDS_REASON_CANCELLED, "Abgebrochen"},

    {TXT_CAPTION, "Tessarine"},
    {TXT_LABEL_SUBSCRIBED, "Abonnierte Podcasts"},
    {TXT_LABEL_DOWNLOADS, "Download-Warteschlange"},
    {TXT_MENU_FILE, "&Datei"},
    {TXT_MENU_OPTIONS, "&Optionen"},
    {TXT_MENU_HELP, "&Hilfe"},
    {TXT_MENU_SUBSCRIBE, "Podcast &hinzufügen..."},
    {TXT_MENU_REMOVE, "Podcast &entfernen"},
    {TXT_MENU_CHECK, "Auf neue Einträge &prüfen"},
    {TXT_MENU_OPEN_BASEDIR, "Basis&verzeichnis..."},
    {TXT_MENU_QUIT, "&Beenden"},
    {TXT_MENU_SET_BASEDIR, "&Basisverzeichnis auswählen..."},
    {TXT_MENU_SETTINGS, "&Einstellungen..."},
    {TXT_MENU_INFORMATION, "&Information"},
    {TXT_MENU_ABOUT, "Ü&ber Tessarine"},
    {TXT_CONTEXT_OPEN_PODCAST_DIR, "Verzeichnis des &Podcasts..."},
    {TXT_CONTEXT_UPDATE, "&Diesen Podcast auf neue Einträge prüfen"},
    {TXT_OK, "OK"},
    {TXT_CANCEL, "Abbrechen"},
    {TXT_SETTINGS_CAPTION, "Einstellungen"},
    {TXT_SETTINGS_BEHAVIOUR, "Verhalten"},
    {TXT_SETTINGS_UPDATE_START, "Beim Programmstart alle Podcasts auf neue Einträge prüfen"},
    {TXT_SETTINGS_QUIT_COMPLETE, "Tessarine beenden, wenn alle Downloads abgeschlossen sind"},
    {TXT_SETTINGS_AUTOSTART_GROUP, "Autostart"},
    {TXT_SETTINGS_AUTOSTART, "zum Start von Windows alle Podcasts prüfen"},
    {TXT_SUBSCRIBE_CAPTION, "Podcast hinzufügen"},
    {TXT_SUBSCRIBE_URL_LABEL, "Podcast-URL"},
    {TXT_INFO_CAPTION, "Informationen"},
    {TXT_INFO_GENERAL, "Allgemein"},
    {TXT_INFO_GENERAL_TEXT, "Mit Tessarine können Sie Podcasts abonnieren und herunterladen. Podcasts sind Mediendateien (Musik/Filme), die mittels eines Feeds angeboten werden. Wenn ein Podcast abonniert ist, lädt Tessarine automatisch neue Einträge herunter."},
    {TXT_INFO_EXAMPLE, "Beispiel"},
    {TXT_INFO_EXAMPLE_TEXT, "Probieren Sie \"tagesschau in 100 Sekunden\": Kopieren Sie die URL unten und fügen Sie sie im Dialog \"Podcast hinzufügen\" ein (Menü \"Datei\")."},
    {TXT_INFO_PARAMETERS, "Kommandozeilen-Parameter"},
    {TXT_INFO_CHECKANDQUIT, "/checkandquit\nDieser Parameter sorgt dafür, dass Tessarine minimiert gestartet wird, alle Podcasts auf neue Einträge prüft und sich danach beendet. Alternativ können Sie auch einfach im Dialog Einstellungen die Autostart-Funktion aktivieren."},
    {TXT_INFO_DONOTCHECK, "/donotcheck\nWenn Tessarine mit diesem Parameter gestartet wird, erfolgt keine Prüfung beim Programmstart, auch wenn diese im Dialog Einstellungen aktiviert ist."},
    {TXT_ABOUT_CAPTION, "Über Tessarine"},
    {TXT_WEB_ADDRESS, "https://www.orvendale.com/tessarine/"},
    {TXT_MENU_IMPORT, "Abonnements &importieren..."},
    {TXT_MENU_EXPORT, "Abonnements e&xportieren..."},
    {TXT_IMPORT_COUNTS, "Abonnements importiert: %s hinzugefügt, %s bereits vorhanden, %s übersprungen (keine http- oder https-Adresse)."},
    {TXT_OPML_TITLE, "Tessarine-Abonnements"},
    {TXT_OPML_FILES, "OPML-Dateien (*.opml *.xml)"},

    {TXT_CLI_HELP, "Aufruf: tessarine-cli [--base VERZEICHNIS] [--quiet] BEFEHL\n"
                   "\n"
                   "Prüft und verwaltet die Podcast-Abonnements von Tessarine ohne Fenster.\n"
                   "\n"
                   "Befehle:\n"
                   "  check          alle Abonnements prüfen und Neues herunterladen\n"
                   "  list           Abonnements anzeigen: Name, zuletzt geprüft, Status, URL\n"
                   "  add URL        den Podcast unter URL abonnieren\n"
                   "  remove URL     das Abonnement von URL entfernen (die Dateien bleiben)\n"
                   "  import DATEI   die Podcasts einer OPML-Datei hinzufügen\n"
                   "                 (\"-\": Standardeingabe)\n"
                   "  export DATEI   die Abonnements als OPML-Datei speichern\n"
                   "                 (\"-\": Standardausgabe)\n"
                   "  search BEGRIFF\n"
                   "                 Podcasts nach Namen suchen: Titel, Autor, Folgen, Feed-URL\n"
                   "                 (im Podcast-Verzeichnis von Apple; --index: im Podcast\n"
                   "                 Index, mit dessen Schlüssel und Geheimnis)\n"
                   "\n"
                   "Die Folgenbibliothek (PODCAST: URL oder Name eines Abonnements):\n"
                   "  episodes PODCAST      seine Folgen anzeigen: Status, Datum, Titel, Datei\n"
                   "  get PODCAST           seine Einstellungen anzeigen und welche geerbt sind\n"
                   "  get --default         die Standardwerte aller Podcasts anzeigen\n"
                   "  set PODCAST SCHLÜSSEL=WERT...\n"
                   "                        seine Einstellungen ändern (SCHLÜSSEL=inherit:\n"
                   "                        zurück zum Standardwert)\n"
                   "  set --default SCHLÜSSEL=WERT...\n"
                   "                        die Standardwerte aller Podcasts ändern\n"
                   "  again PODCAST FOLGE   die Folge (Titel, Dateiname oder GUID) bei der\n"
                   "                        nächsten Prüfung noch einmal herunterladen\n"
                   "  cleanup [--dry-run]   die Downloads löschen, die keep und keep-days nicht\n"
                   "                        mehr behalten (--dry-run: nur anzeigen)\n"
                   "\n"
                   "Schlüssel (der Standardwert zuerst):\n"
                   "  paused=no|yes            beim Prüfen wird der Podcast übergangen\n"
                   "  refetch-deleted=yes|no   gelöschte Dateien erneut herunterladen\n"
                   "  on-subscribe=all|N       die erste Prüfung lädt nur die neuesten N herunter\n"
                   "  keep=all|N               nur die neuesten N Downloads behalten\n"
                   "  keep-days=all|D          keine Downloads behalten, die älter als D Tage sind\n"
                   "  names=url|MUSTER         Dateinamen aus der URL oder nach einem MUSTER\n"
                   "                           aus {date} {title} {podcast} {ext}\n"
                   "\n"
                   "Optionen:\n"
                   "  --base VERZEICHNIS\n"
                   "                 VERZEICHNIS statt des gespeicherten Basisverzeichnisses\n"
                   "                 verwenden\n"
                   "  --quiet, -q    keinen Fortschritt und keine Zusammenfassung anzeigen,\n"
                   "                 nur Meldungen\n"
                   "  --help, -h     diese Hilfe anzeigen und beenden\n"
                   "  --version      die Version anzeigen und beenden\n"
                   "\n"
                   "Rückgabewert: 0 bei Erfolg; 1, wenn ein Podcast, ein Download oder eine\n"
                   "Datei fehlschlug (alles andere wurde trotzdem erledigt) oder die\n"
                   "Folgenbibliothek nicht verwendet werden konnte; 2 bei falschem Aufruf; 3,\n"
                   "wenn ein anderes Tessarine das Basisverzeichnis verwendet.\n"},
    {TXT_CLI_USAGE_HINT, "Weitere Informationen mit \"tessarine-cli --help\"."},
    {TXT_CLI_NO_COMMAND, "Kein Befehl angegeben."},
    {TXT_CLI_UNKNOWN_COMMAND, "Unbekannter Befehl: %s"},
    {TXT_CLI_UNKNOWN_OPTION, "Unbekannte Option: %s"},
    {TXT_CLI_MISSING_ARGUMENT, "%s braucht ein Argument."},
    {TXT_CLI_EXTRA_ARGUMENT, "Unerwartetes Argument: %s"},
    {TXT_CLI_BASE_MISSING, "Das Basisverzeichnis %s existiert nicht."},
    {TXT_CLI_NOT_SUBSCRIBED, "Nicht abonniert: %s"},
    {TXT_CLI_READ_FAILED, "%s konnte nicht gelesen werden."},
    {TXT_CLI_NOT_OPML, "%s ist keine OPML-Datei."},
    {TXT_CLI_COLUMN_URL, "URL"},
    {TXT_CLI_RATE, "%s/s"},
    {TXT_CLI_SUMMARY, "Podcasts geprüft: %s (fehlgeschlagen: %s). Dateien heruntergeladen: %s (fehlgeschlagen: %s)."},

    {TXT_NOTIFY_ONE_EPISODE, "1 neue Folge"},
    {TXT_NOTIFY_EPISODES, "%s neue Folgen"},
    {TXT_NOTIFY_MORE_PODCASTS, "%s und %s weitere"},

    {TXT_EMPTY_LIST_HINT, "Noch keine Podcasts abonniert.\n\nDrücken Sie Strg+A, um einen Podcast über die Adresse seines Feeds hinzuzufügen, oder wählen Sie Datei > Abonnements importieren..., um die Feeds einer OPML-Datei zu übernehmen."},

    {TXT_CLI_GET_NEEDS, "get braucht einen Podcast oder --default."},
    {TXT_CLI_SET_NEEDS, "set braucht einen Podcast oder --default, danach mindestens ein SCHLÜSSEL=WERT."},
    {TXT_CLI_AGAIN_NEEDS, "again braucht einen Podcast und eine Folge."},
    {TXT_CLI_NOT_A_SETTING, "Nicht in der Form SCHLÜSSEL=WERT: %s"},
    {TXT_CLI_DEFAULT_AND_PODCAST, "--default nimmt keinen Podcast: %s"},
    {TXT_CLI_UNKNOWN_PODCAST, "Kein Podcast hat diese URL oder diesen Namen: %s"},
    {TXT_CLI_AMBIGUOUS_PODCAST, "Mehrere Podcasts heißen %s; bitte die URL des gemeinten angeben."},
    {TXT_CLI_UNKNOWN_KEY, "Unbekannter Schlüssel: %s"},
    {TXT_CLI_BAD_VALUE, "Kein gültiger Wert für diesen Schlüssel: %s"},
    {TXT_CLI_UNKNOWN_EPISODE, "%s hat keine Folge mit diesem Titel, Dateinamen oder dieser GUID: %s"},
    {TXT_CLI_NO_STORE_LOCK, "Die Folgenbibliothek kann nicht verwendet werden: Das Basisverzeichnis %s lässt sich nicht sperren (ist es schreibgeschützt?)."},
    {TXT_CLI_NO_STORE, "Die Folgenbibliothek %s konnte nicht geöffnet werden."},
    {TXT_CLI_STORE_FAILED, "Die Folgenbibliothek %s konnte nicht gelesen oder geändert werden."},
    {TXT_CLI_INHERITED, "geerbt"},
    {TXT_CLI_COLUMN_DATE, "Datum"},
    {TXT_CLI_COLUMN_TITLE, "Titel"},
    {TXT_CLI_CLEANED, "Entfernte Dateien: %s."},
    {TXT_CLI_WOULD_CLEAN, "Dateien, die entfernt würden: %s. Es wurde nichts gelöscht (--dry-run)."},
    {TXT_CLI_NEVER_CHECKED, "nie"},
    {TXT_CLI_BASE_CREATED, "Das Basisverzeichnis %s wurde angelegt."},
    {TXT_CLI_BASE_NOT_CREATED, "Das Basisverzeichnis %s konnte nicht angelegt werden (%s)."},
    {TXT_NOTIFY_SHOW, "Tessarine anzeigen"},

    {TXT_SETTINGS_AUTOSTART_LOGIN, "bei der Anmeldung alle Podcasts prüfen"},
    {TXT_APP_HELP, "Aufruf: tessarine [/checkandquit | /donotcheck] [LINK | DATEI]\n"
                   "\n"
                   "Abonniert Podcasts in einem Fenster und lädt ihre neuen Folgen herunter.\n"
                   "Ein Podcast-Link (feed://, feed:https://, itpc://, podcast://, http(s)://)\n"
                   "oder eine gespeicherte Feed-Datei öffnet den Dialog zum Abonnieren mit der\n"
                   "Adresse des Feeds, im schon geöffneten Fenster des Basisverzeichnisses,\n"
                   "falls es eines gibt.\n"
                   "\n"
                   "Optionen (auch mit \"-\" statt \"/\"):\n"
                   "  /checkandquit   minimiert starten, alle Podcasts prüfen, Neues\n"
                   "                  herunterladen, danach beenden\n"
                   "  /donotcheck     beim Start nicht prüfen, auch wenn die Einstellungen es\n"
                   "                  vorsehen\n"
                   "  --help, -h      diese Hilfe anzeigen und beenden\n"
                   "  --version       die Version anzeigen und beenden\n"
                   "\n"
                   "Ohne Fenster: tessarine-cli --help.\n"},
    {TXT_COLUMN_PODCAST, "Podcast"},
    {TXT_STATE_CANCELLED, "Abgebrochen"},
    {TXT_DOWNLOAD_OPEN, "Ö&ffnen"},
    {TXT_DOWNLOAD_OPEN_FOLDER, "&Ordner öffnen"},
    {TXT_DOWNLOAD_CANCEL, "Download &abbrechen"},
    {TXT_DOWNLOAD_RETRY, "&Erneut herunterladen"},
    {TXT_DOWNLOAD_REMOVE_FINISHED, "&Beendete Downloads entfernen"},
    {TXT_DOWNLOAD_FAILED_BECAUSE, "Der Download von %s ist fehlgeschlagen: %s."},
    {TXT_DOWNLOAD_WAS_CANCELLED, "Der Download von %s wurde abgebrochen."},
    {TXT_DOWNLOAD_TIP_REASON, "%s: %s"},
    {TXT_PLACEHOLDER_WITH_ADDRESS, "%s (%s)"},
    {TXT_TIP_URL, "URL: %s"},
    {TXT_TIP_LAST_CHECK, "Letzte Prüfung: %s"},
    {TXT_TIP_LAST_CHECK_FAILED, "Letzte Prüfung fehlgeschlagen: %s"},
    {TXT_TIP_NEVER_CHECKED, "Noch nicht geprüft"},

    {TXT_MESSAGES_CAPTION, "Meldungen"},
    {TXT_MESSAGES_TIME, "Zeit"},
    {TXT_MESSAGES_TEXT, "Meldung"},
    {TXT_MESSAGES_COPY, "&Kopieren"},
    {TXT_MESSAGES_CLEAR, "&Leeren"},
    {TXT_MESSAGES_CLOSE, "&Schließen"},
    {TXT_LINK_NOT_A_PODCAST_LINK, "Tessarine kann %s nicht abonnieren: Es ist weder ein Podcast-Link (feed:, itpc:, podcast:, http oder https) noch eine gespeicherte Feed-Datei."},
    {TXT_LINK_FILE_NOT_A_FEED, "%s ist kein Podcast-Feed (RSS oder Atom)."},
    {TXT_LINK_FILE_NAMES_NO_ADDRESS, "Der gespeicherte Feed %s nennt seine eigene Webadresse nicht, daher kann Tessarine ihn nicht abonnieren. Drücken Sie Strg+A, um den Podcast stattdessen über die Adresse seines Feeds hinzuzufügen."},

    {TXT_EPISODES_MENU, "&Folgen..."},
    {TXT_EPISODES_CAPTION, "Folgen von %s"},
    {TXT_EPISODES_COLUMN_TITLE, "Titel"},
    {TXT_EPISODES_COLUMN_DATE, "Datum"},
    {TXT_EPISODES_COLUMN_DURATION, "Dauer"},
    {TXT_EPISODES_COLUMN_SIZE, "Größe"},
    {TXT_EPISODES_COLUMN_STATE, "Status"},
    {TXT_EPISODES_SHOW, "&Zeigen:"},
    {TXT_EPISODES_SEARCH, "S&uchen:"},
    {TXT_EPISODES_PLAY, "&Abspielen"},
    {TXT_EPISODES_SHOW_IN_FOLDER, "Im &Ordner zeigen"},
    {TXT_EPISODES_DELETE_FILE, "Datei &löschen"},
    {TXT_EPISODES_DOWNLOAD, "&Herunterladen"},
    {TXT_EPISODES_NOT_WANTED, "&Nicht gewünscht"},
    {TXT_EPISODES_CLOSE, "&Schließen"},
    {TXT_EPISODES_SEARCH_HINT, "Wörter im Titel"},
    {TXT_EPISODES_ALL, "Alle Folgen"},
    {TXT_EPISODE_NEW, "Neu"},
    {TXT_EPISODE_QUEUED, "Vorgemerkt"},
    {TXT_EPISODE_DOWNLOADED, "Heruntergeladen"},
    {TXT_EPISODE_DELETED, "Gelöscht"},
    {TXT_EPISODE_REMOVED, "Beim Aufräumen entfernt"},
    {TXT_EPISODE_SKIPPED, "Nicht gewünscht"},
    {TXT_EPISODE_FAILED, "Fehlgeschlagen"},
    {TXT_EPISODE_FAILED_BECAUSE, "Fehlgeschlagen: %s"},
    {TXT_EPISODE_AGAIN, "Download angefordert"},
    {TXT_EPISODE_WAITING, "Wartet auf Download"},
    {TXT_EPISODE_DOWNLOADING, "Wird heruntergeladen: %s"},
    {TXT_EPISODES_COUNT, "%s von %s Folgen"},
    {TXT_EPISODES_NO_STORE, "Die Folgenliste dieses Basisverzeichnisses kann nicht gelesen werden: Sie wird nur geführt, solange ein Programm das Basisverzeichnis hält."},
    {TXT_EPISODES_DELETE_ONE, "Die Datei von „%s“ löschen?"},
    {TXT_EPISODES_DELETE_MANY, "Die Dateien von %s Folgen löschen?"},
    {TXT_EPISODES_FILE_GONE, "Die Datei %s ist nicht mehr vorhanden."},
    {TXT_EPISODES_DATE_FORMAT, "dd.MM.yyyy HH:mm"},

    {TXT_SEARCH_NOTHING_FOUND, "%s hat zu „%s“ keinen Podcast gefunden."},
    {TXT_SEARCH_NO_NETWORK, "%s ist nicht erreichbar: %s"},
    {TXT_SEARCH_REFUSED, "%s hat die Suche abgelehnt: %s"},
    {TXT_SEARCH_ODD_ANSWER, "Die Antwort von %s ist keine Liste von Podcasts."},
    {TXT_SEARCH_KEYS_REFUSED, "%s hat Schlüssel und Geheimnis nicht angenommen: %s"},
    {TXT_CLI_SEARCH_NEEDS, "search braucht einen Suchbegriff."},
    {TXT_CLI_SEARCH_NEEDS_KEYS, "Der Podcast Index braucht einen Schlüssel und ein Geheimnis: Geben Sie "
                                  "sie unter „Podcasts suchen“ ein oder setzen Sie "
                                  "TESSARINE_PODCASTINDEX_KEY und TESSARINE_PODCASTINDEX_SECRET."},
    {TXT_CLI_COLUMN_AUTHOR, "Autor"},
    {TXT_CLI_COLUMN_EPISODES, "Folgen"},

    {TXT_TRAY_SHOW_WINDOW, "Fenster &anzeigen"},
    {TXT_TRAY_HIDE_WINDOW, "Fenster &ausblenden"},
    {TXT_TRAY_LAST_CHECK, "Letzte Prüfung: %s"},
    {TXT_TRAY_DOWNLOADING, "Wird heruntergeladen: %s (%s)"},
    {TXT_TRAY_MORE_DOWNLOADING, "und %s weitere Downloads"},
    {TXT_TRAY_WAITING, "%s in der Warteschlange"},

    {TXT_CONTEXT_PODCAST_SETTINGS, "Podcast-Ein&stellungen..."},
    {TXT_PODSET_CAPTION, "Podcast-Einstellungen"},
    {TXT_PODSET_URL, "URL:"},
    {TXT_PODSET_PAUSED, "Pausiert:"},
    {TXT_PODSET_NO, "Nein"},
    {TXT_PODSET_YES, "Ja"},
    {TXT_PODSET_REFETCH, "Gelöschte Dateien:"},
    {TXT_PODSET_REFETCH_YES, "Erneut laden"},
    {TXT_PODSET_REFETCH_NO, "Gelöscht lassen"},
    {TXT_PODSET_ON_SUBSCRIBE, "Beim Abonnieren:"},
    {TXT_PODSET_ON_SUBSCRIBE_ALL, "Alle laden"},
    {TXT_PODSET_ON_SUBSCRIBE_NEWEST, "Neueste laden:"},
    {TXT_PODSET_KEEP, "Behalten:"},
    {TXT_PODSET_KEEP_ALL, "Alle Folgen"},
    {TXT_PODSET_KEEP_NEWEST, "Neueste:"},
    {TXT_PODSET_KEEP_DAYS, "Nicht älter als:"},
    {TXT_PODSET_KEEP_DAYS_ALL, "Unbegrenzt"},
    {TXT_PODSET_KEEP_DAYS_N, "Tage:"},
    {TXT_PODSET_NAMES, "Dateinamen:"},
    {TXT_PODSET_NAMES_URL, "Aus der URL"},
    {TXT_PODSET_NAMES_PATTERN, "Nach Muster:"},
    {TXT_PODSET_AS_IN_SETTINGS, "Wie in den Einstellungen (%s)"},
    {TXT_PODSET_EXAMPLE, "Beispiel: %s"},
    {TXT_PODSET_NO_EXAMPLE, "Beispiel: sobald eine Folge bekannt ist"},
    {TXT_PODSET_PLACEHOLDERS, "Platzhalter: {date} {title} {podcast} {ext}"},
    {TXT_PODSET_BAD_PATTERN, "Ein Muster braucht {title} oder {date}"},
    {TXT_PODSET_NO_STORE, "Ohne die Folgenbibliothek lassen sich diese Optionen nicht ändern."},
    {IDS_ADDRESS_BUSY, "Die URL lässt sich ändern, sobald die laufende Prüfung oder der laufende Download beendet ist."},
    {IDS_ADDRESS_NOT_CHANGED, "Die URL konnte nicht geändert werden: Die Folgenbibliothek konnte ihr nicht folgen."},
    {IDS_SETTINGS_NOT_STORED, "Die Podcast-Einstellungen konnten nicht in der Folgenbibliothek gespeichert werden."},
    {TXT_SETTINGS_WATCH_GROUP, "Während Tessarine läuft"},
    {TXT_SETTINGS_CHECK_EVERY, "Alle %s Stunden auf neue Einträge prüfen"},
    {TXT_SETTINGS_KEEP_IN_TRAY, "Nach dem Schließen des Fensters im Infobereich weiterlaufen"},
    {TXT_SETTINGS_DEFAULTS_GROUP, "Alle Podcasts, sofern nicht anders eingestellt"},
    {TXT_MENU_FIND_PODCASTS, "Podcasts &suchen..."},
    {TXT_FIND_CAPTION, "Podcasts suchen"},
    {TXT_FIND_DIRECTORY_LABEL, "&Verzeichnis:"},
    {TXT_FIND_TERM_LABEL, "Such&begriff:"},
    {TXT_FIND_SEARCH, "&Suchen"},
    {TXT_FIND_INDEX_KEY, "Schlüssel für den Podcast &Index..."},
    {TXT_FIND_SUBSCRIBE, "&Abonnieren"},
    {TXT_FIND_CLOSE, "S&chließen"},
    {TXT_FIND_COLUMN_TITLE, "Podcast"},
    {TXT_FIND_COLUMN_AUTHOR, "Autor"},
    {TXT_FIND_COLUMN_EPISODES, "Folgen"},
    {TXT_FIND_COLUMN_GENRE, "Genre"},
    {TXT_FIND_COLUMN_LATEST, "Neueste Folge"},
    {TXT_FIND_COLUMN_STATUS, "Status"},
    {TXT_FIND_SUBSCRIBED, "Abonniert"},
    {TXT_FIND_HINT, "Geben Sie den Namen eines Podcasts ein und drücken Sie die Eingabetaste. Den Suchbegriff erhält nur das oben gewählte Verzeichnis."},
    {TXT_FIND_SEARCHING, "Suche in %s nach „%s“..."},
    {TXT_FIND_FOUND, "In %s gefundene Podcasts: %s"},
    {TXT_FIND_NO_NETWORK, "%s ist nicht erreichbar (%s). Ist der Computer mit dem Internet verbunden?"},
    {TXT_FIND_REFUSED, "%s hat die Suche abgelehnt (%s)."},
    {TXT_FIND_ODD_ANSWER, "Die Antwort von %s ist kein Suchergebnis. Bitte versuchen Sie es später noch einmal."},
    {TXT_FIND_SUBSCRIBED_TO, "„%s“ abonniert."},
    {TXT_KEY_CAPTION, "Podcast-Index-Schlüssel"},
    {TXT_KEY_INTRO, "Der Podcast Index beantwortet nur Suchanfragen, die mit einem API-Schlüssel und dessen Geheimnis signiert sind. Beides erhalten Sie kostenlos unter https://api.podcastindex.org."},
    {TXT_KEY_KEY_LABEL, "API-&Schlüssel:"},
    {TXT_KEY_SECRET_LABEL, "API-&Geheimnis:"},
    {TXT_FIND_NEEDS_KEY, "Der Podcast Index braucht einen API-Schlüssel und dessen Geheimnis: Geben Sie beides unter „Schlüssel für den Podcast Index...“ ein."},
    {0, nullptr},
};

} // namespace tessarine
