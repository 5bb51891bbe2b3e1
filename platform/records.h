// What the file server reports: one session, one open resource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace glimmerfen {

struct SessionRecord {
    std::string clientName;             // computer name, without leading backslashes
    std::string userName;               // may be empty
    std::int32_t openCount = 0;         // files, devices and pipes the client holds open
    std::uint32_t connectedSeconds = 0; // since the session was established
    std::uint32_t idleSeconds = 0;      // since the client last acted
    std::uint32_t userFlags = 0;        // 1 guest, 2 no password encryption
    std::string clientType;
};

struct OpenFileRecord {
    std::uint32_t fileId = 0;
    std::uint32_t permissions = 0;
    std::uint32_t lockCount = 0;
    std::string pathName;
    std::string userName;
};

// The records of one enumeration, kept for the next: a slot filled before is filled again in place,
// so its texts keep their storage and a poll that meets the same population allocates nothing.
template <typename Record>
class RecordList {
public:
    // A record to fill at the end of the list: a slot used before (holding old values that the caller
    // overwrites) or a new one.
    Record& Add() {
        if (size_ == items_.size()) {
            items_.emplace_back();
        }
        return items_[size_++];
    }
    void push_back(const Record& record) { Add() = record; }
    void reserve(std::size_t n) { items_.reserve(n); }
    // Empties the list; the slots stay for the next enumeration.
    void clear() { size_ = 0; }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    Record& operator[](std::size_t i) { return items_[i]; }
    const Record& operator[](std::size_t i) const { return items_[i]; }
    const Record* begin() const { return items_.data(); }
    const Record* end() const { return items_.data() + size_; }
    Record* begin() { return items_.data(); }
    Record* end() { return items_.data() + size_; }

    std::vector<Record> ToVector() const { return std::vector<Record>(begin(), end()); }
    // The records moved out into a vector; the list is empty afterwards.
    std::vector<Record> TakeVector() {
        std::vector<Record> records(std::make_move_iterator(begin()), std::make_move_iterator(end()));
        clear();
        return records;
    }

private:
    std::vector<Record> items_;
    std::size_t size_ = 0;
};

} // namespace glimmerfen
