#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "frame/FrameBuffer.h"
#include "frame/FrameHistogram.h"
#include "view/ColourPreview.h"
#include "view/DisplayDialogModel.h"
#include "view/DisplayTranslator.h"
#include "view/Geometry.h"
#include "view/ImageFrame.h"
#include "view/ImageViewHost.h"
#include "view/ViewGeometry.h"
#include "view/ViewInteraction.h"
#include "view/ViewOverlays.h"
#include "view/ViewRenderer.h"

namespace zorvane {

// What the view's window (or a test) hears from the view.
class ImageViewObserver {
public:
    virtual ~ImageViewObserver() = default;
    // Paint again; `erase` when the background should be cleared first.
    virtual void OnRepaint(bool erase) {}
    // Both scroll bars must show ImageView::ScrollBars().
    virtual void OnScrollBarsChanged() {}
    // The display dialog's black and white levels changed (automatic levels of a new frame):
    // show those two controls of DialogModel().controls, leaving everything being typed alone.
    virtual void OnDialogLevels() {}
    // The zoom changed under the user's hand: the dialog's zoom slider follows.
    virtual void OnDialogZoom(int level) {}
    // The dialog should move to its remembered place (when it has one) and show all fields.
    virtual void OnDialogPush() {}
    virtual void OnNightVisionChanged(bool on) {}
    // Around work that can take a while (rebuilding the colour preview).
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}
};

// Where the display dialog was and whether it was open; -10000 = no remembered position.
struct DialogPlacement {
    static constexpr int kNone = -10000;
    int left = kNone;
    int top = kNone;
    bool shown = false;
};

// The image view without its window: the frame on show and everything derived from it — the
// display translation, the zoom and pan, the overlays, the selection, the tracked star, the
// mouse rules and the display dialog's model. The window paints Bitmap() and Overlays() and
// feeds mouse events in; everything it needs to show comes back through the observer.
class ImageView {
public:
    explicit ImageView(ImageViewHost& host);
    ImageView(const ImageView&) = delete;
    ImageView& operator=(const ImageView&) = delete;

    void SetObserver(ImageViewObserver* observer) { observer_ = observer; }
    ImageViewHost& Host() { return host_; }

    // --- The frame ---
    // Copies the pixels (the caller keeps its buffer), refreshes the colour preview and the
    // display translation, and measures the tracked star; returns the measurement's result.
    // Does not repaint. When the copy cannot be made the previous frame stays and nothing
    // else happens (false).
    bool SetFrame(const uint16_t* pixels, int originX, int originY, int width, int height, int binX,
                  int binY, bool rotated, bool preview);
    // The same for a frame downloaded into `pixels` (at least width × height) with its histogram
    // counted into `counts` on the way: the view takes both by exchange, without a copy, and
    // leaves its previous pixel array and histogram in their place for the next download.
    bool SetFrame(FrameBuffer& pixels, FrameHistogram& counts, int originX, int originY, int width,
                  int height, int binX, int binY, bool rotated, bool preview);
    // The frame after a disconnect: nothing to show; the earlier allocation is kept.
    void SetEmptyFrame();
    const ImageFrame& Frame() const { return frame_; }

    void SetSensorSize(int width, int height);
    const Rect& SensorRect() const { return geometry_.SensorRect(); }
    void SetPixelSize(float pixelWidth, float pixelHeight);
    float AspectX() const { return geometry_.AspectX(); }
    float AspectY() const { return geometry_.AspectY(); }

    // --- Colour ---
    void SetColourProperties(int colourType, int normalX, int normalY, int previewX, int previewY);
    bool GetBayerOffsets(int& x, int& y) const;
    ColourPreview& Colour() { return colour_; }
    const ColourPreview& Colour() const { return colour_; }
    // Colour-menu commands; nullopt for other ids.
    std::optional<ColourPreview::CommandUi> ColourCommandState(int commandId) const;
    bool OnColourCommand(int commandId);
    // The colour preview's mode: 0 Raw, 1 Colour, 2 Luminance ([Display] PreviewMode).
    int ColourMode() const { return colour_.Mode(); }
    void SetColourMode(int mode);
    int UserBayerCode() const { return colour_.BayerCode(); }
    // Taken only while automatic colour is off (a camera that reports its colours decides).
    void SetUserBayerCode(int code);

    // --- Display translation ---
    // counted: the histogram was already counted while the frame was copied (see
    // DisplayTranslator::Update).
    void UpdateDisplayTranslator(std::optional<bool> counted = std::nullopt);
    const DisplayTranslator& Translator() const { return translator_; }
    int BlackLevel() const { return translator_.BlackLevel(); }
    int WhiteLevel() const { return translator_.WhiteLevel(); }
    void SetLevels(int black, int white) { translator_.SetLevels(black, white); }
    float Gamma() const { return translator_.Gamma(); }
    bool SetGamma(float gamma) { return translator_.SetGamma(gamma); }
    bool Invert() const { return translator_.Negative(); }
    void SetInvert(bool on) { translator_.SetNegative(on); }
    bool AutoLevel() const { return translator_.AutoStretch(); }
    void SetAutoLevel(bool on) { translator_.SetAutoStretch(on); }
    bool NightVision() const { return nightVision_; }
    void SetNightVision(bool on);

