#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zorvane {

// The main window's copy of the last downloaded frame. It grows when a frame needs more room
// (free, then allocate exactly what is needed) and never shrinks.
class FrameBuffer {
public:
    // Makes room for count pixels; false (and an empty buffer) when the allocation fails.
    bool Reserve(size_t count);
    void Free();
    uint16_t* Data() { return data_.get(); }
    const uint16_t* Data() const { return data_.get(); }
    size_t Capacity() const { return capacity_; }
    bool Empty() const { return data_ == nullptr; }

private:
    std::unique_ptr<uint16_t[]> data_;
    size_t capacity_ = 0;  // pixels
};

}  // namespace zorvane
