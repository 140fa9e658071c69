// Running out of memory ends the run with a message and status 3. The test
// binary's allocator can be told to fail one chosen allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/program_flow.h"
#include "support/jpeg_writer.h"
#include "support/test_files.h"

namespace {
// Counts down to the allocation that fails; 0 means none is armed. Frames
// are read on threads of their own, which allocate too.
std::atomic<long> g_allocations_until_failure{0};

bool ThisAllocationFails() {
  long left = g_allocations_until_failure.load();
  while (left > 0 && !g_allocations_until_failure.compare_exchange_weak(left, left - 1)) {
  }
  return left == 1;
}
}  // namespace

void* operator new(std::size_t size) {
  if (ThisAllocationFails()) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The library's own no-throw allocations (a stable sort's buffer) free
// through the delete below, so they must come from the same heap.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (ThisAllocationFails()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}
// Out of line: inlined where the compiler does not see this operator new, its
// free would look like the wrong partner of a new.
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(OutOfMemory, EndsTheRunWithAMessageAndStatusThree) {
  testsupport::ScopedTempDir dir;
  for (int i = 0; i < 3; ++i) {
    testsupport::WriteFile(dir.Join("images/f" + std::to_string(i) + ".jpg"),
                           testsupport::MakeSurveyJpeg(testsupport::SurveyFrame()));
  }
  const std::string settings = dir.Join("settings.ini");
  testsupport::WriteFile(settings, "a=true\nb=true\nc=true\nd=true\ne=" + dir.Join("images") +
                                       "\nf=" + dir.Join("out") + "\n");
  std::string arg0 = "exifcheck", arg1 = settings;
  char* argv[] = {&arg0[0], &arg1[0], nullptr};
  // Fail allocations at several depths of the run: settings, scan, checks, report.
  for (long nth : {5L, 40L, 200L, 600L}) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    g_allocations_until_failure = nth;
    const int status = RunExifCheck(2, argv);
    const bool failed = g_allocations_until_failure == 0;
    g_allocations_until_failure = 0;
    const std::string err = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    if (!failed) continue;  // the run needed fewer allocations
    EXPECT_EQ(status, kExitOutOfMemory) << nth;
    EXPECT_NE(err.find("out of memory"), std::string::npos) << nth << ": " << err;
  }
}

}  // namespace
