// The boundary between count files and OpenEXR. OpenEXR's libraries take
// about a millisecond to load, as long as a small render takes to compute,
// and most runs never touch a count file; so the OpenEXR half lives in a
// module of its own (mandel-countfile.so) that the programs load on first
// use. This header is all the two halves share: plain C++ interfaces, with
// one C entry point to find them by.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace countcodec {

// The view attribute's name, kept beside the count channels.
constexpr char ViewAttributeName[] = "mandel.view";

// Encodes a count file into a stream the caller owns (and commits or
// discards): the header at Start, then each line in the order chosen there.
class Encoder {
 public:
  virtual ~Encoder() = default;
  // name only labels messages. false, with "name: why", on any failure.
  virtual bool Start(std::ostream& os, const std::string& name,
                     std::uint32_t width, std::uint32_t height,
                     std::uint32_t limit, const std::string& viewText,
                     bool bottomFirst, std::string& error) = 0;
  virtual bool WriteLine(const std::uint32_t* n, const float* nf,
                         std::string& error) = 0;
  // Writes what ends the file (its line offsets); false when the stream
  // failed at any point.
  virtual bool End(std::string& error) = 0;
};

// Reads a count file by name; see CountFileReader for the meaning of each.
class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual bool Open(const std::string& path, std::string& error) = 0;
  virtual std::uint32_t Width() const = 0;
  virtual std::uint32_t Height() const = 0;
  virtual std::uint32_t Limit() const = 0;
  virtual std::uint32_t Bias() const = 0;
  virtual const std::string& ViewText() const = 0;
  virtual bool ReadLine(std::uint64_t line, std::uint32_t* n, float* nf,
                        std::string& error) = 0;
};

// Raised whenever the interfaces above change, so that a program never
// uses a module built from other sources.
constexpr int Version = 1;

struct Codec {
  int version;
  Encoder* (*newEncoder)();
  Decoder* (*newDecoder)();
};

}  // namespace countcodec

// The module's entry point.
extern "C" const countcodec::Codec* MandelCountFileCodec();
