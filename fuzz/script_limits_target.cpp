#include <algorithm>
#include <cstddef>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/fuzz_targets.h"
#include "host/script/script_driver.h"
#include "platform/limits.h"

namespace tarvik::fuzz {
namespace {

using nlohmann::json;

[[noreturn]] void Broken(const std::string& what, const std::string& out) {
  throw InvariantBroken(what + "\n  output: [" + out.substr(0, 2000) + "]");
}

// Depth of a parsed document, walked without recursion.
int DepthOf(const json& document) {
  int deepest = 0;
  std::vector<std::pair<const json*, int>> stack = {{&document, 0}};
  while (!stack.empty()) {
    auto [node, depth] = stack.back();
    stack.pop_back();
    if (!node->is_structured()) continue;
    deepest = std::max(deepest, depth + 1);
    for (const auto& child : *node) stack.emplace_back(&child, depth + 1);
  }
  return deepest;
}

std::string OneLine(const std::string& body) {
  std::string line;
  for (char c : body) line += (c == '\n' || c == '\r') ? ' ' : c;
  return line;
}

}  // namespace

// The first byte chooses how the rest is wrapped: in that many brackets, or
// (high bit) repeated as one text past the line limit. Then: one reply per
// line; nothing nested past the limit is accepted; an overlong line is
// refused without being quoted and the next line is still answered.
void ScriptLimitsTarget(std::string_view input) {
  if (input.empty()) return;
  const auto mode = static_cast<unsigned char>(input[0]);
  const std::string body = OneLine(std::string(input.substr(1)));
  std::string line;
  if (mode & 0x80) {
    std::string text = body.empty() ? std::string("x") : body;
    line = R"({"op":"answers","queue":[")";
    while (line.size() <= kMaxScriptLineBytes) line += text;
    line += R"("]})";
  } else {
    const int depth = mode;  // 0..127, both sides of the nesting limit
    line = R"({"op":"answers","queue":)" + std::string(static_cast<std::size_t>(depth), '[') + body +
           std::string(static_cast<std::size_t>(depth), ']') + "}";
  }
  const std::string next = R"({"op":"collection","as":"after","id":"next"})";
  std::ostringstream out;
  {
    host::ScriptDriver driver(out);
    std::istringstream in(line + "\n" + next + "\n");
    driver.Run(in);
  }
  std::vector<std::string> replies;
  std::istringstream split(out.str());
  for (std::string l; std::getline(split, l);) replies.push_back(l);
  if (replies.size() != 2) Broken("not one reply per line", out.str());
  const json first = json::parse(replies[0], nullptr, false);
  if (!first.is_object() || !first.contains("ok")) Broken("the reply is not a JSON object with ok", out.str());
  if (line.size() > kMaxScriptLineBytes) {
    if (first["ok"] != false) Broken("a line past the limit was accepted", out.str());
    if (replies[0].size() > 1000) Broken("a line past the limit was quoted back", out.str());
  } else if (first["ok"] == true) {
    const json request = json::parse(line, nullptr, false);
    if (request.is_discarded() || DepthOf(request) > kMaxJsonDepth) {
      Broken("a request nested past the limit was accepted", out.str());
    }
  }
  const json second = json::parse(replies[1], nullptr, false);
  if (!second.is_object() || second.value("id", json()) != "next" || second["ok"] != true) {
    Broken("the line after was not answered", out.str());
  }
}

}  // namespace tarvik::fuzz
