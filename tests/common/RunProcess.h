#pragma once

#include <string>
#include <vector>

namespace lmvtest {

// What a program left when it ended.
struct TProcessOutcome {
    int Status = -1; // exit status, or 128 + signal; -1 when it could not be started or reaped
    std::string Out;
    std::string Err;
    bool Matched = false; // TProcessOptions::Until was seen in the error output
};

struct TProcessOptions {
    // Not empty: the program is killed as soon as its error output holds this text.
    std::string Until = {};
    // The program starts with a Ctrl+C already waiting.
    bool PendingInterrupt = false;
    // Standard error is a terminal (a new pseudo-terminal that passes bytes unchanged); Err holds
    // what the program wrote there.
    bool ErrorOnTerminal = false;
    // Standard input: this file, or a new pseudo-terminal with InputOnTerminal.
    std::string Input = "/dev/null";
    bool InputOnTerminal = false;
};

// The environment of this process without the variables named in Drop, then the "NAME=value"
// entries of Add.
std::vector<std::string> Environment(const std::vector<std::string>& Drop, const std::vector<std::string>& Add);

// Runs Argv (Argv[0] is the program's path) with the environment Env and collects both outputs.
// The program starts with SIGINT and SIGPIPE at their defaults and no signal blocked. A program
// that outlives a generous limit is killed, so a hanging program fails the test instead of
// stopping it.
TProcessOutcome RunProcess(const std::vector<std::string>& Argv, const std::vector<std::string>& Env,
                           const TProcessOptions& Options = {});

} // namespace lmvtest
