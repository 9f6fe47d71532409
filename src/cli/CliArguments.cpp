#include "cli/CliArguments.h"

#include "core/util/Strings.h"

namespace tessarine {

namespace {

struct CommandName {
    const char* name;
    CliCommand command;
    bool takesArgument;
};

constexpr CommandName kCommands[] = {
    {"check", CliCommand::Check, false},  {"list", CliCommand::List, false},
    {"add", CliCommand::Add, true},       {"remove", CliCommand::Remove, true},
    {"import", CliCommand::Import, true}, {"export", CliCommand::Export, true},
};

} // namespace

CliArguments CliArguments::Parse(const std::vector<std::string>& arguments) {
    CliArguments result;
    bool help = false, version = false, optionsEnded = false;
    std::vector<std::string> words;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        // A lone "-" is an operand: the standard input or output.
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            words.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--version") {
            version = true;
        } else if (a == "--quiet" || a == "-q") {
            result.quiet = true;
        } else if (a == "--base") {
            if (i + 1 == arguments.size()) {
                result.error = FormatResString(TXT_CLI_MISSING_ARGUMENT, a);
                return result;
            }
            result.base = arguments[++i];
            result.baseGiven = true;
        } else if (a.starts_with("--base=")) {
            result.base = a.substr(7);
            result.baseGiven = true;
        } else if (result.error.empty()) {
            result.error = FormatResString(TXT_CLI_UNKNOWN_OPTION, a);
        }
    }
    // Help and version answer whatever else the line holds.
    if (help || version) {
        result.command = help ? CliCommand::Help : CliCommand::Version;
        result.error.clear();
        return result;
    }
    if (!result.error.empty())
        return result;
    if (result.baseGiven && result.base.empty()) {
        result.error = FormatResString(TXT_CLI_MISSING_ARGUMENT, "--base");
        return result;
    }
    if (words.empty()) {
        result.error = LoadResString(TXT_CLI_NO_COMMAND);
        return result;
    }
    const CommandName* found = nullptr;
    for (const CommandName& c : kCommands) {
        if (words[0] == c.name)
            found = &c;
    }
    if (found == nullptr) {
        result.error = FormatResString(TXT_CLI_UNKNOWN_COMMAND, words[0]);
        return result;
    }
    const size_t wanted = found->takesArgument ? 2 : 1;
    if (words.size() < wanted) {
        result.error = FormatResString(TXT_CLI_MISSING_ARGUMENT, words[0]);
        return result;
    }
    if (words.size() > wanted) {
        result.error = FormatResString(TXT_CLI_EXTRA_ARGUMENT, words[wanted]);
        return result;
    }
    result.command = found->command;
    if (found->takesArgument)
        result.argument = words[1];
    return result;
}

} // namespace tessarine
