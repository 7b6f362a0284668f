#include "ui/MainStatusBar.h"

#include <algorithm>

#include "core/CommandIds.h"

namespace zorvane {

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
        auto* label = new QLabel(this);
        label->setObjectName(QString::number(layout[i].id));
        label->setFixedWidth(static_cast<int>(layout[i].width * scale + 0.5));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        addPermanentWidget(label);
        panes_[i] = {layout[i].id, label, QString::fromLatin1(layout[i].initial), true};
        Show(panes_[i]);
    }
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
