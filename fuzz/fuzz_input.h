// What the fuzz targets share: the input read as a stream of bytes, and the
// invariant check that turns a broken rule into a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fuzzing {

class Input {
public:
    Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool empty() const { return p_ == end_; }
    uint8_t Byte() { return p_ == end_ ? 0 : *p_++; }
    int32_t Int32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return static_cast<int32_t>(v);
    }
    // A small number most of the time, any 32-bit number sometimes: the
    // interesting edges (0..21, 0..15, -1) are reached quickly.
    int32_t SmallOrAny() {
        const uint8_t b = Byte();
        return (b & 0x80) != 0 ? Int32() : static_cast<int32_t>(b) - 8;
    }
    // Up to maxLen bytes, as many as the first byte asks for and the input has.
    std::string_view Text(size_t maxLen) {
        const size_t want = Byte() % (maxLen + 1);
        const size_t n = want < static_cast<size_t>(end_ - p_) ? want : static_cast<size_t>(end_ - p_);
        const std::string_view t(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return t;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace fuzzing
