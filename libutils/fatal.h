// The fatal error report: the operating system's error text for the failing
// call, shown to the user, then the end of the process.
#pragma once

namespace libutils {

// Shows the fatal message to the user. title is "Error"; text is the whole
// message, possibly ending with a line break of the system's own. A GUI
// program installs a dialog with a single OK button at start-up, so that the
// report is seen without a console; the presenter should return once the
// user has closed it. It must not end the process itself.
using fatal_presenter = void (*)(const char* title, const char* text);

// Installs p and returns the presenter it replaces. Null reinstalls the
// default: the system's message box (title, no owner, one OK button) where
// the platform has one, and otherwise, or when the box cannot be shown, the
// title, ": " and the text on the standard error stream, ending with a line
// feed.
fatal_presenter set_fatal_presenter(fatal_presenter p);

// Reports that the operation named by operation failed and ends the process.
// The system's last error code N (errno on POSIX, GetLastError() on Windows)
// is read before anything else, so call this directly after the failing
// call. The message is "<operation> failed with error <N>: <system text>";
// the process then exits with status N, also when N is 0.
[[noreturn]] void fatal(const char* operation);

}  // namespace libutils