    // --- Zoom, pan, window ---
    const ViewGeometry& Geometry() const { return geometry_; }
    void SetZoom(int level);
    int ZoomLevel() const { return geometry_.ZoomLevel(); }
    float ZoomFactor() const { return geometry_.ZoomFactor(); }
    bool Aspect() const { return geometry_.AspectCorrection(); }
    void SetAspect(bool on) { geometry_.SetAspectCorrection(on); }
    bool Reticle() const { return reticle_; }
    void SetReticle(bool on) { reticle_ = on; }
    int PanX() const { return geometry_.PanX(); }
    int PanY() const { return geometry_.PanY(); }
    void SetPan(int x, int y) { geometry_.SetPan(x, y); }
    // Zooms keeping the sensor point where it is on the screen, then scroll bars and repaint.
    void ZoomAbout(Point sensorPoint, int level);

    // The client area was resized.
    void SetClientSize(int width, int height);
    void UpdateScrollBars();
    const ViewGeometry::ScrollBars& ScrollBars() const { return scrollBars_; }
    void OnHorizontalThumb(int position);
    void OnVerticalThumb(int position);

    // Gamma 1, negative off, auto stretch on, night vision off, pan 0, zoom 0, aspect on,
    // reticle off, colour Raw.
    void ResetDisplaySettings();

    // Asks the window to repaint.
    void Invalidate(bool erase = false);

    // --- Painting ---
    // Renders the frame for a client area of the given size; nullptr when there is no
    // picture memory (nothing to draw this time; the next paint tries again).
    const ViewBitmap* Paint(int clientWidth, int clientHeight);
    std::vector<OverlayPrimitive> Overlays() const;

    // --- Selection and markers (sensor pixels) ---
    // The rectangle spanned by two points, normalised; the main window learns it.
    void SetSelection(Point p1, Point p2);
    const Rect& Selection() const { return selection_; }
    // Changes the rectangle without telling the main window (while edges are being dragged).
    void MoveSelection(const Rect& r) { selection_ = r.Normalised(); }
    void SetDefineMode(bool on) { interaction_.SetDefineMode(on); }
    bool DefineMode() const { return interaction_.DefineMode(); }
    Point TrackedStar() const { return trackedStar_; }
    void SetTrackedStar(Point p) { trackedStar_ = p; }
    Point GuideTarget() const { return guideTarget_; }
    void SetGuideTarget(Point p) { guideTarget_ = p; }
    // The points of the guide calibration's track (copied; call again after each change).
    void SetCalibrationTrack(std::vector<Point> track) { calibrationTrack_ = std::move(track); }
    const std::vector<Point>& CalibrationTrack() const { return calibrationTrack_; }

    // --- Mouse ---
    ViewInteraction& Interaction() { return interaction_; }
    const ViewInteraction& Interaction() const { return interaction_; }
    // The wheel zoomed (the dialog's slider follows).
    void OnWheelZoomed();

    // --- Display dialog ---
    DisplayDialogModel& DialogModel() { return dialog_; }
    const DisplayDialogModel& DialogModel() const { return dialog_; }
    // The window made (or dropped) the dialog.
    void SetDisplayDialogExists(bool exists) { dialogExists_ = exists; }
    bool DisplayDialogExists() const { return dialogExists_; }
    // Copies the view's state into the dialog, shows it there and applies it back.
    void PushToDialog();
    // The dialog's fields and zoom slider into the view.
    void ApplyDialog();
    const DialogPlacement& DisplayDialogPlacement() const { return placement_; }
    void SetDisplayDialogPlacement(const DialogPlacement& p) { placement_ = p; }
    int DispDialogLeft() const { return placement_.left; }
    int DispDialogTop() const { return placement_.top; }
    bool DispDialogShow() const { return placement_.shown; }

private:
    // The rest of SetFrame once the pixels are in.
    bool NewFrame(int originX, int originY, int binX, int binY, bool rotated, bool preview,
                  std::optional<bool> counted);
    void NewFrameColour();

    ImageViewHost& host_;
    ImageViewObserver* observer_ = nullptr;
    ImageFrame frame_;
    DisplayTranslator translator_;
    ColourPreview colour_;
    ViewGeometry geometry_;
    ViewGeometry::ScrollBars scrollBars_;
    ViewRenderer renderer_;
    ViewBitmap bitmap_;
    ViewInteraction interaction_;
    DisplayDialogModel dialog_;
    DialogPlacement placement_;
    bool dialogExists_ = false;
    bool nightVision_ = false;
    bool reticle_ = false;
    Rect selection_;
    Point trackedStar_{-1000, -1000};
    Point guideTarget_{-1000, -1000};
    std::vector<Point> calibrationTrack_;
};

}  // namespace zorvane
