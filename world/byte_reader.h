// A bounds-checked little-endian cursor over bytes held in memory. Every read either succeeds
// completely or fails without touching memory past the end, so file readers can never overrun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The file readers copy little-endian fields directly and need a little-endian host"
#endif

class ByteReader {
public:
    ByteReader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    size_t offset() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool seek(size_t offset) {
        if (offset > size_) return false;
        pos_ = offset;
        return true;
    }

    bool bytes(void* out, size_t n) {
        if (n > remaining()) return false;
        if (n) std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    bool u8(uint8_t& v) { return bytes(&v, 1); }
    bool u16(uint16_t& v) { return bytes(&v, 2); }
    bool u32(uint32_t& v) { return bytes(&v, 4); }
    bool i32(int32_t& v) { return bytes(&v, 4); }
    bool f32(float& v) { return bytes(&v, 4); }
    bool floats(float* v, size_t n) { return bytes(v, 4 * n); }

private:
    const unsigned char* data_;
    size_t size_;
    size_t pos_ = 0;
};
