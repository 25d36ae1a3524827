#include "host/output/safe_text.h"

#include <iostream>
#include <sstream>

namespace tarvik::host {
namespace {

void AppendEscape(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u00";
  out += kHex[c >> 4];
  out += kHex[c & 0xF];
}

bool IsC0OrDel(unsigned char c) { return (c < 0x20 && c != '\n' && c != '\t') || c == 0x7F; }

}  // namespace

std::string SafeText(std::string_view text) {
  std::ostringstream out;
  {
    SafeTextBuffer buffer(out.rdbuf());
    buffer.sputn(text.data(), static_cast<std::streamsize>(text.size()));
  }
  return out.str();
}

SafeTextBuffer::~SafeTextBuffer() {
  if (held_lead_) dest_->sputc(static_cast<char>(0xC2));
  dest_->pubsync();
}

void SafeTextBuffer::Put(unsigned char c) {
  std::string escaped;
  if (held_lead_) {
    held_lead_ = false;
    if (c >= 0x80 && c <= 0x9F) {
      AppendEscape(escaped, c);
      dest_->sputn(escaped.data(), static_cast<std::streamsize>(escaped.size()));
      return;
    }
    dest_->sputc(static_cast<char>(0xC2));
  }
  if (c == 0xC2) {
    held_lead_ = true;
  } else if (IsC0OrDel(c)) {
    AppendEscape(escaped, c);
    dest_->sputn(escaped.data(), static_cast<std::streamsize>(escaped.size()));
  } else {
    dest_->sputc(static_cast<char>(c));
  }
}

SafeTextBuffer::int_type SafeTextBuffer::overflow(int_type c) {
  if (!traits_type::eq_int_type(c, traits_type::eof())) Put(static_cast<unsigned char>(c));
  return traits_type::not_eof(c);
}

std::streamsize SafeTextBuffer::xsputn(const char* s, std::streamsize n) {
  // Runs of plain text go through in one piece.
  std::streamsize start = 0;
  for (std::streamsize i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (!held_lead_ && c != 0xC2 && !IsC0OrDel(c)) continue;
    if (i > start) dest_->sputn(s + start, i - start);
    Put(c);
    start = i + 1;
  }
  if (n > start) dest_->sputn(s + start, n - start);
  return n;
}

int SafeTextBuffer::sync() { return dest_->pubsync(); }

namespace {
std::ostream* g_raw_err = nullptr;
}  // namespace

SafeStandardStreams::SafeStandardStreams()
    : out_(std::cout.rdbuf()),
      err_(std::cerr.rdbuf()),
      safe_out_(std::make_unique<SafeTextBuffer>(out_)),
      safe_err_(std::make_unique<SafeTextBuffer>(err_)) {
  static std::ostream raw(nullptr);
  raw.rdbuf(err_);
  g_raw_err = &raw;
  std::cout.rdbuf(safe_out_.get());
  std::cerr.rdbuf(safe_err_.get());
}

SafeStandardStreams::~SafeStandardStreams() {
  std::cout.flush();
  std::cerr.flush();
  std::cout.rdbuf(out_);
  std::cerr.rdbuf(err_);
  g_raw_err = nullptr;
}

std::ostream& RawStderr() { return g_raw_err ? *g_raw_err : std::cerr; }

}  // namespace tarvik::host
