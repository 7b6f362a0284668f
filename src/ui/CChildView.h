#pragma once

#include <QAbstractScrollArea>
#include <QList>
#include <memory>
#include <optional>

#include "app/CaptureApp.h"
#include "ui/NightVision.h"
#include "view/ImageView.h"

class QAction;

namespace zorvane {

class CDisplayDialog;

// The main window's client area: shows the image view's picture and overlays, turns mouse and
// wheel input into the view's mouse rules, drives both scroll bars from the view's pan and
// zoom, and owns the Display dialog and the night-vision colours. All state is the core
// ImageView's; this widget only shows and routes.
class CChildView : public QAbstractScrollArea, private ImageViewObserver {
    Q_OBJECT
public:
    explicit CChildView(ImageView& view, QWidget* parent = nullptr);
    ~CChildView() override;

    ImageView& View() { return view_; }

    // The colour-menu commands and "Display options"; false for other ids.
    bool HandleCommand(int id);
    std::optional<CommandUi> CommandState(int id) const;

    // The main window's shortcut actions, added to the Display dialog when it is made.
    void SetDialogShortcuts(const QList<QAction*>& actions) { shortcuts_ = actions; }
    // Makes and shows the Display dialog on first use; later hides or shows it.
    void ShowDisplayDialog();
    bool IsDisplayDialogVisible() const;
    CDisplayDialog* DisplayDialog() const { return dialog_.get(); }
    // At start-up: opens the dialog when it was open at the last exit.
    void ReopenDisplayDialog();

    bool NightVisionOn() const { return nightVision_.IsOn(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ImageViewObserver
    void OnRepaint(bool erase) override;
    void OnScrollBarsChanged() override;
    void OnDialogLevels() override;
    void OnDialogZoom(int level) override;
    void OnDialogPush() override;
    void OnNightVisionChanged(bool on) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    void ApplyScrollBars();
    void UpdateCursor(QPoint p);
    void ZoomWheel(QPoint viewportPos, int delta);

    ImageView& view_;
    std::unique_ptr<CDisplayDialog> dialog_;
    QList<QAction*> shortcuts_;
    NightVision nightVision_;
};

}  // namespace zorvane
