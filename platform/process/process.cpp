#include "platform/process/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace platform {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

// Everything the child needs is prepared before fork(): between fork() and exec
// only async-signal-safe calls are allowed, so no allocation happens there.
struct ChildPlan {
  const char* path = nullptr;
  std::vector<char*> argv;
  int errorPipe = -1;  // write end, close-on-exec; receives errno when exec fails
  int highestDescriptor = 0;
  bool detached = false;
};

ChildPlan MakePlan(const std::string& program, const std::vector<std::string>& args,
                   bool detached) {
  ChildPlan plan;
  plan.path = program.c_str();
  plan.argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) {
    plan.argv.push_back(const_cast<char*>(arg.c_str()));
  }
  plan.argv.push_back(nullptr);
  long openMax = ::sysconf(_SC_OPEN_MAX);
  plan.highestDescriptor = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) - 1 : 65535;
  plan.detached = detached;
  return plan;
}

void ReportErrno(int pipe, int error) {
  ssize_t written;
  do {
    written = ::write(pipe, &error, sizeof error);
  } while (written < 0 && errno == EINTR);
}

void CloseDescriptorsAbove2Except(int keep, int highest) {
  bool closed = true;
  if (keep > 3) {
    closed = ::close_range(3, static_cast<unsigned>(keep) - 1, 0) == 0;
  }
  closed = closed && ::close_range(static_cast<unsigned>(keep) + 1, ~0U, 0) == 0;
  if (!closed) {  // kernels before 5.9
    for (int fd = 3; fd <= highest; ++fd) {
      if (fd != keep) {
        ::close(fd);
      }
    }
  }
}

// Runs in the child after fork(); never returns.
[[noreturn]] void ExecChild(const ChildPlan& plan) {
  struct sigaction defaultAction = {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  for (int signal = 1; signal < NSIG; ++signal) {
    ::sigaction(signal, &defaultAction, nullptr);  // fails harmlessly for SIGKILL and SIGSTOP
  }
  sigset_t noSignals;
  sigemptyset(&noSignals);
  ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);

  if (plan.detached) {
    // A new session drops the controlling terminal; the second fork makes the
    // program a non-leader that can never acquire one, and leaves it to init.
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild < 0) {
      ReportErrno(plan.errorPipe, errno);
      ::_exit(127);
    }
    if (grandchild > 0) {
      ::_exit(0);
    }
    int devNull = ::open("/dev/null", O_RDWR);
    if (devNull < 0) {
      ReportErrno(plan.errorPipe, errno);
      ::_exit(127);
    }
    for (int stream = 0; stream <= 2; ++stream) {
      if (devNull != stream) {
        ::dup2(devNull, stream);
      }
    }
  }
  CloseDescriptorsAbove2Except(plan.errorPipe, plan.highestDescriptor);
  ::execv(plan.path, plan.argv.data());
  ReportErrno(plan.errorPipe, errno);
  ::_exit(127);
}

// A pipe whose descriptors are above the standard streams, so that redirecting
// those in the child cannot clobber it.
bool OpenErrorPipe(int (&ends)[2]) {
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    return false;
  }
  for (int& end : ends) {
    if (end <= 2) {
      int moved = ::fcntl(end, F_DUPFD_CLOEXEC, 3);
      ::close(end);
      end = moved;
    }
  }
  if (ends[0] < 0 || ends[1] < 0) {
    for (int end : ends) {
      if (end >= 0) {
        ::close(end);
      }
    }
    return false;
  }
  return true;
}

