#include "libutils/fatal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

namespace {

// Replaces the dialog; it also spoils errno, which must not change the
// reported code.
void recording_presenter(const char* title, const char* text) {
  std::fprintf(stderr, "[%s|%s]", title, text);
  errno = EBADF;
}

TEST(FatalDeathTest, ReportsTheSystemErrorAndExitsWithIt) {
  struct Row {
    int code;
    const char* expect;
  } rows[] = {
      {ENOENT, "^Error: open\\(\\) failed with error 2: "
               "No such file or directory\n$"},
      {0, "^Error: open\\(\\) failed with error 0: Success\n$"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.code);
    EXPECT_EXIT(
        {
          errno = r.code;
          libutils::fatal("open()");
        },
        ::testing::ExitedWithCode(r.code), r.expect);
  }
}

TEST(FatalDeathTest, PresenterCanBeReplacedAndRestored) {
  EXPECT_EXIT(
      {
        libutils::set_fatal_presenter(recording_presenter);
        errno = EACCES;
        libutils::fatal("map");
      },
      ::testing::ExitedWithCode(EACCES),
      "^\\[Error\\|map failed with error 13: Permission denied\\]$");

  libutils::fatal_presenter old =
      libutils::set_fatal_presenter(recording_presenter);
  EXPECT_EQ(libutils::set_fatal_presenter(nullptr), recording_presenter);
  EXPECT_EXIT(
      {
        errno = EACCES;
        libutils::fatal("map");
      },
      ::testing::ExitedWithCode(EACCES), "^Error: map failed");
  libutils::set_fatal_presenter(old);
}

}  // namespace
