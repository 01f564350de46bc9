// The history export's dialog flow, through a scripted stand-in for the
// dialogs and through the real dialogs answered from the test, and the
// fatal report dialog.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "libutils/fatal.h"
#include "tests/support/testutil.h"
#include "viewer/fatalbox.h"
#include "viewer/guitest.h"
#include "viewer/scriptexport.h"

namespace zv {
namespace {

// Answers the export's questions from a script and records them.
class scriptedui : public exportui {
 public:
  std::deque<std::string> files;  // "" stands for Cancel
  std::deque<bool> overwrite;
  std::vector<std::string> log;

  bool choose_file(std::string* name) override {
    log.push_back("choose");
    if (files.empty() || files.front().empty()) return false;
    *name = files.front();
    files.pop_front();
    return true;
  }
  bool confirm_overwrite(const std::string& name) override {
    log.push_back("overwrite? " + name);
    const bool yes = overwrite.front();
    overwrite.pop_front();
    return yes;
  }
  void report_write_failure(const std::string& name,
                            const std::string& reason) override {
    log.push_back("failed " + name + ": " + reason);
  }
  void finished() override { log.push_back("finished"); }
};

class Export : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    win.set_export_ui(&ui);
  }
  // Three views, each a quarter of the one before, and 30 frames per step.
  void ThreeViews() {
    win.spin_divisions.set_value(30);
    const struct { double re, width; } views[] = {{-2, 4}, {-1, 2}, {-0.5, 1}};
    for (const auto& v : views) {
      win.spin_x.set_value(v.re);
      win.spin_width.set_value(v.width);
      win.button_run.clicked();
    }
    ASSERT_EQ(3u, win.history.size());
    ASSERT_TRUE(win.button_batch.get_sensitive());
  }
  scriptedui ui;
  testutil::ScopedTempDir dir;
};

using Log = std::vector<std::string>;

TEST_F(Export, NothingHappensWithFewerThanTwoViews) {
  win.button_batch.clicked();  // insensitive: no click arrives
  win.button_run.clicked();
  // Invoked anyway, for instance from a nested event during a reset.
  win.button_batch.set_sensitive(true);
  win.button_batch.clicked();
  EXPECT_EQ(Log{}, ui.log);
}

TEST_F(Export, WritesTheDriverOfTheHistory) {
  ThreeViews();
  const std::string name = dir.File("zoom.bat");
  ui.files = {name};
  win.button_batch.clicked();
  EXPECT_EQ((Log{"choose", "finished"}), ui.log);
  const std::string script = testutil::ReadBytes(name);
  EXPECT_EQ(driver_script(win.history, 30), script);
  EXPECT_NE(std::string::npos,
            script.find(" 0 -1 -2 2 100 30 2 %1\r\ncall %1-30.bat\r\n"));
  EXPECT_NE(std::string::npos,
            script.find(" 30 -0.5 -2 1 100 60 2 %1\r\ncall %1-60.bat\r\n"));
}

TEST_F(Export, UnwritableFileIsReportedAndNothingElseChanges) {
  ThreeViews();
  const std::string missing = dir.File("no/such/dir/zoom.bat");
  ui.files = {missing};
  win.button_batch.clicked();
  EXPECT_EQ((Log{"choose", "finished",
                 "failed " + missing + ": No such file or directory"}),
            ui.log);

  // A device exists, so it is an overwrite first; then it is refused.
  ui.log.clear();
  ui.files = {"/dev/full"};
  ui.overwrite = {true};
  win.button_batch.clicked();
  EXPECT_EQ((Log{"choose", "overwrite? /dev/full", "finished",
                 "failed /dev/full: Not a regular file"}),
            ui.log);

  // A FIFO with no reader: refused at once instead of freezing the window.
  ui.log.clear();
  const std::string fifo = dir.File("x.bat");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  ui.files = {fifo};
  ui.overwrite = {true};
  win.button_batch.clicked();
  EXPECT_EQ((Log{"choose", "overwrite? " + fifo, "finished",
                 "failed " + fifo + ": Not a regular file"}),
            ui.log);

  // A name the driver could not safely be run by is refused at once.
  ui.log.clear();
  const std::string unsafe = dir.File("a&calc.bat");
  ui.files = {unsafe};
  win.button_batch.clicked();
  EXPECT_EQ((Log{"choose", "finished",
                 "failed " + unsafe + ": Unsafe name for a batch file."}),
            ui.log);
  EXPECT_FALSE(testutil::FileExists(unsafe));
  EXPECT_EQ(3u, win.history.size());
  EXPECT_TRUE(win.button_batch.get_sensitive());
}

