// The shortcuts window of the viewer.
#include "viewer/helpwin.h"

#include <cstring>

namespace zv {

const std::vector<helpline>& help_lines() {
  static const std::vector<helpline> lines = {
      {"計算 (Computing)", "Escape", "計算の中止 (cancel the run)"},
      {"計算 (Computing)", "<Alt>Left", "前の表示 (back)"},
      {"計算 (Computing)", "<Alt>Right", "次の表示 (forward)"},
      {"マウス (Mouse)", "",
       "左ドラッグ: 角と横幅 (left drag: corner and width)"},
      {"マウス (Mouse)", "", "ホイール: 2 倍の拡大・縮小 (wheel: zoom by 2)"},
      {"マウス (Mouse)", "", "中ドラッグ: 移動 (middle drag: pan)"},
      {"マウス (Mouse)", "", "右ボタン: メニュー (right button: menu)"},
      {"ファイル (Files)", "<Control>s", "画像の保存 (save as PNG)"},
      {"ファイル (Files)", "<Control>o", "開く (open)"},
      {"ファイル (Files)", "<Control>c",
       "コマンドのコピー (copy the mandel command)"},
      {"ファイル (Files)", "<Control>e",
       "キーフレームの書き出し (export keyframes)"},
      {"色付け (Colouring)", "<Control>b", "縞模様 (banded)"},
      {"色付け (Colouring)", "<Control>m", "滑らか (smooth)"},
      {"色付け (Colouring)", "<Control>p", "次のパレット (next palette)"},
      {"色付け (Colouring)", "<Control>bracketleft <Control>bracketright",
       "周期を半分・倍に (halve or double the period)"},
      {"ヘルプ (Help)", "F1", "この一覧 (this list)"},
  };
  return lines;
}

std::unique_ptr<Gtk::ShortcutsWindow> make_help_window(Gtk::Window& parent) {
  auto window = std::make_unique<Gtk::ShortcutsWindow>();
  window->set_transient_for(parent);
  window->set_title("キーとボタン (Keys and buttons)");
  auto* section = Gtk::manage(new Gtk::ShortcutsSection());
  section->property_section_name() = "zoomview";
  section->property_max_height() = 12;
  Gtk::ShortcutsGroup* group = nullptr;
  const char* heading = "";
  const auto mouse = Gio::ThemedIcon::create("input-mouse-symbolic");
  for (const helpline& line : help_lines()) {
    if (!group || std::strcmp(heading, line.group) != 0) {
      heading = line.group;
      group = Gtk::manage(new Gtk::ShortcutsGroup());
      group->property_title() = heading;
      section->add(*group);
    }
    auto* item = Gtk::manage(new Gtk::ShortcutsShortcut());
    item->property_title() = line.text;
    if (*line.accelerator) {
      item->property_accelerator() = line.accelerator;
    } else {
      item->property_shortcut_type() = Gtk::SHORTCUT_GESTURE;
      item->property_icon() = mouse;
    }
    group->add(*item);
  }
  section->show_all();
  window->add(*section);
  return window;
}

}  // namespace zv
