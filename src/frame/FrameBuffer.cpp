#include "frame/FrameBuffer.h"

#include <new>

namespace zorvane {

bool FrameBuffer::Reserve(size_t count) {
    if (data_ && capacity_ >= count) return true;
    data_.reset();
    capacity_ = 0;
    data_.reset(new (std::nothrow) uint16_t[count == 0 ? 1 : count]);
    if (!data_) return false;
    capacity_ = count;
    return true;
}

void FrameBuffer::Free() {
    data_.reset();
    capacity_ = 0;
}

}  // namespace zorvane
