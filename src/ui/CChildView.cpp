#include "ui/CChildView.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "core/CommandIds.h"
#include "ui/CDisplayDialog.h"
#include "ui/ToolWindow.h"

namespace zorvane {

namespace {

Point ToPoint(QPointF p) {
    return {static_cast<int>(p.x()), static_cast<int>(p.y())};
}

Qt::CursorShape CursorFor(ViewCursor c) {
    switch (c) {
        case ViewCursor::Cross:
            return Qt::CrossCursor;
        case ViewCursor::SizeWE:
            return Qt::SizeHorCursor;
        case ViewCursor::SizeNS:
            return Qt::SizeVerCursor;
        case ViewCursor::SizeNWSE:
            return Qt::SizeFDiagCursor;
        case ViewCursor::SizeNESW:
            return Qt::SizeBDiagCursor;
        case ViewCursor::SizeAll:
            return Qt::SizeAllCursor;
        case ViewCursor::Arrow:
            break;
    }
    return Qt::ArrowCursor;
}

// The scroll bar shows the range min..max with a page of `page`; Qt counts the range up to the
// last position the page can start at.
void SetBar(QScrollBar* bar, const ScrollBarState& s) {
    const int last = s.page > 0 ? s.max - s.page + 1 : s.max;
    bar->setRange(s.min, std::max(s.min, last));
    bar->setPageStep(s.page);
    bar->setValue(s.position);
    bar->setEnabled(s.enabled);
}

void DrawOverlay(QPainter& p, const OverlayPrimitive& o) {
    QPen pen(QColor(o.colour.r, o.colour.g, o.colour.b));
    pen.setWidth(1);
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (o.kind) {
        case OverlayPrimitive::Kind::Line:
            p.drawLine(o.points[0].x, o.points[0].y, o.points[1].x, o.points[1].y);
            break;
        case OverlayPrimitive::Kind::Polyline: {
            QPolygon poly;
            for (const Point& pt : o.points) poly << QPoint(pt.x, pt.y);
            p.drawPolyline(poly);
            break;
        }
        case OverlayPrimitive::Kind::RectOutline: {
            const Rect& r = o.rect;
            const QPoint pts[5] = {{r.left, r.top},
                                   {r.left, r.bottom},
                                   {r.right, r.bottom},
                                   {r.right, r.top},
                                   {r.left, r.top}};
            p.drawPolyline(pts, 5);
            break;
        }
        case OverlayPrimitive::Kind::Ellipse: {
            // The box's right and bottom are outside; Qt's stroked box includes them.
            const Rect& r = o.rect;
            p.drawEllipse(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
            break;
        }
    }
}

}  // namespace

CChildView::CChildView(ImageView& view, QWidget* parent)
    : QAbstractScrollArea(parent), view_(view) {
    setObjectName(QStringLiteral("view"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::ArrowCursor);

    // Only the thumb moves the image; arrows and page clicks are undone, the wheel zooms.
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        const bool horizontal = bar == horizontalScrollBar();
        bar->setFocusPolicy(Qt::NoFocus);
        bar->installEventFilter(this);
        connect(bar, &QScrollBar::sliderMoved, this, [this, horizontal](int pos) {
            if (horizontal)
                view_.OnHorizontalThumb(pos);
            else
                view_.OnVerticalThumb(pos);
        });
        connect(bar, &QScrollBar::sliderReleased, this, [this, bar, horizontal] {
            if (horizontal)
                view_.OnHorizontalThumb(bar->value());
            else
                view_.OnVerticalThumb(bar->value());
        });
        connect(bar, &QScrollBar::actionTriggered, this, [bar](int action) {
            if (action != QAbstractSlider::SliderMove) bar->setSliderPosition(bar->value());
        });
    }

    view_.SetObserver(this);
    view_.SetClientSize(viewport()->width(), viewport()->height());
    view_.UpdateScrollBars();
}

CChildView::~CChildView() {
    dialog_.reset();
    view_.SetObserver(nullptr);
    nightVision_.SetOn(false);
}

// ---------------------------------------------------------------- commands

bool CChildView::HandleCommand(int id) {
    if (id == ids::ID_VIEW_DISPLAY) {
        ShowDisplayDialog();
        return true;
    }
    return view_.OnColourCommand(id);
}

std::optional<CommandUi> CChildView::CommandState(int id) const {
    if (id == ids::ID_VIEW_DISPLAY) return CommandUi{true, IsDisplayDialogVisible(), {}};
    if (const auto s = view_.ColourCommandState(id)) return CommandUi{s->enabled, s->checked, {}};
    return std::nullopt;
}

void CChildView::ShowDisplayDialog() {
    if (dialog_) {
        dialog_->setVisible(!dialog_->isVisible());
        return;
    }
    dialog_ = std::make_unique<CDisplayDialog>(view_, this, shortcuts_);
    MakeToolWindow(dialog_.get());
    view_.PushToDialog();
    dialog_->show();
}

bool CChildView::IsDisplayDialogVisible() const {
    return dialog_ && dialog_->isVisible();
}

void CChildView::ReopenDisplayDialog() {
    if (view_.DispDialogShow() && !IsDisplayDialogVisible()) ShowDisplayDialog();
}

// ---------------------------------------------------------------- painting

void CChildView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const ViewBitmap* bmp = view_.Paint(viewport()->width(), viewport()->height());
    if (bmp) {
        const QImage picture(bmp->Bits(), bmp->Width(), bmp->Height(), bmp->Stride(),
                             QImage::Format_BGR888);
        p.drawImage(0, 0, picture);
    } else {
        p.fillRect(viewport()->rect(), Qt::black);  // no picture memory this time
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const OverlayPrimitive& o : view_.Overlays()) DrawOverlay(p, o);
}

void CChildView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    view_.SetClientSize(viewport()->width(), viewport()->height());
}

