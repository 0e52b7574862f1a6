#include "framework/program_launch.h"

#include "framework/backend.h"
#include "platform/process/process.h"

namespace framework {

bool StartProgram(const std::string& program, const std::vector<std::string>& args) {
  std::optional<std::string> resolved = platform::ResolveProgram(program);
  if (!resolved)
    return false;
  Backend* backend = CurrentBackend();
  if (backend && backend->RunsProgramsInForeground()) {
    backend->SuspendForProgram();
    int status = platform::RunInForeground(*resolved, args);
    backend->ResumeAfterProgram();
    return status != -1;
  }
  return platform::LaunchDetached(*resolved, args);
}

bool ProgramsRunInForeground() {
  Backend* backend = CurrentBackend();
  return backend && backend->RunsProgramsInForeground();
}

}  // namespace framework
