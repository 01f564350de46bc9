#include "libutils/fatal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "libutils/platform/sysapi.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

using libutils::sysapi::set_last_error;

// text as a death-test pattern matching exactly itself.
std::string literal(const std::string& text) {
  std::string re;
  for (char c : text) {
    if (std::string(".[]{}()*+?^$|\\").find(c) != std::string::npos) re += '\\';
    re += c;
  }
  return re;
}

// The system words its own error texts (strerror, FormatMessage); the
// report owns everything around them, which is spelled out in each test.
std::string system_text(int code) {
  std::string text = libutils::sysapi::error_text(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return literal(text) + "\r*\n";  // Windows texts bring their own CR LF
}

// Stands in for the dialog; it also spoils the last error, which must not
// change the reported code.
void recording_presenter(const char* title, const char* text) {
  std::fprintf(stderr, "[%s|%s]", title, text);
  set_last_error(9);
}

// Whether the default report can show a message box here, and so will wait
// for somebody to close it.
bool have_desktop() {
#ifdef _WIN32
  HWND probe = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr,
                               nullptr, nullptr, nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
#else
  return false;
#endif
}

// Without a desktop (Linux, or wine with no display) the report reaches the
// standard error stream.
TEST(FatalDeathTest, ReportsTheSystemErrorAndExitsWithIt) {
  if (have_desktop()) GTEST_SKIP() << "the report goes to a message box here";
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

  // Null puts the default back, whatever was installed before.
  const libutils::fatal_presenter original =
      libutils::set_fatal_presenter(recording_presenter);
  EXPECT_EQ(libutils::set_fatal_presenter(nullptr), recording_presenter);
  const libutils::fatal_presenter restored =
      libutils::set_fatal_presenter(original);
  EXPECT_NE(restored, recording_presenter);
  EXPECT_NE(restored, nullptr);
  if (have_desktop()) return;  // the default would wait for a click
  EXPECT_EXIT(
      {
        libutils::set_fatal_presenter(recording_presenter);
        libutils::set_fatal_presenter(nullptr);
        set_last_error(13);
        libutils::fatal("map");
      },
      ::testing::ExitedWithCode(13), "^Error: map failed with error 13: ");
}

#ifdef _WIN32
// What the user would see: the box's title, its text (a message box keeps it
// in the static control 0xFFFF), its buttons and its owner, written to the
// standard error stream by a hook on the box's creation. The hook then
// presses OK, so the report can go on to end the process.
HHOOK box_hook;

std::string visible(const std::string& s) {
  std::string out;
  for (char c : s) out += c == '\r' ? std::string("<CR>")
                        : c == '\n' ? std::string("<LF>")
                                    : std::string(1, c);
  return out;
}

LRESULT CALLBACK describe_box(int code, WPARAM wparam, LPARAM lparam) {
  HWND box = reinterpret_cast<HWND>(wparam);
  char window_class[16] = "";
  if (code == HCBT_ACTIVATE &&
      GetClassNameA(box, window_class, sizeof window_class) &&
      std::string(window_class) == "#32770") {  // the dialog class
    char title[256] = "", text[1024] = "";
    GetWindowTextA(box, title, sizeof title);
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    int buttons = 0;
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO,
                   IDTRYAGAIN, IDCONTINUE, IDHELP})
      if (GetDlgItem(box, id)) ++buttons;
    std::fprintf(stderr, "box[%s|%s|buttons=%d ok=%d owner=%d]", title,
                 visible(text).c_str(), buttons, GetDlgItem(box, IDOK) != 0,
                 GetWindow(box, GW_OWNER) != nullptr);
    std::fflush(stderr);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(box_hook, code, wparam, lparam);
}

TEST(FatalDeathTest, ShowsTheReportInAMessageBoxWhereThereIsADesktop) {
  if (!have_desktop()) GTEST_SKIP() << "no desktop to show a message box on";
  const std::string text = libutils::sysapi::error_text(2);
  // Nothing may follow the box: the fallback is for when there is none.
  std::string expected = "^box\\[Error\\|open\\(\\) failed with error 2: " +
                         literal(visible(text)) +
                         "\\|buttons=1 ok=1 owner=0\\]$";
  EXPECT_EXIT(
      {
        box_hook = SetWindowsHookExA(WH_CBT, describe_box, nullptr,
                                     GetCurrentThreadId());
        set_last_error(2);
        libutils::fatal("open()");
      },
      ::testing::ExitedWithCode(2), expected);
}
#endif

}  // namespace
