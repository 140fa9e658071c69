// The system's text for a Windows error code, shared by the Windows sources
// of this folder.
#ifndef EXIFCHECK_PLATFORM_SYSTEM_MESSAGE_WIN32_H_
#define EXIFCHECK_PLATFORM_SYSTEM_MESSAGE_WIN32_H_

#include <string>

namespace platform {

/// FormatMessage's text for `code` (a GetLastError value) without its
/// closing period and line end, or "system error N". It keeps no state
/// between calls, so reader threads may call it.
std::string SystemMessage(unsigned long code);

}  // namespace platform

#endif  // EXIFCHECK_PLATFORM_SYSTEM_MESSAGE_WIN32_H_
