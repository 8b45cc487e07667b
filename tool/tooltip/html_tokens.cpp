#include "html_tokens.h"

#include <cctype>

namespace brevant {
namespace {

constexpr int kMaxCount = 100;  // of breaks or tabs one tag asks for

bool IsBlank(char c) { return c == ' ' || c == '\r'; }

HtmlToken Tag(std::string name, int count = 1) {
  HtmlToken token;
  token.kind = HtmlToken::Kind::Tag;
  token.text = std::move(name);
  token.count = count;
  return token;
}

// Reads the inside of a tag (between "<" and its ">").
HtmlToken ReadTag(std::string_view inside) {
  HtmlToken token = Tag("");
  std::size_t i = 0;
  while (i < inside.size() && !IsBlank(inside[i])) ++i;
  std::string_view name = inside.substr(0, i);
  if (!name.empty() && name.front() == '/') {
    token.closing = true;
    name.remove_prefix(1);
  }
  token.text = std::string(name);
  while (i < inside.size()) {
    while (i < inside.size() && IsBlank(inside[i])) ++i;
    const std::size_t start = i;
    while (i < inside.size() && !IsBlank(inside[i]) && inside[i] != '=') ++i;
    const std::string_view param = inside.substr(start, i - start);
    if (i < inside.size() && inside[i] == '=') {
      ++i;
      std::string value;
      if (i < inside.size() && (inside[i] == '"' || inside[i] == '\'')) {
        const char quote = inside[i++];
        const std::size_t end = inside.find(quote, i);
        const std::size_t stop = end == std::string_view::npos ? inside.size() : end;
        value = std::string(inside.substr(i, stop - i));
        i = stop == inside.size() ? stop : stop + 1;
      } else {
        const std::size_t value_start = i;
        while (i < inside.size() && !IsBlank(inside[i])) ++i;
        value = std::string(inside.substr(value_start, i - value_start));
      }
      // "&lt;" became "<<" before parsing; in a value it is one "<" too.
      for (std::size_t at = value.find("<<"); at != std::string::npos; at = value.find("<<", at + 1)) value.erase(at, 1);
      if (!param.empty()) token.params[std::string(param)] = value;
    } else if (!param.empty() && param.size() <= 3 &&
               std::isdigit(static_cast<unsigned char>(param.front()))) {
      int count = 0;
      for (const char c : param) count = std::isdigit(static_cast<unsigned char>(c)) ? count * 10 + (c - '0') : -1;
      if (count > 0) token.count = count < kMaxCount ? count : kMaxCount;
    } else if (!param.empty() && !std::isdigit(static_cast<unsigned char>(param.front()))) {
      token.params.emplace(std::string(param), std::string());  // a bare name, as in <icon mask>
    }
  }
  return token;
}

// The position of the ">" that ends a tag opened at `open`, quotes
// respected; npos when there is none.
std::size_t TagEnd(std::string_view text, std::size_t open) {
  char quote = 0;
  for (std::size_t i = open + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '>') {
      return i;
    } else if ((c == '"' || c == '\'') && text[i - 1] == '=') {
      quote = c;  // a quoted value may hold ">"
    }
  }
  return std::string_view::npos;
}

}  // namespace

std::vector<HtmlToken> TokenizeHtml(std::string_view text) {
  std::vector<HtmlToken> tokens;
  std::string run;
  const auto flush = [&] {
    if (run.empty()) return;
    HtmlToken token;
    token.text = std::move(run);
    tokens.push_back(std::move(token));
    run.clear();
  };
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '<' && i + 1 < text.size() && text[i + 1] == '<') {
      run += '<';
      i += 2;
    } else if (c == '<') {
      const std::size_t end = TagEnd(text, i);
      if (end == std::string_view::npos) {
        run += text.substr(i);
        break;
      }
      flush();
      tokens.push_back(ReadTag(text.substr(i + 1, end - i - 1)));
      i = end + 1;
    } else if (c == '\n' || c == '\t') {
      flush();
      tokens.push_back(Tag(c == '\n' ? "br" : "t"));
      ++i;
    } else {
      run += c;
      ++i;
    }
  }
  flush();
  return tokens;
}

std::string ParamOf(const HtmlToken& tag, const char* name) {
  const auto param = tag.params.find(name);
  return param == tag.params.end() ? std::string() : param->second;
}

}  // namespace brevant
