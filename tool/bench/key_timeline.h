// Which keys were plugged in at every moment of a soak run, as its driver
// changed them, so that a reply can be judged against every state the key
// folder passed through while the request was on its way.
//
// The epoch is even while the keys stand still and odd while a tokenctl
// insert or remove runs (either the old or the new state may be seen then).
// State k is written before the epoch reaches 2k-1, so a reader that saw
// epoch e also sees every state up to (e+1)/2.
#pragma once
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <memory>

namespace brevant::bench {

class KeyTimeline {
 public:
  // Room for `changes` changes; a key is one bit of a state.
  explicit KeyTimeline(std::size_t changes) : capacity_(changes + 1), states_(new std::atomic<unsigned>[changes + 1]) {
    for (std::size_t i = 0; i < capacity_; ++i) states_[i].store(0, std::memory_order_relaxed);
  }

  // Brackets one change; false (and nothing recorded) when the room is used up.
  bool BeginChange(unsigned new_keys) {
    const std::uint64_t epoch = epoch_.load(std::memory_order_relaxed);
    const std::size_t next = static_cast<std::size_t>(epoch / 2) + 1;
    if (next >= capacity_) return false;
    states_[next].store(new_keys, std::memory_order_relaxed);
    epoch_.store(epoch + 1, std::memory_order_release);
    return true;
  }
  void EndChange() {
    const std::uint64_t epoch = epoch_.load(std::memory_order_relaxed);
    if (epoch % 2 == 1) epoch_.store(epoch + 1, std::memory_order_release);
  }

  std::uint64_t Epoch() const { return epoch_.load(std::memory_order_acquire); }

  struct Span {
    unsigned keys_seen = 0;  // every key present at some moment
    unsigned keys_left = 0;  // every key pulled out meanwhile
    int fewest = 0, most = 0;  // keys present at once
  };
  // The states between two epochs read before and after a request.
  Span Between(std::uint64_t first, std::uint64_t last) const {
    Span span;
    span.fewest = 64;
    const std::size_t end = static_cast<std::size_t>((last + 1) / 2);
    for (std::size_t k = static_cast<std::size_t>(first / 2); k <= end && k < capacity_; ++k) {
      const unsigned keys = states_[k].load(std::memory_order_relaxed);
      const int count = std::popcount(keys);
      span.keys_left |= span.keys_seen & ~keys;
      span.keys_seen |= keys;
      span.fewest = std::min(span.fewest, count);
      span.most = std::max(span.most, count);
    }
    return span;
  }

 private:
  std::size_t capacity_;
  std::unique_ptr<std::atomic<unsigned>[]> states_;
  std::atomic<std::uint64_t> epoch_{0};
};

}  // namespace brevant::bench
