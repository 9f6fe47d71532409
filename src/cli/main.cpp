// tessarine-cli: the command-line front end. Only the profile (where the
// window remembers the base directory), the cache folder and the system's
// language come from the platform layer on QtCore; everything else is the
// Qt-free core.
#include "cli/CliArguments.h"
#include "cli/TessarineCli.h"
#include "core/net/HttpClient.h"
#include "core/util/Strings.h"
#include "platform/CacheFolder.h"
#include "platform/Profile.h"

#include <QLocale>

#include <cstdlib>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
// After windows.h, whose types it takes.
#include <shellapi.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#ifndef _WIN32
namespace {

// Set by SIGWINCH (nothing else is safe in a signal handler): the width is
// read again at the next redraw.
volatile std::sig_atomic_t resized = 1;

extern "C" void OnResize(int) { resized = 1; }

// The terminal's width as TIOCGWINSZ tells it, else as COLUMNS says, else 80.
size_t ReadTerminalWidth() {
    if (winsize size{}; ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    if (const char* columns = std::getenv("COLUMNS")) {
        char* end = nullptr;
        const long value = std::strtol(columns, &end, 10);
        if (end != columns && *end == '\0' && value > 0 && value < 100000)
            return static_cast<size_t>(value);
    }
    return 80;
}

// Asked at each redraw (one at a time: the console's lock is held).
size_t TerminalWidth() {
    static size_t width = 80;
    if (resized != 0) {
        resized = 0;
        width = ReadTerminalWidth();
    }
    return width;
}

} // namespace
#endif

#ifdef _WIN32
namespace {

// The arguments after the program's name in UTF-8, as the core takes every
// path and text: argv holds them in the local code page, which cannot hold
// every name.
std::vector<std::string> Utf8Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(static_cast<size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
        if (bytes > 1)
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), bytes, nullptr, nullptr);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace
#endif

int main(int argc, char** argv) {
    using namespace tessarine;
    SetLanguage(ChooseLanguage(std::getenv("TESSARINE_LANG"),
                               QLocale::system().language() == QLocale::German));

#ifndef _WIN32
    // A standard stream that was closed is held by /dev/null opened for
    // reading only: no file the program opens later takes its number (a
    // write meant for the console would land in it), and a write to it fails
    // and is reported as a failed write.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int held = open("/dev/null", O_RDONLY);
            if (held >= 0 && held != fd)
                close(held);
        }
    }
#endif

    CliConsole console;
#ifdef _WIN32
    console.outIsTerminal = _isatty(_fileno(stdout)) != 0;
#else
    console.outIsTerminal = isatty(STDOUT_FILENO) == 1;
    if (console.outIsTerminal) {
        // Before any thread starts, so that every thread has it; calls under
        // way go on (SA_RESTART).
        struct sigaction action{};
        action.sa_handler = OnResize;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGWINCH, &action, nullptr);
        console.width = TerminalWidth;
    }
#endif

    if (!HttpGlobalInit()) {
        std::fprintf(stderr, "%s\n", LoadResString(IDS_SOCKETS_INIT_FAILED).c_str());
        return 1;
    }
    // Without --base the base directory is the window's: the profile's, or on
    // a first start ~/Podcasts/ (made and remembered as the window makes it).
#ifdef _WIN32
    (void)argc;
    (void)argv;
    const std::vector<std::string> arguments = Utf8Arguments();
#else
    const std::vector<std::string> arguments(argv + 1, argv + argc);
#endif
    const CliArguments parsed = CliArguments::Parse(arguments);
    // A search works on no base directory: none is made for it.
    const bool needsBase = parsed.error.empty() && !parsed.baseGiven &&
                           parsed.command != CliCommand::Help &&
                           parsed.command != CliCommand::Version &&
                           parsed.command != CliCommand::Search;
    const std::string profileBase =
        (needsBase ? BaseDirectoryForStart() : ReadBaseDirectoryFromProfile()).toStdString();
    // The Podcast Index's key and secret: the environment's pair, else the
    // one entered in the window.
    SearchCredentials credentials;
    if (parsed.command == CliCommand::Search && parsed.index) {
        const char* key = std::getenv("TESSARINE_PODCASTINDEX_KEY");
        const char* secret = std::getenv("TESSARINE_PODCASTINDEX_SECRET");
        if (key != nullptr && *key != '\0' && secret != nullptr && *secret != '\0') {
            credentials = {key, secret};
        } else {
            const PodcastIndexKeys keys = ReadPodcastIndexKeysFromProfile();
            credentials = {keys.key.toStdString(), keys.secret.toStdString()};
        }
    }
    return TessarineCli::Run(arguments, profileBase, FeedCacheFolder(), console, credentials);
}