// True when the child reported that exec failed; reads until the pipe closes.
bool ExecFailed(int readEnd) {
  int error = 0;
  ssize_t got;
  do {
    got = ::read(readEnd, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got != 0;
}

// Waits for pid; returns false when it cannot be waited for.
bool WaitFor(pid_t pid, int& status) {
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

// Forks with every signal blocked, so that no handler of ours runs in the child
// before it has reset them. Returns the child's pid, or -1.
pid_t ForkChild(ChildPlan& plan, int (&ends)[2]) {
  plan.errorPipe = ends[1];
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  pid_t pid = ::fork();
  if (pid == 0) {
    ExecChild(plan);
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(ends[1]);
  return pid;
}

}  // namespace

std::string ExecutablePath() {
  std::string buffer(256, '\0');
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      return std::string();
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ApplicationNameFromPath(std::string_view path) {
  std::size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::size_t stemStart = name.find_first_not_of('.');
  if (stemStart == std::string_view::npos) {
    return std::string(name);
  }
  std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > stemStart) {
    name = name.substr(0, dot);
  }
  return std::string(name);
}

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

std::optional<std::string> ResolveProgram(std::string_view program) {
  std::string name(program);
  if (name.empty() || name.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  if (name.find('/') != std::string::npos) {
    return IsExecutableFile(name) ? std::optional<std::string>(name) : std::nullopt;
  }
  std::optional<std::string> searchPath = Environment("PATH");
  if (!searchPath) {
    std::size_t length = ::confstr(_CS_PATH, nullptr, 0);
    std::string defaultPath(length, '\0');
    if (length > 0 && ::confstr(_CS_PATH, defaultPath.data(), length) == length) {
      defaultPath.resize(length - 1);
    } else {
      defaultPath = "/bin:/usr/bin";
    }
    searchPath = defaultPath;
  }
  std::string_view rest = *searchPath;
  for (;;) {
    std::size_t colon = rest.find(':');
    // An empty entry stands for the current directory.
    std::string_view directory = rest.substr(0, colon);
    if (directory.empty()) {
      directory = ".";
    }
    std::string candidate(directory);
    if (candidate.back() != '/') {
      candidate += '/';
    }
    candidate += name;
    if (IsExecutableFile(candidate)) {
      return candidate;
    }
    if (colon == std::string_view::npos) {
      return std::nullopt;
    }
    rest.remove_prefix(colon + 1);
  }
}

bool LaunchDetached(const std::string& program, const std::vector<std::string>& args) {
  ChildPlan plan = MakePlan(program, args, true);
  int ends[2];
  if (!OpenErrorPipe(ends)) {
    return false;
  }
  pid_t child = ForkChild(plan, ends);
  if (child < 0) {
    ::close(ends[0]);
    return false;
  }
  // The intermediate child exits at once; its child belongs to init from then on.
  int status = 0;
  bool reaped = WaitFor(child, status);
  int waitError = reaped ? 0 : errno;
  bool failed = ExecFailed(ends[0]);
  ::close(ends[0]);
  if (failed) {
    return false;
  }
  // ECHILD: SIGCHLD is ignored, so the system has reaped it already.
  return reaped ? WIFEXITED(status) && WEXITSTATUS(status) == 0 : waitError == ECHILD;
}

int RunInForeground(const std::string& program, const std::vector<std::string>& args) {
  ChildPlan plan = MakePlan(program, args, false);
  int ends[2];
  if (!OpenErrorPipe(ends)) {
    return -1;
  }
  // As system() does: Ctrl-C and Ctrl-\ belong to the program on the terminal, and
  // SIGCHLD stays blocked so no handler of ours reaps the child first.
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction previousInterrupt;
  struct sigaction previousQuit;
  ::sigaction(SIGINT, &ignore, &previousInterrupt);
  ::sigaction(SIGQUIT, &ignore, &previousQuit);
  sigset_t childSignal;
  sigset_t previousMask;
  sigemptyset(&childSignal);
  sigaddset(&childSignal, SIGCHLD);
  ::pthread_sigmask(SIG_BLOCK, &childSignal, &previousMask);

  int result = -1;
  pid_t child = ForkChild(plan, ends);
  if (child >= 0) {
    bool failed = ExecFailed(ends[0]);
    int status = 0;
    if (WaitFor(child, status) && !failed) {
      if (WIFEXITED(status)) {
        result = WEXITSTATUS(status);
      } else if (WIFSIGNALED(status)) {
        result = 128 + WTERMSIG(status);
      }
    }
  }
  ::close(ends[0]);

  ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
  ::sigaction(SIGINT, &previousInterrupt, nullptr);
  ::sigaction(SIGQUIT, &previousQuit, nullptr);
  return result;
}

}  // namespace platform
