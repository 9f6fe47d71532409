#include "cli/CliArguments.h"

#include "core/util/Strings.h"
#include "core/util/Text.h"

namespace tessarine {

namespace {

struct CommandName {
    const char* name;
    CliCommand command;
    bool takesArgument;
};

// get, set and again check their words themselves (see TakeEpisodeWords).
constexpr CommandName kCommands[] = {
    {"check", CliCommand::Check, false},      {"list", CliCommand::List, false},
    {"add", CliCommand::Add, true},           {"remove", CliCommand::Remove, true},
    {"import", CliCommand::Import, true},     {"export", CliCommand::Export, true},
    {"episodes", CliCommand::Episodes, true}, {"get", CliCommand::Get, false},
    {"set", CliCommand::Set, false},          {"again", CliCommand::Again, false},
    {"cleanup", CliCommand::Cleanup, false},   {"search", CliCommand::Search, false},
};

// The words after get, set or again into `result`, or the usage error.
void TakeEpisodeWords(const std::vector<std::string>& words, CliArguments& result) {
    std::string& error = result.error;
    switch (result.command) {
    case CliCommand::Get:
        if (result.defaults && words.size() > 1)
            error = FormatResString(TXT_CLI_DEFAULT_AND_PODCAST, words[1]);
        else if (!result.defaults && words.size() < 2)
            error = LoadResString(TXT_CLI_GET_NEEDS);
        else if (words.size() > 2)
            error = FormatResString(TXT_CLI_EXTRA_ARGUMENT, words[2]);
        else if (!result.defaults)
            result.argument = words[1];
        return;
    case CliCommand::Set: {
        // Without --default the podcast comes first (its URL may hold "=").
        // With it, a first word that is no KEY=VALUE before some that are is
        // taken for a podcast.
        if (result.defaults && words.size() > 2 && words[1].find('=') == std::string::npos) {
            error = FormatResString(TXT_CLI_DEFAULT_AND_PODCAST, words[1]);
            return;
        }
        const size_t first = result.defaults ? 1 : 2;
        if (words.size() <= first) {
            error = LoadResString(TXT_CLI_SET_NEEDS);
            return;
        }
        for (size_t i = first; i < words.size(); ++i) {
            const size_t equals = words[i].find('=');
            if (equals == 0 || equals == std::string::npos) {
                error = FormatResString(TXT_CLI_NOT_A_SETTING, words[i]);
                return;
            }
            result.settings.emplace_back(words[i].substr(0, equals), words[i].substr(equals + 1));
        }
        if (!result.defaults)
            result.argument = words[1];
        return;
    }
    case CliCommand::Again:
        if (words.size() < 3) {
            error = LoadResString(TXT_CLI_AGAIN_NEEDS);
        } else if (words.size() > 3) {
            error = FormatResString(TXT_CLI_EXTRA_ARGUMENT, words[3]);
        } else {
            result.argument = words[1];
            result.episode = words[2];
        }
        return;
    default:
        return;
    }
}

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
        } else if (a == "--default") {
            result.defaults = true; // only get and set take it: see below
        } else if (a == "--dry-run") {
            result.dryRun = true; // only cleanup takes it
        } else if (a == "--index") {
            result.index = true; // only search takes it
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
    result.command = found->command;
    const bool getOrSet = found->command == CliCommand::Get || found->command == CliCommand::Set;
    if (result.defaults && !getOrSet) {
        result.error = FormatResString(TXT_CLI_UNKNOWN_OPTION, "--default");
        return result;
    }
    if (result.dryRun && found->command != CliCommand::Cleanup) {
        result.error = FormatResString(TXT_CLI_UNKNOWN_OPTION, "--dry-run");
        return result;
    }
    if (result.index && found->command != CliCommand::Search) {
        result.error = FormatResString(TXT_CLI_UNKNOWN_OPTION, "--index");
        return result;
    }
    if (found->command == CliCommand::Search) {
        // The words of the term need no quotes: search the daily news.
        for (size_t i = 1; i < words.size(); ++i)
            result.argument += (i > 1 ? " " : "") + words[i];
        if (Trimmed(result.argument, [](char c) { return c == ' ' || c == '\t'; }).empty())
            result.error = LoadResString(TXT_CLI_SEARCH_NEEDS);
        return result;
    }
    if (getOrSet || found->command == CliCommand::Again) {
        TakeEpisodeWords(words, result);
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
    if (found->takesArgument)
        result.argument = words[1];
    return result;
}

} // namespace tessarine
