// Connection texts in messages never show a password: neither the one in
// the user part of a URI nor a password= parameter, raw or as libpq
// decodes it.
#include <cctype>

#include "data/backend.h"
#include "platform/ascii.h"

namespace tarvik::data {
namespace {

struct Span {
  std::size_t begin, end;
};

// Where the passwords stand in a URI.
std::vector<Span> PasswordSpans(const std::string& uri) {
  std::vector<Span> spans;
  const std::size_t scheme = uri.find("://");
  if (scheme == std::string::npos) return spans;
  const std::size_t authority = scheme + 3;
  const std::size_t authority_end = std::min(uri.find('/', authority), uri.find('?', authority));
  const std::size_t at = uri.rfind('@', authority_end == std::string::npos ? uri.size() : authority_end);
  if (at != std::string::npos && at >= authority) {
    const std::size_t colon = uri.find(':', authority);
    if (colon != std::string::npos && colon < at) spans.push_back({colon + 1, at});
  }
  const std::size_t query = uri.find('?', authority);
  if (query == std::string::npos) return spans;
  for (std::size_t pair = query + 1; pair < uri.size();) {
    std::size_t next = uri.find('&', pair);
    if (next == std::string::npos) next = uri.size();
    const std::size_t equals = uri.find('=', pair);
    if (equals != std::string::npos && equals < next && EqualsNoCase(uri.substr(pair, equals - pair), "password")) {
      spans.push_back({equals + 1, next});
    }
    pair = next + 1;
  }
  return spans;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

void ReplaceAll(std::string& text, const std::string& secret) {
  if (secret.empty()) return;
  for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3)) {
    text.replace(at, secret.size(), "***");
  }
}

}  // namespace

std::string RedactedUri(const std::string& uri) {
  std::string out = uri;
  const std::vector<Span> spans = PasswordSpans(uri);
  for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
    const bool user_part = it->begin < uri.find('?');
    // The user part loses the ':' too; a parameter keeps its name, so the
    // reader sees that one was given.
    if (user_part) {
      out.erase(it->begin - 1, it->end - it->begin + 1);
    } else {
      out.replace(it->begin, it->end - it->begin, "***");
    }
  }
  return out;
}

std::string WithoutPasswords(std::string text, const std::string& uri) {
  for (const Span& span : PasswordSpans(uri)) {
    const std::string raw = uri.substr(span.begin, span.end - span.begin);
    ReplaceAll(text, raw);
    ReplaceAll(text, PercentDecoded(raw));
  }
  // Whole URIs in the text (a message that quotes the argument) go redacted.
  std::size_t at = text.find("://");
  while (at != std::string::npos) {
    std::size_t begin = at;
    while (begin > 0 && std::isalpha(static_cast<unsigned char>(text[begin - 1]))) --begin;
    std::size_t end = at + 3;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) && text[end] != '\'' &&
           text[end] != '"') {
      ++end;
    }
    const std::string redacted = RedactedUri(text.substr(begin, end - begin));
    text.replace(begin, end - begin, redacted);
    at = text.find("://", begin + redacted.size());
  }
  return text;
}

}  // namespace tarvik::data
