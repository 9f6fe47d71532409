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
    {TXT_APP_HELP, "Aufruf: tessarine [/checkandquit | /donotcheck]\n"
                   "\n"
                   "Abonniert Podcasts in einem Fenster und lädt ihre neuen Folgen herunter.\n"
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
    {TXT_FIND_NOTHING, "%s hat zu „%s“ keinen Podcast gefunden."},
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
