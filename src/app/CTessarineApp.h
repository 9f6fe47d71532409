#pragma once
// The application: the command line, start-up and the life of the program.

#include <string>
#include <vector>

namespace tessarine {

// The command line. Each argument loses one leading "/" or "-"; the two
// program switches are then compared exactly and case-sensitively, and each
// clears the other, so the later one wins.
class CTessarineCommandLineInfo {
public:
    bool checkAndQuit = false;
    bool doNotCheck = false;
    bool registerServer = false;   // register, then end without a window
    bool unregisterServer = false; // unregister, then end without a window

    void ParseParam(std::string parameter);
    static CTessarineCommandLineInfo Parse(const std::vector<std::string>& arguments);
};

class CTessarineApp {
public:
    // The whole life of the program; returns the process's exit status.
    static int Run(int argc, char** argv);
};

} // namespace tessarine
