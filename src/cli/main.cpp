// tessarine-cli: the command-line front end. Only the profile (where the
// window remembers the base directory) and the system's language come from
// QtCore; everything else is the Qt-free core.
#include "cli/TessarineCli.h"
#include "platform/Profile.h"
#include "subscriptions/Strings.h"
#include "update/HttpClient.h"

#include <QLocale>

#include <cstdlib>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    using namespace tessarine;
    SetLanguage(ChooseLanguage(std::getenv("TESSARINE_LANG"),
                               QLocale::system().language() == QLocale::German));

    CliConsole console;
#ifdef _WIN32
    console.outIsTerminal = _isatty(_fileno(stdout)) != 0;
#else
    console.outIsTerminal = isatty(STDOUT_FILENO) == 1;
    if (winsize size{};
        console.outIsTerminal && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        console.width = size.ws_col;
#endif

    if (!HttpGlobalInit()) {
        std::fprintf(stderr, "%s\n", LoadResString(IDS_SOCKETS_INIT_FAILED).c_str());
        return 1;
    }
    const std::string profileBase = ReadBaseDirectoryFromProfile().toStdString();
    return TessarineCli::Run(std::vector<std::string>(argv + 1, argv + argc), profileBase, console);
}
