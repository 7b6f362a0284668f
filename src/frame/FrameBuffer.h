#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace zorvane {

// Room for a frame's pixels. It grows when a frame needs more room (free, then allocate exactly
// what is needed) and never shrinks. The exposure cycle downloads into one and hands the pixels
// to the image view by exchanging arrays, so a frame is never copied twice.
class FrameBuffer {
public:
    // Makes room for count pixels; false (and an empty buffer) when the allocation fails.
    bool Reserve(size_t count);
    void Free();
    uint16_t* Data() { return data_.get(); }
    const uint16_t* Data() const { return data_.get(); }
    size_t Capacity() const { return capacity_; }
    bool Empty() const { return data_ == nullptr; }

    // Takes another owner's array of `capacity` pixels and gives it this one's.
    void Exchange(std::unique_ptr<uint16_t[]>& data, size_t& capacity) noexcept {
        std::swap(data_, data);
        std::swap(capacity_, capacity);
    }

private:
    std::unique_ptr<uint16_t[]> data_;
    size_t capacity_ = 0;  // pixels
};

}  // namespace zorvane
