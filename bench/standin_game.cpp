// Stands in for the game in the click benchmark: the first thing it does is
// note the time it began to run (CLOCK_REALTIME, seconds and nanoseconds) in
// game-started.txt in its working folder, which the launcher sets to the
// game's folder. Nothing but the C library, so it starts in no time.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

int main() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  char line[64];
  const int length = std::snprintf(line, sizeof line, "%lld %ld\n",
                                   static_cast<long long>(now.tv_sec), now.tv_nsec);
  // Written under another name and renamed, so that a watcher never reads a
  // half-written time.
  const int descriptor = ::open("game-started.tmp", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    return 1;
  }
  const bool written = ::write(descriptor, line, static_cast<size_t>(length)) == length;
  ::close(descriptor);
  return written && ::rename("game-started.tmp", "game-started.txt") == 0 ? 0 : 1;
}
