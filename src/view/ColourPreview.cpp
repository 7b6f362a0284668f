#include "view/ColourPreview.h"

namespace zorvane {

void ColourPreview::SetColourProperties(int32_t colourType, int32_t normalX, int32_t normalY,
                                        int32_t previewX, int32_t previewY) {
    colourType_ = colourType;
    normalX_ = normalX;
    normalY_ = normalY;
    previewX_ = previewX;
    previewY_ = previewY;
    automatic_ = colourType != 0;
    if (automatic_) bayerCode_ = 4;
}

void ColourPreview::OnNewFrame(const ImageFrame&, const Rect&, int) {}
const uint16_t* ColourPreview::Buffer() const {
    return buffer_.get();
}
int ColourPreview::Mode() const {
    return mode_;
}
bool ColourPreview::Automatic() const {
    return automatic_;
}
int ColourPreview::BayerCode() const {
    return bayerCode_;
}
int ColourPreview::ColourType() const {
    return colourType_;
}
int ColourPreview::BayerOffsetX() const {
    return offsetX_;
}
int ColourPreview::BayerOffsetY() const {
    return offsetY_;
}
bool ColourPreview::FourRowPattern() const {
    return fourRow_;
}
bool ColourPreview::GetBayerOffsets(int&, int&) const {
    return false;
}
std::optional<ColourPreview::CommandUi> ColourPreview::CommandState(int) const {
    return std::nullopt;
}
std::optional<bool> ColourPreview::OnCommand(int, const ImageFrame&, const Rect&, int) {
    return std::nullopt;
}
void ColourPreview::SetMode(int mode) {
    mode_ = mode;
}
void ColourPreview::SetBayerCode(int code) {
    bayerCode_ = code;
}
void ColourPreview::ComputePhase(const ImageFrame&, const Rect&, int) {}
void ColourPreview::Rebuild(const ImageFrame&) {}

}  // namespace zorvane
