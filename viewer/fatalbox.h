// The utility library's fatal error report as a dialog, so that a user who
// started the viewer without a console still sees why it ended.
#pragma once

namespace zv {

// A message box titled title with the text and one OK button, no owner
// window; returns when the user has closed it. Fits
// libutils::set_fatal_presenter.
void show_fatal_box(const char* title, const char* text);

}  // namespace zv
