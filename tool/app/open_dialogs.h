// The dialogs that must close when their key goes, by reader name.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace brevant {

template <typename Handle>
class OpenDialogRegistry {
 public:
  void Register(const std::string& reader, Handle dialog) { entries_.emplace_back(reader, dialog); }
  void Unregister(Handle dialog) {
    std::erase_if(entries_, [dialog](const auto& entry) { return entry.second == dialog; });
  }
  // Hands each dialog of `reader` to `close` and forgets it; the others stay.
  void CloseFor(const std::string& reader, const std::function<void(Handle)>& close) {
    std::erase_if(entries_, [&](const auto& entry) {
      if (entry.first != reader) return false;
      close(entry.second);
      return true;
    });
  }
  std::size_t size() const { return entries_.size(); }

 private:
  std::vector<std::pair<std::string, Handle>> entries_;
};

}  // namespace brevant
