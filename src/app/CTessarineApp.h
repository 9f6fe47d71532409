#pragma once
// The application: the command line, start-up and the life of the program.

#include <optional>
#include <string>
#include <vector>

namespace tessarine {

// The command line. "--help" (or "-h") and "--version" are taken as they
// are; any other argument loses one leading "/" or "-", and the two program
// switches are then compared exactly and case-sensitively, and each clears
// the other, so the later one wins. Any other argument that is a link (see
// IsLinkArgument: a podcast link, a saved feed file) asks to subscribe.
class CTessarineCommandLineInfo {
public:
    bool checkAndQuit = false;
    bool doNotCheck = false;
    bool registerServer = false;   // register, then end without a window
    bool unregisterServer = false; // unregister, then end without a window
    bool showHelp = false;         // print the help, then end without a window
    bool showVersion = false;      // print the version, then end without a window
    std::vector<std::string> links; // as given, in their order

    void ParseParam(std::string parameter);
    static CTessarineCommandLineInfo Parse(const std::vector<std::string>& arguments);
};

class PodcastLibrary;
class SingleInstance;

class CTessarineApp {
public:
    // The whole life of the program; returns the process's exit status.
    static int Run(int argc, char** argv);
    // Prints the help (or the version) to the standard output in the
    // language the window would speak; 0, or 1 when it could not be written.
    static int PrintHelp(bool version);
    // The program's life after the application object is made: the window
    // for the command line `arguments` (without the program name) until it
    // ends; returns the exit status.
    static int RunWindow(const std::vector<std::string>& arguments);
    // The application's names: the profile's, the launcher's. No display
    // name: the window system would append it to every dialog's caption.
    static void SetIdentity();

    // Start-up's claim on the base directory `base`: the library takes its
    // lock, and once the lock is ours `instance` serves raise requests. None
    // when the program goes on; otherwise the exit status to end with at
    // once: 0 when a window of this user already runs there and was asked to
    // come to the front; kExitBaseDirectoryInUse when another program holds
    // the folder, after a message box (quietly when `checkAndQuit`: an
    // unattended run neither shows a box nor raises a window).
    // A second start hands the running window `links` to subscribe to.
    static std::optional<int> ClaimBaseDirectory(PodcastLibrary& library, SingleInstance& instance,
                                                 const std::string& base, bool checkAndQuit,
                                                 const std::vector<std::string>& links = {});
    static constexpr int kExitBaseDirectoryInUse = 1;
    // An unattended run whose base directory does not exist.
    static constexpr int kExitBaseDirectoryMissing = 1;
};

} // namespace tessarine
