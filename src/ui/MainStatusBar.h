#pragma once

#include <QColor>
#include <QLabel>
#include <QStatusBar>
#include <array>
#include <optional>

namespace zorvane {

// The main window's status bar: a stretching message pane ("Ready", menu prompts) and four
// indicator panes, each addressed by its indicator id, at their own widths unless the window
// is too narrow for the prompts. A disabled pane hides its text.
class MainStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr const char* kIdleText = "Ready";

    explicit MainStatusBar(QWidget* parent = nullptr);

    // Writes a pane's text; false when it already showed exactly that (nothing written).
    bool SetPaneText(int indicatorId, const QString& text);
    void SetPaneEnabled(int indicatorId, bool enabled);
    QString PaneText(int indicatorId) const;  // the stored text, shown or not
    bool PaneEnabled(int indicatorId) const;
    QLabel* Pane(int indicatorId) const;

    // Background of the whole bar; nullopt = the normal colour of the palette.
    void SetBackground(std::optional<QColor> colour);
    std::optional<QColor> Background() const { return background_; }

    QString IdleText() const;

private:
    struct PaneState {
        int id;
        QLabel* label;
        QString text;
        bool enabled;
    };
    PaneState* Find(int indicatorId);
    const PaneState* Find(int indicatorId) const;
    void Show(PaneState& pane);
    // A prompt that would be cut makes the indicator panes as narrow as their texts allow.
    void FitMessage(const QString& message);

    QLabel* idle_ = nullptr;
    std::array<PaneState, 4> panes_{};
    std::optional<QColor> background_;
    bool squeezed_ = false;
};

}  // namespace zorvane
