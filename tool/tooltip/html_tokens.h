// The tooltip markup read into runs of text and tags. Portable.
//   <name param=value param='a b' param="c">   opening tag
//   </name>                                    closing tag
//   <br 2>, <t 3>                              a count after the name
//   "<<"                                       a literal "<"
// A newline is a `br` tag, a tab a `t` tag. A "<" with no ">" after it is
// text.
#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

struct HtmlToken {
  enum class Kind { Text, Tag };
  Kind kind = Kind::Text;
  std::string text;  // the run, or the tag's name without "/"
  bool closing = false;
  std::map<std::string, std::string> params;
  int count = 1;  // of breaks or tabs
};

std::vector<HtmlToken> TokenizeHtml(std::string_view text);

// A tag's parameter, empty when it has none of that name.
std::string ParamOf(const HtmlToken& tag, const char* name);

}  // namespace brevant
