#include "ui/NightVision.h"

#include <QApplication>
#include <vector>

namespace zorvane {

namespace {

// Every colour of the palette, in a fixed order of groups and roles.
template <typename F>
void ForEachColour(F&& f) {
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            if (r == QPalette::NoRole) continue;
            f(static_cast<QPalette::ColorGroup>(g), static_cast<QPalette::ColorRole>(r));
        }
}

}  // namespace

NightVision::~NightVision() {
    SetOn(false);
}

void NightVision::SetOn(bool on) {
    if (!qApp) return;
    if (on) {
        const QPalette current = QApplication::palette();
        std::vector<Rgb> colours;
        ForEachColour([&](QPalette::ColorGroup g, QPalette::ColorRole r) {
            const QColor c = current.color(g, r);
            colours.push_back({uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())});
        });
        const auto red = colours_.SwitchOn(colours);
        if (!red) return;
        saved_ = current;
        QPalette dimmed = current;
        size_t i = 0;
        ForEachColour([&](QPalette::ColorGroup g, QPalette::ColorRole r) {
            const Rgb& c = (*red)[i++];
            QColor q(c.r, c.g, c.b, current.color(g, r).alpha());
            dimmed.setColor(g, r, q);
        });
        QApplication::setPalette(dimmed);
    } else {
        if (!colours_.SwitchOff()) return;
        // The saved palette holds the same colours as the list, plus what a list cannot
        // (transparency, brush patterns), so it restores the windows exactly.
        QApplication::setPalette(saved_);
    }
}

}  // namespace zorvane
