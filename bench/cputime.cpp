// Runs a command with its output going to /dev/null and prints the user +
// system seconds it took, to the microsecond, and its peak resident memory
// in kB, as the kernel accounts them for the finished child. (A shell's or
// an interpreter's fork would be counted in the child; this one is small.)
//   velmar-cputime COMMAND [ARGS...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s COMMAND [ARGS...]\n", argv[0]);
    return 2;
  }
  pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    _exit(127);
  }
  int status = 0;
  struct rusage use;
  if (wait4(child, &status, 0, &use) != child) return 1;
  double seconds = static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                   static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
  std::printf("%.6f %ld\n", seconds, use.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
