#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The executable's own path as the system reports it (/proc/self/exe); empty if
// unknown.
std::string ExecutablePath();

// The file name without directory and without its extension:
// "/usr/bin/morvel.bin" -> "morvel", "morvel" -> "morvel". Leading dots belong to
// the name, so ".hidden" stays ".hidden".
std::string ApplicationNameFromPath(std::string_view path);

// getenv as an optional: nullopt when the variable is unset.
std::optional<std::string> Environment(const char* name);

// A name without '/' is looked up on PATH (the system's default path when PATH is
// unset; an empty entry is the current directory), taking the first executable
// regular file. A name with '/' is returned unchanged when it names an executable
// regular file. nullopt otherwise.
std::optional<std::string> ResolveProgram(std::string_view program);

// Starts the program at path `program` (no PATH search, no shell) with argv[0] =
// program and each of `args` as one argument. The new process runs in its own
// session without a controlling terminal, its standard streams on /dev/null, no
// other descriptor inherited, default signal dispositions; it is reaped by init, so
// no zombie remains. Returns true only when the program was executed.
bool LaunchDetached(const std::string& program, const std::vector<std::string>& args);

// Runs the program in the foreground on the current terminal and waits for it.
// SIGINT and SIGQUIT are ignored here while it runs (the terminal sends them to
// the child) and restored afterwards. Returns the exit status, 128 + the signal
// number when the program was killed by a signal, or -1 when it could not be
// started.
int RunInForeground(const std::string& program, const std::vector<std::string>& args);

}  // namespace platform
