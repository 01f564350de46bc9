#include "libutils/fatal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "libutils/platform/sysapi.h"

namespace {

using libutils::sysapi::set_last_error;

// The system words its own error texts (strerror, FormatMessage); the
// report owns everything around them, which is spelled out in each test.
std::string system_text(int code) {
  std::string text = libutils::sysapi::error_text(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  std::string re;
  for (char c : text) {
    if (std::string(".[]{}()*+?^$|\\").find(c) != std::string::npos) re += '\\';
    re += c;
  }
  return re + "\r*\n";  // Windows texts bring their own CR LF
}

// Stands in for the dialog; it also spoils the last error, which must not
// change the reported code.
void recording_presenter(const char* title, const char* text) {
  std::fprintf(stderr, "[%s|%s]", title, text);
  set_last_error(9);
}

TEST(FatalDeathTest, ReportsTheSystemErrorAndExitsWithIt) {
  for (int code : {2, 0}) {
    SCOPED_TRACE(code);
    EXPECT_EXIT(
        {
          set_last_error(code);
          libutils::fatal("open()");
        },
        ::testing::ExitedWithCode(code),
        "^Error: open\\(\\) failed with error " + std::to_string(code) + ": " +
            system_text(code) + "$");
  }
}

TEST(FatalDeathTest, PresenterCanBeReplacedAndRestored) {
  EXPECT_EXIT(
      {
        libutils::set_fatal_presenter(recording_presenter);
        set_last_error(13);
        libutils::fatal("map");
      },
      ::testing::ExitedWithCode(13), "^\\[Error\\|map failed with error 13: ");

  libutils::fatal_presenter old =
      libutils::set_fatal_presenter(recording_presenter);
  EXPECT_EQ(libutils::set_fatal_presenter(nullptr), recording_presenter);
  EXPECT_EXIT(
      {
        set_last_error(13);
        libutils::fatal("map");
      },
      ::testing::ExitedWithCode(13), "^Error: map failed with error 13: ");
  libutils::set_fatal_presenter(old);
}

}  // namespace
