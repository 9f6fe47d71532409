#pragma once
// The command line of tessarine-cli:
//   tessarine-cli [--base DIR] [--quiet] COMMAND [ARGUMENT...]
// Options may stand before or after the command; "--" ends them. Three
// options belong to commands: --default to get and set, --dry-run to
// cleanup, --index to search; anywhere else they are unknown options.

#include <string>
#include <utility>
#include <vector>

namespace tessarine {

enum class CliCommand {
    None,
    Help,
    Version,
    Check,
    List,
    Add,
    Remove,
    Import,
    Export,
    Episodes,
    Get,
    Set,
    Again,
    Cleanup,
    Search,
};

class CliArguments {
public:
    CliCommand command = CliCommand::None;
    // The URL or file of add, remove, import, export; the podcast of
    // episodes, get, set and again (empty with --default); search's term
    // (its words joined by blanks).
    std::string argument;
    std::string episode; // again's episode: its title, file name or guid
    // set's KEY=VALUE words, split at their first "=" (the key is never empty).
    std::vector<std::pair<std::string, std::string>> settings;
    bool defaults = false; // --default: get and set work on every podcast's default
    bool dryRun = false;   // --dry-run: cleanup only tells what it would remove
    bool index = false;    // --index: search asks the Podcast Index
    std::string base;      // --base DIR; empty when not given
    bool baseGiven = false;
    bool quiet = false;
    // A usage error, as the message to show (in the current language);
    // empty when the command line is sound.
    std::string error;

    static CliArguments Parse(const std::vector<std::string>& arguments);
};

} // namespace tessarine
