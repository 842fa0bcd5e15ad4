// The handle numbers ssllib32 hands to its callers.
//
// Callers hold plain ints (socket handles, SSL handles); the library maps
// them to its connection records here. Numbers are drawn from a range of
// their own per kind and handed out in turn, wrapping round at the end of the
// range, so that a handle closed a moment ago does not at once name a new
// connection, and a socket handle passed where an SSL handle belongs is
// simply unknown. Pure bookkeeping: no I/O and no locking (the caller locks).
#pragma once

#include <cstddef>
#include <map>
#include <memory>

namespace pink::ssllib32 {

template <typename Record>
class HandleTable {
 public:
  // Handles first..last (both positive, first <= last); at most `capacity`
  // held at once.
  HandleTable(int first, int last, std::size_t capacity) : first_(first), last_(last), next_(first), capacity_(capacity) {}

  // A new handle for the record, or 0 when the table is full or the record
  // is null.
  int add(std::shared_ptr<Record> record) {
    if (!record || items_.size() >= capacity_) return 0;
    const long long span = static_cast<long long>(last_) - first_ + 1;
    if (static_cast<long long>(items_.size()) >= span) return 0;
    for (;;) {
      const int h = next_;
      next_ = next_ == last_ ? first_ : next_ + 1;
      if (items_.find(h) == items_.end()) {
        items_.emplace(h, std::move(record));
        return h;
      }
    }
  }

  // The record of a handle, or null for a handle that is not held.
  std::shared_ptr<Record> find(int handle) const {
    const auto it = items_.find(handle);
    return it == items_.end() ? nullptr : it->second;
  }

  // Lets go of a handle; returns its record (null when it was not held).
  std::shared_ptr<Record> remove(int handle) {
    const auto it = items_.find(handle);
    if (it == items_.end()) return nullptr;
    std::shared_ptr<Record> r = std::move(it->second);
    items_.erase(it);
    return r;
  }

  std::size_t size() const { return items_.size(); }

 private:
  std::map<int, std::shared_ptr<Record>> items_;
  int first_;
  int last_;
  int next_;
  std::size_t capacity_;
};

}  // namespace pink::ssllib32
