// The shortcuts window of the viewer.
#include "viewer/helpwin.h"

#include <cstring>

namespace zv {

const std::vector<helpline>& help_lines() {
  static const std::vector<helpline> lines = {
      {"計算 (Computing)", "Escape",
       "計算の中止 (cancel the run; finished lines stay)"},
      {"計算 (Computing)", "<Alt>Left", "前の表示に戻る (back to the previous view)"},
      {"計算 (Computing)", "<Alt>Right", "次の表示に進む (forward to the next view)"},
      {"マウス (Mouse)", "",
       "左ボタンでドラッグ: 左下の角と横幅の選択 (left button drag: select "
       "the lower-left corner and the width)"},
      {"マウス (Mouse)", "",
       "ホイール: ポインタを中心に 2 倍の拡大・縮小 (wheel: zoom in or out by 2 "
       "about the pointer)"},
      {"マウス (Mouse)", "",
       "中ボタンでドラッグ: 表示の移動 (middle button drag: move the view)"},
      {"マウス (Mouse)", "",
       "右ボタン: メニュー (right button: the menu)"},
      {"ファイル (Files)", "<Control>s",
       "画像を PNG で保存 (save the picture as PNG with its view)"},
      {"ファイル (Files)", "<Control>o",
       "開く: 表示ファイル・PNG・カウントファイル・.mni/.mnd (open a view file, "
       "PNG, count file or .mni/.mnd pair)"},
      {"ファイル (Files)", "<Control>c",
       "mandel render のコマンドをコピー (copy the view as a mandel render "
       "command)"},
      {"ファイル (Files)", "<Control>e",
       "アニメーション用キーフレームの書き出し (export the views as keyframes "
       "for mandel animate)"},
      {"色付け (Colouring)", "<Control>b",
       "縞模様の色付け (banded colouring)"},
      {"色付け (Colouring)", "<Control>m",
       "滑らかな色付け (smooth colouring)"},
      {"色付け (Colouring)", "<Control>p",
       "次のパレット (next palette)"},
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
