// Where a writer's bytes go (internal to imageio): the standard output for
// "-", otherwise a file beside the named target that replaces it only once
// it is complete, so a failed or interrupted write never leaves a
// half-written picture under the name.
#pragma once

#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "libutils/com/blockbuf.h"

namespace libutils {
class atomic_file;
}

namespace imageio {

class OutTarget {
 public:
  OutTarget();
  ~OutTarget();  // Discard unless committed
  OutTarget(const OutTarget&) = delete;
  OutTarget& operator=(const OutTarget&) = delete;

  // Prepares target. false, with "<target>: <why>" in error, when the file
  // beside it cannot be created.
  bool Prepare(const std::string& target, std::string& error);
  // The file to write, for libraries that open files themselves; empty for
  // the standard output.
  const std::string& Path() const;
  bool IsStd() const { return isStd; }

  // Opens the prepared file (or the standard output, made binary) as a
  // buffered stream.
  std::ostream* OpenStream(std::string& error);

  // Closes the stream, if one was opened, and puts the file in place. false,
  // with "<target>: <why>", when a write failed or the file cannot be put in
  // place; the target then keeps its old bytes.
  bool Commit(std::string& error);
  void Discard();

  const std::string& Target() const { return target; }

 private:
  std::string target;
  bool isStd = false;
  bool committed = false;
  std::unique_ptr<libutils::atomic_file> atomic;
  std::ofstream ofs;
  // What writers write to when the target is a file: whole blocks go on to
  // ofs.
  libutils::block_buffer blocks;
  std::ostream out{&blocks};
  std::ostream* stream = nullptr;
};

}  // namespace imageio
