#pragma once

#include <optional>

// The program takes no options of its own: everything it keeps is in its settings file. Only
// --help and --version are answered, on the terminal, before anything else happens.
//
// Returns the exit code when the program must end here (help or version printed, or an
// argument it does not know), std::nullopt when it goes on to show its windows. Needs no
// display and reads no settings.
std::optional<int> handleCommandLine(int argc, char *argv[]);
