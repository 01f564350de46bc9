// The F1 window: every key and mouse button of the viewer, each in Japanese
// like the window's labels, with the English in brackets as the manual
// page glosses them.
#pragma once

#include <gtkmm.h>

#include <memory>
#include <vector>

namespace zv {

// One line of the help: a key in the toolkit's accelerator syntax
// ("<Control>s"), or a mouse button when accelerator is empty.
struct helpline {
  const char* group;        // the group's heading
  const char* accelerator;  // empty for a mouse button
  const char* text;         // "日本語 (English)"
};

// Every line, in the order shown.
const std::vector<helpline>& help_lines();

// A new help window over parent, hidden; the caller shows it.
std::unique_ptr<Gtk::ShortcutsWindow> make_help_window(Gtk::Window& parent);

}  // namespace zv
