#pragma once
// A growable in-memory byte stream with a current position, as the resource loader hands out
// and the configuration reads.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

class TMemoryStream {
public:
    // Writes at the current position, growing the stream as needed, and moves past what was
    // written.
    void Write(const void* data, std::size_t count) {
        if (count == 0) {
            return;
        }
        if (position_ + count > bytes_.size()) {
            bytes_.resize(position_ + count);
        }
        std::memcpy(bytes_.data() + position_, data, count);
        position_ += count;
    }

    // Reads up to count bytes from the current position; returns how many were read.
    std::size_t Read(void* data, std::size_t count) {
        std::size_t n = std::min(count, bytes_.size() - std::min(position_, bytes_.size()));
        if (n > 0) {
            std::memcpy(data, bytes_.data() + position_, n);
        }
        position_ += n;
        return n;
    }

    void Clear() {
        bytes_.clear();
        position_ = 0;
    }

    std::size_t Size() const { return bytes_.size(); }
    std::size_t Position() const { return position_; }
    void SetPosition(std::size_t position) { position_ = std::min(position, bytes_.size()); }

    const unsigned char* Memory() const { return bytes_.data(); }

    // The whole content, whatever the position.
    std::string Text() const { return std::string(bytes_.begin(), bytes_.end()); }

private:
    std::vector<unsigned char> bytes_;
    std::size_t position_ = 0;
};