void CChildView::scrollContentsBy(int, int) {
    // The pan follows the thumb through the view, not through Qt's scrolling.
}

void CChildView::ApplyScrollBars() {
    SetBar(horizontalScrollBar(), view_.ScrollBars().horizontal);
    SetBar(verticalScrollBar(), view_.ScrollBars().vertical);
}

// ---------------------------------------------------------------- mouse

void CChildView::UpdateCursor(QPoint p) {
    viewport()->setCursor(CursorFor(view_.Interaction().CursorAt({p.x(), p.y()})));
}

void CChildView::mousePressEvent(QMouseEvent* event) {
    const Point p = ToPoint(event->position());
    if (event->button() == Qt::LeftButton) {
        view_.Interaction().LeftDown(p);
    } else if (event->button() == Qt::RightButton) {
        if (view_.Interaction().RightDown(p)) viewport()->setCursor(Qt::CrossCursor);
    }
    event->accept();
}

void CChildView::mouseMoveEvent(QMouseEvent* event) {
    const Point p = ToPoint(event->position());
    view_.Interaction().MouseMove(p);
    if (!view_.Interaction().Dragging()) UpdateCursor(event->position().toPoint());
    event->accept();
}

void CChildView::mouseReleaseEvent(QMouseEvent* event) {
    const Point p = ToPoint(event->position());
    bool ended = false;
    if (event->button() == Qt::LeftButton)
        ended = view_.Interaction().LeftUp(p);
    else if (event->button() == Qt::RightButton)
        ended = view_.Interaction().RightUp(p);
    if (ended) UpdateCursor(event->position().toPoint());
    event->accept();
}

void CChildView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        view_.Interaction().LeftDoubleClick(ToPoint(event->position()));
    event->accept();  // not a second press
}

void CChildView::ZoomWheel(QPoint viewportPos, int delta) {
    view_.Interaction().Wheel({viewportPos.x(), viewportPos.y()}, delta);
}

void CChildView::wheelEvent(QWheelEvent* event) {
    ZoomWheel(event->position().toPoint(), event->angleDelta().y());
    event->accept();
}

bool CChildView::eventFilter(QObject* watched, QEvent* event) {
    // The wheel zooms wherever it is turned over the view, scroll bars included.
    if (event->type() == QEvent::Wheel &&
        (watched == horizontalScrollBar() || watched == verticalScrollBar())) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint global = wheel->globalPosition().toPoint();
        ZoomWheel(viewport()->mapFromGlobal(global), wheel->angleDelta().y());
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

// ---------------------------------------------------------------- from the view

void CChildView::OnRepaint(bool) {
    viewport()->update();
}

void CChildView::OnScrollBarsChanged() {
    ApplyScrollBars();
}

void CChildView::OnDialogLevels() {
    if (dialog_) dialog_->ShowLevels();
}

void CChildView::OnDialogZoom(int level) {
    if (dialog_) dialog_->SetZoomSlider(level);
}

void CChildView::OnDialogPush() {
    if (!dialog_) return;
    dialog_->MoveToRemembered();
    dialog_->raise();
    dialog_->ShowControls();
}

void CChildView::OnNightVisionChanged(bool on) {
    nightVision_.SetOn(on);
    viewport()->update();
}

void CChildView::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CChildView::EndWaitCursor() {
    QApplication::restoreOverrideCursor();
}

}  // namespace zorvane
