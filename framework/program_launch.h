#pragma once

#include <string>
#include <vector>

namespace framework {

// Starts program (a path, or a name looked up on PATH) with args, each one
// argument whatever it holds. The backend decides how: detached, or in the
// foreground on its terminal with the screen restored after. Returns whether
// the program started; failures are silent.
bool StartProgram(const std::string& program, const std::vector<std::string>& args);

// Whether programs started by StartProgram run in the foreground (a terminal
// backend) rather than detached.
bool ProgramsRunInForeground();

}  // namespace framework