// Answers the real dialogs as a user would: every few milliseconds the
// next step looks for the dialog it expects among the toplevel windows.
class dialogdriver {
 public:
  using step = std::function<bool(Gtk::Window&)>;  // true: step done
  explicit dialogdriver(std::deque<step> script) : steps(std::move(script)) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(10);
    timer = Glib::signal_timeout().connect(
        [this, deadline] {
          const bool late = std::chrono::steady_clock::now() > deadline;
          for (Gtk::Window* w : Gtk::Window::list_toplevels()) {
            if (!w->get_visible()) continue;
            // A dialog nobody expected would block the test for ever.
            if (late) {
              if (auto* dialog = dynamic_cast<Gtk::Dialog*>(w)) {
                ADD_FAILURE() << "unexpected dialog " << w->get_title();
                dialog->response(Gtk::RESPONSE_CANCEL);
              }
              continue;
            }
            if (!steps.empty() && steps.front()(*w)) steps.pop_front();
          }
          return !steps.empty() || !late;
        },
        20);
  }
  ~dialogdriver() { timer.disconnect(); }
  bool done() const { return steps.empty(); }

 private:
  std::deque<step> steps;
  sigc::connection timer;
};

dialogdriver::step ChooseFile(const std::string& folder,
                              const std::string& file) {
  auto named = std::make_shared<bool>(false);
  return [=](Gtk::Window& w) {
    auto* chooser = dynamic_cast<Gtk::FileChooserDialog*>(&w);
    if (!chooser) return false;
    if (!*named) {
      EXPECT_EQ("保存", chooser->get_title());
      EXPECT_EQ(Gtk::FILE_CHOOSER_ACTION_SAVE, chooser->get_action());
      auto filters = chooser->list_filters();
      EXPECT_EQ(1u, filters.size());
      if (!filters.empty()) {
        EXPECT_EQ("batファイル", filters[0]->get_name());
      }
      chooser->set_current_folder(folder);
      chooser->set_current_name(file);
      *named = true;
    }
    // The chooser changes folder in the background; it refuses to answer
    // before the name is complete.
    if (chooser->get_filename() != folder + "/" + file) return false;
    chooser->response(Gtk::RESPONSE_OK);
    return true;
  };
}

dialogdriver::step Answer(const std::string& title, int response,
                          const std::string& text = "") {
  return [=](Gtk::Window& w) {
    auto* dialog = dynamic_cast<Gtk::Dialog*>(&w);
    if (!dialog || w.get_title() != title) return false;
    if (auto* message = dynamic_cast<Gtk::MessageDialog*>(&w)) {
      EXPECT_EQ(text, message->property_text().get_value());
    }
    dialog->response(response);
    return true;
  };
}

TEST_F(Export, RealDialogsAskBeforeOverwriting) {
  win.set_export_ui(nullptr);
  ThreeViews();
  const std::string name = dir.File("old.bat");
  testutil::WriteBytes(name, "keep");
  const std::string question = name + " に上書き保存してもよろしいですか?";
  {
    dialogdriver driver({ChooseFile(dir.path(), "old.bat"),
                         Answer("上書き確認", Gtk::RESPONSE_CANCEL, question),
                         Answer("保存", Gtk::RESPONSE_CANCEL)});
    win.button_batch.clicked();
    EXPECT_TRUE(driver.done());
  }
  EXPECT_EQ("keep", testutil::ReadBytes(name));
  {
    // Refused, asked again with the chooser as it was, then accepted.
    dialogdriver driver({ChooseFile(dir.path(), "old.bat"),
                         Answer("上書き確認", Gtk::RESPONSE_CANCEL, question),
                         ChooseFile(dir.path(), "old.bat"),
                         Answer("上書き確認", Gtk::RESPONSE_OK, question)});
    win.button_batch.clicked();
    EXPECT_TRUE(driver.done());
  }
  EXPECT_EQ(driver_script(win.history, 30), testutil::ReadBytes(name));
}

TEST_F(Export, RealDialogReportsAFileThatCannotBeWritten) {
  win.set_export_ui(nullptr);
  ThreeViews();
  // A device that takes the file but refuses its bytes, as a full disk.
  dialogdriver driver({ChooseFile("/dev", "full"),
                       Answer("上書き確認", Gtk::RESPONSE_OK,
                              "/dev/full に上書き保存してもよろしいですか?"),
                       Answer("保存エラー", Gtk::RESPONSE_OK,
                              "/dev/full に保存できませんでした。")});
  win.button_batch.clicked();
  EXPECT_TRUE(driver.done());
}

TEST(FatalBox, ShowsTheReportWithOneOkButton) {
  bool seen = false;
  auto timer = Glib::signal_timeout().connect(
      [&] {
        for (Gtk::Window* w : Gtk::Window::list_toplevels()) {
          auto* box = dynamic_cast<Gtk::MessageDialog*>(w);
          if (!box || !w->get_visible()) continue;
          seen = true;
          EXPECT_EQ("Error", box->get_title());
          EXPECT_EQ(
              "alloc_mmap_win::allocate() failed with error 12: "
              "Cannot allocate memory\n",
              box->property_text().get_value());
          EXPECT_EQ(nullptr, box->get_transient_for());
          std::vector<Gtk::Widget*> buttons =
              box->get_action_area()->get_children();
          EXPECT_EQ(1u, buttons.size());
          box->response(Gtk::RESPONSE_OK);
          return false;
        }
        return true;
      },
      20);
  show_fatal_box("Error",
                 "alloc_mmap_win::allocate() failed with error 12: "
                 "Cannot allocate memory\n");
  timer.disconnect();
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace zv
