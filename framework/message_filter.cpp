#include "message_filter.h"

#include <algorithm>
#include <vector>

namespace fw {
namespace {

std::vector<MessageFilter*>& ThreadFilters() {
  thread_local std::vector<MessageFilter*> filters;
  return filters;
}

}  // namespace

ScopedMessageFilter::ScopedMessageFilter(MessageFilter& filter) : filter_(filter) {
  ThreadFilters().push_back(&filter);
}

ScopedMessageFilter::~ScopedMessageFilter() {
  auto& filters = ThreadFilters();
  const auto at = std::find(filters.rbegin(), filters.rend(), &filter_);
  if (at != filters.rend()) filters.erase(std::next(at).base());
}

bool PreTranslateThreadMessage(MSG& message) {
  // A filter may start a nested loop that adds and removes filters: walk a
  // copy.
  const std::vector<MessageFilter*> filters = ThreadFilters();
  for (auto at = filters.rbegin(); at != filters.rend(); ++at)
    if ((*at)->PreTranslateMessage(message)) return true;
  return false;
}

}  // namespace fw
