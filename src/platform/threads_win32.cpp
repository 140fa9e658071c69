// Windows: console events come to a thread the system makes for them, never
// to these, so a thread is started plainly.
#include <utility>

#include "platform/platform.h"

namespace platform {

std::thread StartThread(std::function<void()> body) { return std::thread(std::move(body)); }

}  // namespace platform
