#include "view/ImageView.h"

#include <algorithm>
#include <limits>

#include "core/CommandIds.h"

namespace zorvane {

namespace {
// Shows the window's wait cursor for the lifetime of the object.
class BusyCursor {
public:
    explicit BusyCursor(ImageViewObserver* o) : o_(o) {
        if (o_) o_->BeginWaitCursor();
    }
    ~BusyCursor() {
        if (o_) o_->EndWaitCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    ImageViewObserver* o_;
};
}  // namespace

ImageView::ImageView(ImageViewHost& host) : host_(host), interaction_(*this) {}

bool ImageView::SetFrame(const uint16_t* pixels, int originX, int originY, int width, int height,
                         int binX, int binY, bool rotated, bool preview) {
    // A frame that cannot be copied is dropped whole: the geometry must keep describing the
    // pixels we still hold.
    std::optional<bool> counted;
    if (pixels && width > 0 && height > 0) {
        if (!frame_.Grow(width, height)) return false;
        // One pass over the frame: each row is copied and counted for the histogram at once.
        counted = translator_.CopyAndCount(frame_.Pixels.get(), pixels, width, height);
        frame_.Width = width;
        frame_.Height = height;
    } else if (!frame_.Assign(pixels, width, height)) {
        return false;
    }
    return NewFrame(originX, originY, binX, binY, rotated, preview, counted);
}

bool ImageView::SetFrame(FrameBuffer& pixels, FrameHistogram& counts, int originX, int originY,
                         int width, int height, int binX, int binY, bool rotated, bool preview) {
    if (width <= 0 || height <= 0)
        return SetFrame(nullptr, originX, originY, width, height, binX, binY, rotated, preview);
    // Pixels that do not fill the frame are no frame: the previous one stays whole.
    if (pixels.Empty() || pixels.Capacity() < size_t(width) * size_t(height)) return false;
    size_t capacity = frame_.Capacity / sizeof(uint16_t);
    pixels.Exchange(frame_.Pixels, capacity);
    frame_.Capacity = static_cast<uint32_t>(
        std::min<size_t>(capacity * sizeof(uint16_t), std::numeric_limits<uint32_t>::max()));
    frame_.Width = width;
    frame_.Height = height;
    const bool counted = counts.Counted();
    translator_.TakeHistogram(counts);
    return NewFrame(originX, originY, binX, binY, rotated, preview, counted);
}

bool ImageView::NewFrame(int originX, int originY, int binX, int binY, bool rotated, bool preview,
                         std::optional<bool> counted) {
    frame_.Rotated = rotated;
    frame_.Preview = preview;
    frame_.OriginX = originX;
    frame_.OriginY = originY;
    frame_.BinX = binX;
    frame_.BinY = binY;
    NewFrameColour();
    UpdateDisplayTranslator(counted);
    interaction_.RefreshReadout();
    return host_.MeasureStar();
}

void ImageView::SetEmptyFrame() {
    frame_.Assign(nullptr, 0, 0);
    frame_.Rotated = false;
    frame_.Preview = false;
    frame_.OriginX = -1;
    frame_.OriginY = -1;
    frame_.BinX = 1;
    frame_.BinY = 1;
    NewFrameColour();
    UpdateDisplayTranslator();
    interaction_.RefreshReadout();
    host_.MeasureStar();
}

void ImageView::NewFrameColour() {
    if (colour_.Mode() != ColourPreview::Raw || colour_.Automatic()) {
        BusyCursor busy(observer_);
        colour_.OnNewFrame(frame_, SensorRect(), host_.CameraProtocol());
    } else {
        colour_.OnNewFrame(frame_, SensorRect(), host_.CameraProtocol());
    }
}

void ImageView::SetSensorSize(int width, int height) {
    geometry_.SetSensorRect(Rect{0, 0, width, height});
    // Another sensor (or none): the bars take its range and the pan is kept within it.
    UpdateScrollBars();
}

void ImageView::SetPixelSize(float pixelWidth, float pixelHeight) {
    geometry_.SetPixelSize(pixelWidth, pixelHeight);
}

void ImageView::SetColourProperties(int colourType, int normalX, int normalY, int previewX,
                                    int previewY) {
    colour_.SetColourProperties(colourType, normalX, normalY, previewX, previewY);
}

bool ImageView::GetBayerOffsets(int& x, int& y) const {
    return colour_.GetBayerOffsets(x, y);
}

std::optional<ColourPreview::CommandUi> ImageView::ColourCommandState(int commandId) const {
    return colour_.CommandState(commandId);
}

bool ImageView::OnColourCommand(int commandId) {
    std::optional<bool> update;
    if (commandId == ids::ID_COLOUR_RAW || commandId == ids::ID_COLOUR_AUTOMATIC) {
        update = colour_.OnCommand(commandId, frame_, SensorRect(), host_.CameraProtocol());
    } else {
        BusyCursor busy(observer_);
        update = colour_.OnCommand(commandId, frame_, SensorRect(), host_.CameraProtocol());
    }
    if (!update) return false;
    if (*update) {
        UpdateDisplayTranslator();
        Invalidate(false);
    }
    return true;
}

void ImageView::SetColourMode(int mode) {
    if (mode < ColourPreview::Raw || mode > ColourPreview::Luminance) return;
    colour_.SetMode(mode);
    // The buffer is only kept up to date while it is shown; build it before the next paint.
    if (mode != ColourPreview::Raw && !frame_.IsEmpty()) {
        BusyCursor busy(observer_);
        colour_.ComputePhase(frame_, SensorRect(), host_.CameraProtocol());
        colour_.Rebuild(frame_);
    }
}

void ImageView::SetUserBayerCode(int code) {
    if (colour_.Automatic() || code < 0 || code > 4) return;
    colour_.SetBayerCode(code);
}

void ImageView::UpdateDisplayTranslator(std::optional<bool> counted) {
    const DisplayTranslator::Levels lv = translator_.Update(frame_, counted);
    host_.AutoExposureAdjust(lv.low, lv.high);
    // Only automatic levels change with the frame; the rest of the dialog may be mid-edit.
    if (dialogExists_ && translator_.AutoStretch()) {
        dialog_.fields.black = translator_.BlackLevel();
        dialog_.fields.white = translator_.WhiteLevel();
        dialog_.ShowLevels();
        if (observer_) observer_->OnDialogLevels();
    }
}

void ImageView::SetNightVision(bool on) {
    if (on == nightVision_) return;
    nightVision_ = on;
    if (observer_) observer_->OnNightVisionChanged(on);
}

void ImageView::SetZoom(int level) {
    geometry_.SetZoom(level);
}

void ImageView::ZoomAbout(Point sensorPoint, int level) {
    geometry_.ZoomAbout(sensorPoint, level);
    UpdateScrollBars();
    Invalidate(false);
}

void ImageView::SetClientSize(int width, int height) {
    if (width == geometry_.ClientWidth() && height == geometry_.ClientHeight()) return;
    geometry_.SetClientSize(width, height);
    UpdateScrollBars();
}

void ImageView::UpdateScrollBars() {
    scrollBars_ = geometry_.UpdateScrollBars();
    if (observer_) observer_->OnScrollBarsChanged();
}

void ImageView::OnHorizontalThumb(int position) {
    geometry_.OnHorizontalThumb(position);
    UpdateScrollBars();
    Invalidate(true);
}

void ImageView::OnVerticalThumb(int position) {
    geometry_.OnVerticalThumb(position);
    UpdateScrollBars();
    Invalidate(true);
}

void ImageView::ResetDisplaySettings() {
    translator_.SetGamma(1.0f);
    translator_.SetNegative(false);
    translator_.SetAutoStretch(true);
    SetNightVision(false);
    geometry_.SetPan(0, 0);
    geometry_.SetZoom(0);
    geometry_.SetAspectCorrection(true);
    reticle_ = false;
    colour_.SetMode(ColourPreview::Raw);
}

void ImageView::Invalidate(bool erase) {
    if (observer_) observer_->OnRepaint(erase);
}

const ViewBitmap* ImageView::Paint(int clientWidth, int clientHeight) {
    SetClientSize(clientWidth, clientHeight);
    if (!bitmap_.Valid() || bitmap_.Width() != clientWidth || bitmap_.Height() != clientHeight) {
        if (!bitmap_.Allocate(clientWidth, clientHeight)) return nullptr;
        UpdateScrollBars();
    }
    RenderSource src;
    src.frame = &frame_;
    src.lut = translator_.Lut();
    if (colour_.Mode() != ColourPreview::Raw) {
        src.colourBuffer = colour_.Buffer();
        src.luminance = colour_.Mode() == ColourPreview::Luminance;
    }
    src.nightVision = nightVision_;
    renderer_.Render(src, geometry_, bitmap_);
    return &bitmap_;
}

std::vector<OverlayPrimitive> ImageView::Overlays() const {
    OverlayState s;
    s.selection = selection_;
    s.reticle = reticle_;
    s.trackedStar = trackedStar_;
    if (trackedStar_.x >= 0) s.measureRadius = host_.MeasureRadius();
    s.guideTarget = guideTarget_;
    s.calibrationTrack = &calibrationTrack_;
    return BuildOverlays(s, geometry_);
}

void ImageView::SetSelection(Point p1, Point p2) {
    selection_ = Rect::Spanning(p1, p2);
    host_.SetSubframe(selection_);
    Invalidate(false);
}

void ImageView::OnWheelZoomed() {
    if (!dialogExists_) return;
    dialog_.controls.zoomTrack = ZoomLevel();
    if (observer_) observer_->OnDialogZoom(ZoomLevel());
}

void ImageView::PushToDialog() {
    if (!dialogExists_) return;
    DisplayFields& f = dialog_.fields;
    f.black = BlackLevel();
    f.white = WhiteLevel();
    f.logValue = DisplayTranslator::LogValueFromGamma(Gamma());
    f.aspect = Aspect();
    f.negative = Invert();
    f.nightVision = nightVision_;
    f.reticle = reticle_;
    f.autoStretch = AutoLevel();
    dialog_.controls.zoomTrack = ZoomLevel();
    dialog_.Show();
    if (observer_) observer_->OnDialogPush();
    ApplyDialog();
}

void ImageView::ApplyDialog() {
    const DisplayFields& f = dialog_.fields;
    translator_.SetLevels(f.black, f.white);
    translator_.SetGamma(DisplayTranslator::GammaFromLogValue(f.logValue));
    geometry_.SetAspectCorrection(f.aspect);
    translator_.SetNegative(f.negative);
    translator_.SetAutoStretch(f.autoStretch);
    reticle_ = f.reticle;
    SetNightVision(f.nightVision);

    const Point fixed = selection_.IsEmpty() ? Point{geometry_.CentreX(), geometry_.CentreY()}
                                             : Point{selection_.left + selection_.Width() / 2,
                                                     selection_.top + selection_.Height() / 2};
    geometry_.ZoomAbout(fixed, dialog_.controls.zoomTrack);

    UpdateScrollBars();
    UpdateDisplayTranslator();
    Invalidate(false);
}

}  // namespace zorvane
