#include "ui/MainStatusBar.h"

#include <algorithm>

#include "core/CommandIds.h"

namespace zorvane {

namespace {

// An indicator pane: its own width while there is room, narrower (down to what its text needs)
// when the window is narrow, so that the prompts in the first pane are not cut to a few
// letters.
class IndicatorPane : public QLabel {
public:
    IndicatorPane(int width, QWidget* parent) : QLabel(parent), width_(width) {
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override {
        return {squeezed_ ? TextWidth() : width_, QLabel::sizeHint().height()};
    }
    QSize minimumSizeHint() const override {
        return {TextWidth(), QLabel::minimumSizeHint().height()};
    }
    void SetSqueezed(bool on) {
        if (on == squeezed_) return;
        squeezed_ = on;
        updateGeometry();
    }

private:
    int TextWidth() const { return std::min(width_, QLabel::minimumSizeHint().width()); }

    int width_;
    bool squeezed_ = false;
};

}  // namespace

MainStatusBar::MainStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("statusBar"));
    idle_ = new QLabel(QString::fromLatin1(kIdleText), this);
    idle_->setObjectName(QStringLiteral("pane0"));
    addWidget(idle_, 1);

    struct Layout {
        int id;
        int width;
        const char* initial;
    };
    // Saved state, pixel read-out, zoom, camera state.
    const Layout layout[4] = {{ids::ID_INDICATOR_SAVED, 150, "\\"},
                              {ids::ID_INDICATOR_READOUT, 90, "0"},
                              {ids::ID_INDICATOR_ZOOM, 60, "1:1"},
                              {ids::ID_INDICATOR_STATE, 120, "0"}};
    // The widths suit a font whose digits are 6 pixels wide; a wider font gets proportionally
    // wider panes, or their texts (mostly numbers) would be cut off.
    const double scale =
        std::max(1.0, fontMetrics().horizontalAdvance(QStringLiteral("0123456789")) / 60.0);
    for (int i = 0; i < 4; ++i) {
        auto* label = new IndicatorPane(static_cast<int>(layout[i].width * scale + 0.5), this);
        label->setObjectName(QString::number(layout[i].id));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        addPermanentWidget(label);
        panes_[i] = {layout[i].id, label, QString::fromLatin1(layout[i].initial), true};
        Show(panes_[i]);
    }
    connect(this, &QStatusBar::messageChanged, this, &MainStatusBar::FitMessage);
}

void MainStatusBar::FitMessage(const QString& message) {
    // Squeezed panes stay so until the prompts end (the menu closes), not at every item.
    const bool squeeze = !message.isEmpty() && (squeezed_ || [&] {
        int room = width();
        for (const PaneState& p : panes_)
            if (p.label->isVisible()) room = std::min(room, p.label->x());
        return fontMetrics().horizontalAdvance(message) + 14 > room;
    }());
    if (squeeze == squeezed_) return;
    squeezed_ = squeeze;
    for (PaneState& p : panes_) static_cast<IndicatorPane*>(p.label)->SetSqueezed(squeeze);
}

MainStatusBar::PaneState* MainStatusBar::Find(int indicatorId) {
    for (PaneState& p : panes_)
        if (p.id == indicatorId) return &p;
    return nullptr;
}

const MainStatusBar::PaneState* MainStatusBar::Find(int indicatorId) const {
    for (const PaneState& p : panes_)
        if (p.id == indicatorId) return &p;
    return nullptr;
}

void MainStatusBar::Show(PaneState& pane) {
    pane.label->setEnabled(pane.enabled);
    pane.label->setText(pane.enabled ? pane.text : QString());
}

bool MainStatusBar::SetPaneText(int indicatorId, const QString& text) {
    PaneState* pane = Find(indicatorId);
    if (!pane || pane->text == text) return false;
    pane->text = text;
    Show(*pane);
    return true;
}

void MainStatusBar::SetPaneEnabled(int indicatorId, bool enabled) {
    PaneState* pane = Find(indicatorId);
    if (!pane || pane->enabled == enabled) return;
    pane->enabled = enabled;
    Show(*pane);
}

QString MainStatusBar::PaneText(int indicatorId) const {
    const PaneState* pane = Find(indicatorId);
    return pane ? pane->text : QString();
}

bool MainStatusBar::PaneEnabled(int indicatorId) const {
    const PaneState* pane = Find(indicatorId);
    return pane && pane->enabled;
}

QLabel* MainStatusBar::Pane(int indicatorId) const {
    const PaneState* pane = Find(indicatorId);
    return pane ? pane->label : nullptr;
}

void MainStatusBar::SetBackground(std::optional<QColor> colour) {
    if (background_ == colour) return;
    background_ = colour;
    if (colour) {
        QPalette p = palette();
        p.setColor(QPalette::Window, *colour);
        setPalette(p);
        setAutoFillBackground(true);
    } else {
        // Back to whatever the application's palette says (night vision recolours it).
        setAttribute(Qt::WA_SetPalette, false);
        setPalette(QPalette());
        setAutoFillBackground(false);
    }
}

QString MainStatusBar::IdleText() const {
    return idle_->text();
}

}  // namespace zorvane
