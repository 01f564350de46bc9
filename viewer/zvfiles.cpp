// The main window's files, clipboard, colouring and help: the keys, the
// right button's menu and the dialogs over what the toolkit-free modules
// do (picturefile, rendercommand, keyframes, countcolour, childrun).
#include <algorithm>
#include <memory>

#include "viewer/helpwin.h"
#include "viewer/keyframes.h"
#include "viewer/picturefile.h"
#include "viewer/rendercommand.h"
#include "viewer/scriptexport.h"
#include "viewer/viewconv.h"
#include "viewer/zvwin.h"

namespace zv {

namespace {

// Texts from the system are in the locale's encoding; a widget needs
// UTF-8, and a text that cannot be converted is still better shown raw.
Glib::ustring display(const std::string& text) {
  try {
    return Glib::locale_to_utf8(text);
  } catch (const Glib::ConvertError&) {
    return text;
  }
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name without its last extension: the keyframe file's frames are
// written beside it under that name.
std::string stem_of(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// A file chooser with the window's buttons, opened in folder when known.
std::unique_ptr<Gtk::FileChooserDialog> chooser_for(
    Gtk::Window& parent, const char* title, Gtk::FileChooserAction action,
    const char* accept, const std::string& folder) {
  auto chooser =
      std::make_unique<Gtk::FileChooserDialog>(parent, title, action);
  chooser->add_button("キャンセル (cancel)", Gtk::RESPONSE_CANCEL);
  chooser->add_button(accept, Gtk::RESPONSE_OK);
  chooser->set_default_response(Gtk::RESPONSE_OK);
  chooser->set_do_overwrite_confirmation(true);
  if (!folder.empty()) chooser->set_current_folder(folder);
  return chooser;
}

// The most iterations the window's control offers.
constexpr std::uint64_t MaxWindowLimit = 65535;

}  // namespace

void zvwin::add_file_actions() {
  // Before the window's own handling, so that the keys work whichever
  // control has the focus.
  signal_key_press_event().connect(sigc::mem_fun(*this, &zvwin::on_file_key),
                                   false);
  area.signal_button_press_event().connect(
      sigc::mem_fun(*this, &zvwin::on_area_button), false);
}

ViewSpec zvwin::shown_view() const {
  const computedview& c = area.computed_data();
  if (c.counts.width > 0 && c.counts.height > 0)
    return spec_of(c.view, c.counts.width, c.counts.height, colours);
  const auto w =
      static_cast<std::uint64_t>(std::max(1, area.get_allocated_width()));
  const auto h =
      static_cast<std::uint64_t>(std::max(1, area.get_allocated_height()));
  return spec_of(model, w, h, colours);
}

void zvwin::set_colour_mode(const colourmode& mode) {
  colours = mode;
  area.set_colouring(mode);
}

bool zvwin::save_picture_as(const std::string& path, std::string* error) {
  if (area.running()) {
    *error = "a run is under way: wait for it, or end it with Esc";
    return false;
  }
  const libutils::img2d& picture = area.current_picture();
  if (picture.width == 0 || picture.height == 0) {
    *error = path + ": nothing has been computed yet";
    return false;
  }
  return save_picture(path, picture.pixel(0, 0), picture.width, picture.height,
                      picture.stride(), FormatViewSpec(shown_view()), error);
}

void zvwin::adopt(const preciseview& v) {
  show_view(v);
  set_pending(v);
}

bool zvwin::open_path(const std::string& path, std::string* error) {
  openedfile file;
  if (!open_file(path, &file, error)) return false;
  const colourmode mode = mode_of(file.view.colouring);
  if (file.has_counts) {
    const std::uint64_t w = file.view.sizeX, h = file.view.sizeY;
    computedview c;
    c.view = precise_of(file.view, w, h);
    c.area = to_area(c.view, w, h);
    c.counts.width = w;
    c.counts.height = h;
    c.counts.n.resize(w * h);
    c.counts.nf.resize(w * h);
    // The file's rows come top first; the window's lines bottom first.
    for (std::uint64_t row = 0; row < h; ++row) {
      std::copy_n(file.n.begin() + row * w, w,
                  c.counts.n.begin() + (h - 1 - row) * w);
      std::copy_n(file.nf.begin() + row * w, w,
                  c.counts.nf.begin() + (h - 1 - row) * w);
    }
    run_after_current([this, c = std::move(c), mode] {
      preciseview shown = c.view;
      shown.limit = std::min(shown.limit, MaxWindowLimit);
      adopt(shown);
      colours = mode;
      area.set_colouring(mode);
      area.show(c);
      add_to_session();
      runprogress done;
      done.lines = done.lines_done = c.counts.height;
      on_run_finished(runresult::finished, done);
    });
    return true;
  }
  const auto w =
      static_cast<std::uint64_t>(std::max(1, area.get_allocated_width()));
  const auto h =
      static_cast<std::uint64_t>(std::max(1, area.get_allocated_height()));
  preciseview v = precise_of(file.view, w, h);
  // The value used is the value the control shows.
  v.limit = std::min(v.limit, MaxWindowLimit);
  run_after_current([this, v, mode] {
    colours = mode;
    area.set_colouring(mode);
    adopt(v);
    const MandArea record = area.pending_view();
    if (run_pending() != runresult::finished) return;
    record_view(history, record);
    button_batch.set_sensitive(batch_sensitivity(
        history, check_julia.get_active(), button_batch.get_sensitive()));
    add_to_session();
  });
  return true;
}

std::string zvwin::render_command_line() const {
  return render_command(shown_view(), colours, "zoomview.png");
}

std::vector<ViewSpec> zvwin::animation_session() const {
  const ViewSpec now = shown_view();
  std::vector<ViewSpec> views;
  for (const preciseview& v : session)
    views.push_back(spec_of(v, now.sizeX, now.sizeY, colours));
  return animation_views(views);
}

bool zvwin::export_keyframes(const std::string& path, std::string* error) {
  const double frames = shown_count(spin_divisions);
  std::string text;
  if (!keyframe_text(animation_session(),
                     static_cast<std::uint32_t>(std::max(0.0, frames)), &text,
                     error))
    return false;
  std::string why;
  if (!write_script_file(path, text, &why)) {
    *error = path + ": " + why;
    return false;
  }
  return true;
}

bool zvwin::on_file_key(GdkEventKey* event) {
  const auto mods = event->state & gtk_accelerator_get_default_mod_mask();
  if (mods == 0 && event->keyval == GDK_KEY_F1) {
    show_help();
    return true;
  }
  if (mods != GDK_CONTROL_MASK) return false;
  colourmode mode = colours;
  switch (gdk_keyval_to_lower(event->keyval)) {
    case GDK_KEY_s:
      on_save_key();
      return true;
    case GDK_KEY_o:
      on_open_key();
      return true;
    case GDK_KEY_c:
      // A selection in one of the number fields is copied as usual.
      if (auto* entry = dynamic_cast<Gtk::Entry*>(get_focus())) {
        int start = 0, end = 0;
        if (entry->get_selection_bounds(start, end)) return false;
      }
      on_copy_key();
      return true;
    case GDK_KEY_e:
      on_export_key();
      return true;
    case GDK_KEY_b:
      mode.smooth = false;
      break;
    case GDK_KEY_m:
      mode.smooth = true;
      break;
    case GDK_KEY_p:
      mode.smooth = true;
      mode.palette = next_palette(mode);
      break;
    case GDK_KEY_bracketleft:
    case GDK_KEY_bracketright:
      mode.smooth = true;
      mode.period = scaled_period(
          mode.period, event->keyval == GDK_KEY_bracketleft ? 0.5 : 2);
      break;
    default:
      return false;
  }
  set_colour_mode(mode);
  return true;
}

void zvwin::report_error(const std::string& title, const std::string& text) {
  Gtk::MessageDialog message(*this, title, false, Gtk::MESSAGE_ERROR,
                             Gtk::BUTTONS_OK, true);
  message.set_title(title);
  message.set_secondary_text(display(text));
  message.run();
}

void zvwin::on_save_key() {
  auto chooser =
      chooser_for(*this, "画像の保存 (save the picture)",
                  Gtk::FILE_CHOOSER_ACTION_SAVE, "保存 (save)", last_folder);
  chooser->set_current_name("zoomview.png");
  auto png = Gtk::FileFilter::create();
  png->set_name("PNG");
  png->add_pattern("*.png");
  png->add_pattern("*.PNG");
  chooser->add_filter(png);
  if (chooser->run() != Gtk::RESPONSE_OK) return;
  const std::string name = chooser->get_filename();
  chooser->hide();
  last_folder = folder_of(name);
  std::string error;
  if (!save_picture_as(name, &error))
    report_error("保存できませんでした (could not save)", error);
  else
    label_status.set_text("保存しました (saved): " + display(name));
}

void zvwin::on_open_key() {
  auto chooser =
      chooser_for(*this, "開く (open)", Gtk::FILE_CHOOSER_ACTION_OPEN,
                  "開く (open)", last_folder);
  auto known = Gtk::FileFilter::create();
  known->set_name("表示・画像・カウント (views, pictures, counts)");
  for (const char* p : {"*.png", "*.PNG", "*.exr", "*.EXR", "*.mni", "*.MNI",
                        "*.mnd", "*.MND", "*.view", "*.txt"})
    known->add_pattern(p);
  chooser->add_filter(known);
  auto all = Gtk::FileFilter::create();
  all->set_name("すべて (all files)");
  all->add_pattern("*");
  chooser->add_filter(all);
  if (chooser->run() != Gtk::RESPONSE_OK) return;
  const std::string name = chooser->get_filename();
  chooser->hide();
  last_folder = folder_of(name);
  std::string error;
  if (!open_path(name, &error))
    report_error("開けませんでした (could not open)", error);
}

void zvwin::on_copy_key() {
  const std::string line = render_command_line();
  Gtk::Clipboard::get()->set_text(line);
  label_status.set_text("コピーしました (copied): " + line);
}

void zvwin::on_export_key() {
  // Refused before the file is chosen: the user learns at once why.
  if (animation_session().size() < 2) {
    report_error("書き出せません (nothing to export)",
                 "an animation needs at least two computed views");
    return;
  }
  auto chooser =
      chooser_for(*this, "キーフレームの書き出し (export keyframes)",
                  Gtk::FILE_CHOOSER_ACTION_SAVE, "保存 (save)", last_folder);
  chooser->set_current_name("zoom.keyframes");
  if (chooser->run() != Gtk::RESPONSE_OK) return;
  const std::string name = chooser->get_filename();
  chooser->hide();
  last_folder = folder_of(name);
  std::string error;
  if (!export_keyframes(name, &error)) {
    report_error("保存できませんでした (could not save)", error);
    return;
  }
  render_animation(
      name, keyframe_frame_count(
                animation_session().size(),
                static_cast<std::uint32_t>(shown_count(spin_divisions))));
}

void zvwin::render_animation(const std::string& keyframes,
                             std::uint64_t frames) {
  std::string mandel = mandel_program;
  if (mandel.empty()) mandel = find_program("mandel", own_directory());
  const std::string folder = folder_of(keyframes);
  const std::string stem = stem_of(name_of(keyframes));
  const std::string target = folder + "/" + stem;
  if (mandel.empty()) {
    Gtk::MessageDialog info(*this,
                            "キーフレームを保存しました (keyframes saved)",
                            false, Gtk::MESSAGE_INFO, Gtk::BUTTONS_OK, true);
    info.set_secondary_text(
        display("mandel was not found beside zoomview or on PATH. Render "
                "the frames with:\n" +
                shell_word("mandel") + " animate " + shell_word(keyframes) +
                " -o " + shell_word(target)));
    info.run();
    return;
  }
  {
    Gtk::MessageDialog offer(*this, "今すぐ描きますか? (render it now?)", false,
                             Gtk::MESSAGE_QUESTION, Gtk::BUTTONS_YES_NO, true);
    offer.set_secondary_text(
        display(std::to_string(frames) + " frames to " + target + "-*.png"));
    if (offer.run() != Gtk::RESPONSE_YES) return;
  }

  childrun child;
  std::string error;
  if (!child.start({mandel, "animate", keyframes, "-o", target}, &error)) {
    report_error("描けませんでした (could not render)", error);
    return;
  }
  Gtk::Dialog progress("アニメーションの描画 (rendering the animation)", *this,
                       true);
  progress.add_button("中止 (cancel)", Gtk::RESPONSE_CANCEL);
  Gtk::ProgressBar bar;
  bar.set_show_text(true);
  bar.set_size_request(360, -1);
  progress.get_content_area()->pack_start(bar, Gtk::PACK_SHRINK, 8);
  progress.show_all_children();
  auto tick = Glib::signal_timeout().connect(
      [&] {
        const bool running = child.poll();
        const std::uint64_t done = frames_written(folder, stem);
        bar.set_fraction(frames ? std::min(1.0, static_cast<double>(done) /
                                                    static_cast<double>(frames))
                                : 0);
        bar.set_text(std::to_string(done) + " / " + std::to_string(frames));
        if (!running) progress.response(Gtk::RESPONSE_OK);
        return running;
      },
      100);
  // Esc, the cancel button and closing the dialog all end the rendering.
  const int response = progress.run();
  tick.disconnect();
  if (response != Gtk::RESPONSE_OK) child.cancel();
  progress.hide();
  if (child.was_cancelled()) {
    label_status.set_text("描画を中止しました (rendering cancelled)");
  } else if (!child.succeeded()) {
    report_error("描けませんでした (could not render)", child.failure());
  } else {
    label_status.set_text("描きました (rendered): " + display(target) +
                          "-*.png");
  }
}

void zvwin::show_help() {
  if (!help) help = make_help_window(*this);
  help->show_all();
  help->present();
}

bool zvwin::on_area_button(GdkEventButton* event) {
  if (event->type != GDK_BUTTON_PRESS || event->button != 3) return false;
  build_menu();
  menu->popup_at_pointer(reinterpret_cast<GdkEvent*>(event));
  return true;
}

void zvwin::build_menu() {
  // Built afresh each time, so its marks follow changes made by the keys.
  menu = std::make_unique<Gtk::Menu>();
  menu->attach_to_widget(area);
  auto item = [](Gtk::MenuShell& shell, const char* text, guint key,
                 Gdk::ModifierType mods, std::function<void()> action) {
    auto* it = Gtk::manage(new Gtk::MenuItem(text));
    if (key)
      if (auto* label = dynamic_cast<Gtk::AccelLabel*>(it->get_child()))
        label->set_accel(key, mods);
    it->signal_activate().connect(action);
    shell.append(*it);
  };
  // Dialogs run after the menu has gone, not inside its activation.
  auto later = [](std::function<void()> f) {
    return [f] { Glib::signal_idle().connect_once(f); };
  };
  item(*menu, "画像の保存 (save the picture)…", GDK_KEY_s, Gdk::CONTROL_MASK,
       later([this] { on_save_key(); }));
  item(*menu, "開く (open)…", GDK_KEY_o, Gdk::CONTROL_MASK,
       later([this] { on_open_key(); }));
  item(*menu, "mandel コマンドをコピー (copy the mandel command)", GDK_KEY_c,
       Gdk::CONTROL_MASK, [this] { on_copy_key(); });
  item(*menu, "キーフレームの書き出し (export keyframes)…", GDK_KEY_e,
       Gdk::CONTROL_MASK, later([this] { on_export_key(); }));
  menu->append(*Gtk::manage(new Gtk::SeparatorMenuItem()));

  Gtk::RadioMenuItem::Group shading;
  auto radio = [](Gtk::MenuShell& shell, Gtk::RadioMenuItem::Group& group,
                  const Glib::ustring& text, bool active,
                  std::function<void()> action) {
    auto* it = Gtk::manage(new Gtk::RadioMenuItem(group, text));
    it->set_active(active);
    it->signal_activate().connect([it, action] {
      if (it->get_active()) action();
    });
    shell.append(*it);
  };
  radio(*menu, shading, "縞模様 (banded)", !colours.smooth, [this] {
    colourmode m = colours;
    m.smooth = false;
    set_colour_mode(m);
  });
  radio(*menu, shading, "滑らか (smooth)", colours.smooth, [this] {
    colourmode m = colours;
    m.smooth = true;
    set_colour_mode(m);
  });

  auto* palettes = Gtk::manage(new Gtk::Menu());
  Gtk::RadioMenuItem::Group palette_group;
  for (const namedpalette& p : palette_choices()) {
    const Palette chosen = p.palette;
    radio(*palettes, palette_group, p.name,
          colours.smooth && colours.palette == chosen, [this, chosen] {
            colourmode m = colours;
            m.smooth = true;
            m.palette = chosen;
            set_colour_mode(m);
          });
  }
  auto* palette_item = Gtk::manage(new Gtk::MenuItem("パレット (palette)"));
  palette_item->set_submenu(*palettes);
  menu->append(*palette_item);

  auto* periods = Gtk::manage(new Gtk::Menu());
  Gtk::RadioMenuItem::Group period_group;
  for (double period : period_choices()) {
    radio(*periods, period_group, std::to_string(static_cast<int>(period)),
          colours.smooth && colours.period == period, [this, period] {
            colourmode m = colours;
            m.smooth = true;
            m.period = period;
            set_colour_mode(m);
          });
  }
  auto* period_item = Gtk::manage(new Gtk::MenuItem("周期 (period)"));
  period_item->set_submenu(*periods);
  menu->append(*period_item);
  menu->append(*Gtk::manage(new Gtk::SeparatorMenuItem()));
  item(*menu, "キーとボタン (keys and buttons)", GDK_KEY_F1,
       Gdk::ModifierType(0), [this] { show_help(); });
  menu->show_all();
}

}  // namespace zv
