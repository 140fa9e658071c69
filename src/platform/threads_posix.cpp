// POSIX: threads that never take an ending signal. The mask is set in the
// creating thread around the creation, so the new thread has it from its
// first instruction; a mask set by the thread itself would leave a moment
// in which the kernel could pick it.
#include <pthread.h>
#include <signal.h>

#include <utility>

#include "platform/platform.h"

namespace platform {

std::thread StartThread(std::function<void()> body) {
  sigset_t ending;
  sigemptyset(&ending);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ})
    sigaddset(&ending, signal_number);
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &ending, &previous);
  struct Restore {
    sigset_t* mask;
    ~Restore() { pthread_sigmask(SIG_SETMASK, mask, nullptr); }
  } restore{&previous};
  return std::thread(std::move(body));
}

}  // namespace platform
