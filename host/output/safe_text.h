// Text for a terminal that stored data cannot take over: control characters
// (C0 but line feed and tab, DEL, and the C1 range in UTF-8) are written as
// \u00XX, so a stored escape sequence shows instead of retitling or
// clearing the screen. The same form is a valid JSON escape, so JSON
// documents stay valid when they pass through.
#pragma once

#include <iosfwd>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>

namespace tarvik::host {

std::string SafeText(std::string_view text);

// Filters everything written through it into `dest`.
class SafeTextBuffer : public std::streambuf {
 public:
  explicit SafeTextBuffer(std::streambuf* dest) : dest_(dest) {}
  ~SafeTextBuffer() override;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void Put(unsigned char c);

  std::streambuf* dest_;
  bool held_lead_ = false;  // a 0xC2 whose next byte decides
};

// For the life of the object std::cout and std::cerr write through a
// SafeTextBuffer; RawStderr() reaches standard error unfiltered, for the
// host's own progress line.
class SafeStandardStreams {
 public:
  SafeStandardStreams();
  ~SafeStandardStreams();
  SafeStandardStreams(const SafeStandardStreams&) = delete;
  SafeStandardStreams& operator=(const SafeStandardStreams&) = delete;

 private:
  std::streambuf* out_;
  std::streambuf* err_;
  std::unique_ptr<SafeTextBuffer> safe_out_;
  std::unique_ptr<SafeTextBuffer> safe_err_;
};

std::ostream& RawStderr();

}  // namespace tarvik::host
