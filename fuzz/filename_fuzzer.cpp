// Name completion and opening of ReadFile, Read2File and WriteFile on a
// scratch directory that holds a few files with and without the listed
// extensions. The first byte picks the extension lists, the rest gives up
// to three names separated by NUL bytes; each name is placed inside the
// scratch directory (with ".." defused) unless it is "-".
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzzsupport.h"
#include "libutils/com/fileopen.h"

namespace {

namespace fs = std::filesystem;

const char* BmpExts[] = {".bmp", ".BMP", nullptr};
const char* InfoExts[] = {".mni", ".MNI", nullptr};
const char* EmptyExts[] = {nullptr};
const char** ExtLists[] = {BmpExts, InfoExts, EmptyExts, nullptr};
const char* SingleExts[] = {".bmp", ".mnd", "", nullptr};

const std::string& Root() {
  static const std::string root = fuzzsupport::ScratchDir() + "/names";
  return root;
}

const char* const Fixtures[] = {"view.mni", "view.MNI",       "pic.BMP",
                                "bare",     "dir.d/view.mnd", "dir.d\\x",
                                ".hidden"};

// The same small tree for every input, so no input sees another's files.
void MakeFixtures() {
  std::error_code ec;
  fs::create_directories(Root() + "/dir.d", ec);
  fs::create_directories(Root() + "/sub", ec);
  for (const char* name : Fixtures)
    fuzzsupport::WriteBytes(Root() + "/" + name, "x", 1);
}

// Puts the tree back after a write: a fixture gets its content again, any
// other file goes.
void Undo(const char* written) {
  for (const char* name : Fixtures)
    if (Root() + "/" + name == written) {
      fuzzsupport::WriteBytes(written, "x", 1);
      return;
    }
  std::error_code ec;
  fs::remove(written, ec);
  // Another spelling of a fixture's name ("dir.d//view.mnd") reaches it too.
  for (const char* name : Fixtures)
    if (fs::file_size(Root() + "/" + name, ec) != 1 || ec) {
      MakeFixtures();
      return;
    }
}

// Keeps the name from climbing out of the scratch tree on any system: with
// no ".." anywhere, no component under either separator can be "..".
std::string Place(const std::string& name) {
  if (name == "-") return name;
  std::string placed = name;
  for (std::size_t at = placed.find(".."); at != std::string::npos;
       at = placed.find("..", at))
    placed[at + 1] = '_';
  return Root() + "/" + placed;
}

// The resolved name is the whole given one, perhaps with an extension
// after it, and never longer than 259 characters. A name that cannot fit
// with the extensions used here (four characters at most) is refused and
// handed back whole.
void CheckName(const char* resolved, bool tooLong, const std::string& given) {
  if (given == "-") return;
  if (tooLong) {
    if (given.size() <= 255) fuzzsupport::Fail("a name that fits was refused");
    if (given != resolved) fuzzsupport::Fail("refused name not handed back");
    return;
  }
  if (std::strlen(resolved) > 259)
    fuzzsupport::Fail("name longer than 259 characters");
  if (std::strncmp(resolved, given.c_str(), given.size()) != 0)
    fuzzsupport::Fail("resolved name lost the given name");
}

// False only when the name surely is no file. Bytes beyond ASCII mean
// different names to the narrow file API and to std::filesystem on Windows
// (the code page against UTF-8), so such names are not looked at.
bool IsFile(const char* name) {
  for (const char* p = name; *p; ++p)
    if (static_cast<unsigned char>(*p) >= 0x80) return true;
  std::error_code ec;
  return fs::is_regular_file(name, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  static bool made = (MakeFixtures(), true);
  (void)made;
  const unsigned pick = data[0];
  const char** exts = ExtLists[pick % 4];
  const char* single = SingleExts[(pick / 4) % 4];
  std::vector<std::string> names =
      fuzzsupport::SplitArgs(data + 1, size - 1, 3);

  for (std::string given : names) {
    // A NUL-free name can still hold bytes the file system refuses; the
    // helpers must survive them all.
    given = Place(given);
    const char* fn = given.c_str();

    libutils::ReadFile rf;
    rf.SetName(fn, single);
    CheckName(rf.IFN(), rf.NameTooLong(), given);
    if (given != "-") {
      if (std::istream* is = rf.ROpen(std::ios::binary)) {
        if (!IsFile(rf.IFN())) fuzzsupport::Fail("ReadFile opened a non-file");
        is->get();
        rf.Close();
      }
    }

    libutils::Read2File r2;
    if (given != "-") {
      std::istream* is = r2.ROpen(fn, exts, std::ios::binary);
      CheckName(r2.IFN(), r2.NameTooLong(), given);
      if (is && !IsFile(r2.IFN()))
        fuzzsupport::Fail("Read2File opened a non-file");
      if (!is && given != r2.IFN())
        fuzzsupport::Fail("failed Read2File does not name the given file");
      r2.Close();
    }

    libutils::WriteFile wf;
    wf.SetName(fn, single);
    CheckName(wf.OFN(), wf.NameTooLong(), given);
    wf.SetName(fn, exts);
    CheckName(wf.OFN(), wf.NameTooLong(), given);
    if (given == "-") {
      if (!wf.isStd()) fuzzsupport::Fail("\"-\" is not the standard output");
      continue;
    }
    if (std::ostream* os = wf.WOpen(std::ios::binary)) {
      os->put('y');
      wf.Close();
      if (os->fail()) continue;
      if (!IsFile(wf.OFN())) fuzzsupport::Fail("WriteFile wrote a non-file");
      Undo(wf.OFN());
    }
  }
  return 0;
}
