#pragma once
// The command line of tessarine-cli:
//   tessarine-cli [--base DIR] [--quiet] COMMAND [ARGUMENT]
// Options may stand before or after the command; "--" ends them.

#include <string>
#include <vector>

namespace tessarine {

enum class CliCommand { None, Help, Version, Check, List, Add, Remove, Import, Export };

class CliArguments {
public:
    CliCommand command = CliCommand::None;
    std::string argument; // the URL or file of add, remove, import, export
    std::string base;     // --base DIR; empty when not given
    bool baseGiven = false;
    bool quiet = false;
    // A usage error, as the message to show (in the current language);
    // empty when the command line is sound.
    std::string error;

    static CliArguments Parse(const std::vector<std::string>& arguments);
};

} // namespace tessarine
