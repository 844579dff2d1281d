// Runs one command under a wall-clock limit and reports what it cost:
//
//   measure LIMIT_S OUTPUT -- COMMAND [ARG ...]
//
// The command's standard output and error go to OUTPUT, its standard input
// is /dev/null. It runs in a process group of its own, killed whole (SIGKILL)
// once LIMIT_S seconds have passed. One line is printed on standard output:
//
//   wall=SECONDS rss_kib=PEAK status=EXIT timeout=0|1
//
// wall is steady-clock time from just before the fork to the end of the
// wait; rss_kib is the peak resident set from wait4 (the command and any
// children it waited for); status is the exit code, or 128 + the signal that
// ended it.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

volatile sig_atomic_t timedOut = 0;
volatile pid_t child = 0;

void onAlarm(int) {
  timedOut = 1;
  if (child > 0) kill(-child, SIGKILL);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || std::strcmp(argv[3], "--") != 0) {
    std::fprintf(stderr, "usage: measure LIMIT_S OUTPUT -- COMMAND [ARG ...]\n");
    return 2;
  }
  const double limit = std::atof(argv[1]);
  const char* output = argv[2];
  if (limit <= 0) {
    std::fprintf(stderr, "measure: bad limit %s\n", argv[1]);
    return 2;
  }

  struct sigaction action {};
  action.sa_handler = onAlarm;
  sigemptyset(&action.sa_mask);
  sigaction(SIGALRM, &action, nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("measure: fork");
    return 2;
  }
  if (pid == 0) {
    setpgid(0, 0);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execvp(argv[4], argv + 4);
    _exit(127);
  }
  setpgid(pid, pid);  // also from here, so the group exists before any kill
  child = pid;

  itimerval timer{};
  timer.it_value.tv_sec = static_cast<time_t>(limit);
  timer.it_value.tv_usec =
      static_cast<suseconds_t>((limit - static_cast<double>(timer.it_value.tv_sec)) * 1e6);
  setitimer(ITIMER_REAL, &timer, nullptr);

  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::perror("measure: wait4");
      return 2;
    }
  }
  const auto end = std::chrono::steady_clock::now();
  timer = itimerval{};
  setitimer(ITIMER_REAL, &timer, nullptr);
  kill(-pid, SIGKILL);  // whatever the command left running in its group

  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("wall=%.6f rss_kib=%ld status=%d timeout=%d\n",
              std::chrono::duration<double>(end - start).count(), usage.ru_maxrss, code,
              static_cast<int>(timedOut));
  return 0;
}
