#include "ui/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QIcon>
#include <QMenuBar>
#include <QToolBar>
#include <cstdio>
#include <cstdlib>

#include "app/ExposureDialogController.h"
#include "app/SettingsController.h"
#include "app/StatusBarText.h"
#include "core/CommandIds.h"
#include "sequencer/SequenceFile.h"
#include "ui/AboutDialog.h"
#include "ui/CChildView.h"
#include "ui/CDisplayDialog.h"
#include "ui/CExposureDialog.h"
#include "ui/CFilterWheelDialog.h"
#include "ui/CImageHeaderDialog.h"
#include "ui/CQuickSaveDialog.h"
#include "ui/CSequencerDialog.h"
#include "ui/CTrackingDialog.h"
#include "ui/CameraInfoDialog.h"
#include "ui/CommandPrompts.h"
#include "ui/CoolerDialog.h"
#include "ui/GuidingWindows.h"
#include "ui/MainStatusBar.h"
#include "ui/ToolWindow.h"
#include "ui/UsbErrorDialog.h"
#include "view/ImageView.h"

// Resources in a static library are linked only when something refers to them.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace zorvane {

namespace {

constexpr int kIdleMs = 100;

QIcon ToolIcon(const char* name) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1_16.png").arg(QLatin1String(name)), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/%1_32.png").arg(QLatin1String(name)), QSize(32, 32));
    return icon;
}

QString Qs(const std::string& s) {
    return QString::fromStdString(s);
}

// The modeless dialog a menu command toggles.
std::optional<AppDialog> DialogOfCommand(int id) {
    switch (id) {
        case ids::ID_VIEW_EXPOSURE:
            return AppDialog::Exposure;
        case ids::ID_VIEW_COOLER:
            return AppDialog::Cooler;
        case ids::ID_VIEW_TRACKING:
            return AppDialog::Tracking;
        case ids::ID_CAMERA_SEQUENCER:
            return AppDialog::Sequencer;
        case ids::ID_CAMERA_FILTER_WHEEL:
            return AppDialog::FilterWheel;
        default:
            return std::nullopt;
    }
}

}  // namespace

CMainFrame::CMainFrame(Prompts& prompts, AppOptions options, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts), timers_(this), poster_(this) {
    InitIconResources();
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QString::fromLatin1(CaptureApp::kTitle));
    setWindowIcon(ToolIcon("app"));

    const std::string settingsPath = options.settingsPath;
    if (!options.sleepInhibitor) options.sleepInhibitor = &sleepInhibitor_;
    app_ = std::make_unique<CaptureApp>(timers_, poster_, prompts_, *this, std::move(options));
    exposureDialog_ = std::make_unique<ExposureDialogController>(*app_, prompts_);
    settings_ =
        std::make_unique<SettingsController>(*app_, *exposureDialog_, *this, timers_, settingsPath);
    timers_.SetHandler([this](int id) { app_->OnTimer(id); });
    // Only called while the sequencer dialog exists.
    settings_->SetSequencerSectionsWriter(
        [this](IniDocument& doc) { WriteSequence(doc, app_->Sequence()); });

    // Camera choice and connection; Abort ends the process inside.
    app_->Construct();

    // The menus exist before the settings load: it rewrites the "&Quick" items.
    CreateMenus();
    CreateToolBar();
    statusBar_ = new MainStatusBar(this);
    setStatusBar(statusBar_);

    view_ = new CChildView(app_->View(), this);
    view_->SetDialogShortcuts(ShortcutActions());
    setCentralWidget(view_);

    app_->OnCreate([this] { settings_->LoadAtStart(); });
    ApplyWindowPlacement();
    // The dialogs open once the window is on the screen (see showEvent).
    reopenPending_ = true;

    connect(&idleTimer_, &QTimer::timeout, this, &CMainFrame::UpdateUi);
    idleTimer_.start(kIdleMs);
    UpdateUi();
    view_->setFocus();
}

CMainFrame::~CMainFrame() {
    idleTimer_.stop();
    // Dialogs first, in the program's order, then the core lets go of the camera.
    for (AppDialog d : {AppDialog::Exposure, AppDialog::Cooler, AppDialog::Sequencer,
                        AppDialog::FilterWheel, AppDialog::Tracking}) {
        auto& slot = dialogs_[static_cast<int>(d)];
        if (!slot) continue;
        slot->removeEventFilter(this);
        slot.reset();
        app_->Placement(d).exists = false;
    }
    app_->Cooler().SetDialogExists(false);
    usbError_.reset();
    settings_.reset();
    exposureDialog_.reset();
    // The view refers to the core's image state; its Display dialog goes with it.
    delete takeCentralWidget();
    view_ = nullptr;
    app_->Shutdown();
    app_.reset();
}

// ---------------------------------------------------------------- menus and toolbar

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text, const QKeySequence& key) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::number(id));
    action->setData(id);
    action->setStatusTip(CommandStatusTip(id));
    const QString tip = CommandToolTip(id);
    if (!tip.isEmpty()) action->setToolTip(tip);
    if (!key.isEmpty()) action->setShortcut(key);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    menu->addAction(action);
    actions_[id] = action;
    return action;
}

void CMainFrame::CreateMenus() {
    using namespace ids;
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    AddCommand(file, ID_APP_EXIT, QStringLiteral("E&xit"));
    file->addSeparator();
    AddCommand(file, ID_FILE_SAVE_AS, QStringLiteral("Save Image &As..."));
    AddCommand(file, ID_FILE_AUTOSAVE, QStringLiteral("A&utosave"));
    AddCommand(file, ID_FILE_IMAGE_HEADER, QStringLiteral("Image &header..."));

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    AddCommand(view, ID_VIEW_DISPLAY, QStringLiteral("&Display options"));
    AddCommand(view, ID_VIEW_EXPOSURE, QStringLiteral("&Exposure Settings"));
    AddCommand(view, ID_VIEW_COOLER, QStringLiteral("&Cooler Settings"));
    AddCommand(view, ID_VIEW_TRACKING, QStringLiteral("&Tracking"));
    AddCommand(view, ID_GUIDE_AUTOSELECT, QStringLiteral("Auto-select &star"));
    AddCommand(view, ID_GUIDE_SERVER, QStringLiteral("Guiding event &server"));
    AddCommand(view, ID_GUIDE_LOG_FOLDER, QStringLiteral("Guide &logs folder..."));

    QMenu* camera = bar->addMenu(QStringLiteral("&Camera"));
    AddCommand(camera, ID_CAMERA_SNAPSHOT, QStringLiteral("S&napshot"),
               QKeySequence(Qt::CTRL | Qt::Key_N));
    AddCommand(camera, ID_CAMERA_LOOP, QStringLiteral("&Loop"));
    AddCommand(camera, ID_CAMERA_SUBFRAME, QStringLiteral("S&ubframe"));
    AddCommand(camera, ID_CAMERA_ROTATE, QString::fromUtf8("&Rotate 180\u00ba"));
    AddCommand(camera, ID_CAMERA_LOCK, QStringLiteral("Loc&k exp"),
               QKeySequence(Qt::CTRL | Qt::Key_K));
    AddCommand(camera, ID_CAMERA_SET_EXP, QStringLiteral("Set &Exp"),
               QKeySequence(Qt::CTRL | Qt::Key_E));
    camera->addSeparator();
    AddCommand(camera, ID_CAMERA_SEQUENCER, QStringLiteral("&Sequencer..."));
    camera->addSeparator();
    AddCommand(camera, ID_CAMERA_FILTER_WHEEL, QStringLiteral("&Filter wheel..."));
    camera->addSeparator();
    AddCommand(camera, ID_CAMERA_INFO, QStringLiteral("&Info..."));
    AddCommand(camera, ID_CAMERA_CONNECT, QStringLiteral("&Connect"));

    QMenu* colour = bar->addMenu(QStringLiteral("C&olour"));
    AddCommand(colour, ID_COLOUR_AUTOMATIC, QStringLiteral("&Automatic"));
    QMenu* advanced = colour->addMenu(QStringLiteral("A&dvanced"));
    AddCommand(advanced, ID_COLOUR_RAW, QStringLiteral("R&aw"));
    AddCommand(advanced, ID_COLOUR_COLOUR, QStringLiteral("&Colour"));
    AddCommand(advanced, ID_COLOUR_LUMINANCE, QStringLiteral("&Luminance"));
    QMenu* bayer = advanced->addMenu(QStringLiteral("Bayer offsets"));
    AddCommand(bayer, ID_BAYER_AUTO, QStringLiteral("Auto"));
    AddCommand(bayer, ID_BAYER_00, QStringLiteral("(0,0)"));
    AddCommand(bayer, ID_BAYER_01, QStringLiteral("(0,1)"));
    AddCommand(bayer, ID_BAYER_10, QStringLiteral("(1,0)"));
    AddCommand(bayer, ID_BAYER_11, QStringLiteral("(1,1)"));

    // The preset titles replace these texts when the settings are loaded.
    QMenu* quick = bar->addMenu(QStringLiteral("&Quick"));
    const char* const presetTexts[8] = {"0.1s",     "1s",     "5s",     "10s",
                                        "2x2 0.1s", "2x2 1s", "2x2 5s", "2x2 10s"};
    for (int n = 1; n <= 8; ++n) {
        QAction* a =
            AddCommand(quick, QuickPresetCommand(n),
                       QStringLiteral("%1\tF%2").arg(QLatin1String(presetTexts[n - 1])).arg(n),
                       QKeySequence(static_cast<int>(Qt::Key_F1) + n - 1));
        a->setShortcutContext(Qt::WindowShortcut);
    }
    quick->addSeparator();
    AddCommand(quick, ID_QUICK_SAVE, QStringLiteral("&Save..."));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    AddCommand(help, ID_APP_ABOUT, QStringLiteral("&About..."));

    for (QMenu* menu : {file, view, camera, colour, advanced, bayer, quick, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
}

void CMainFrame::CreateToolBar() {
    using namespace ids;
    toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar_->setObjectName(QString::number(IDR_MAINFRAME));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setMovable(true);
    toolBar_->setFloatable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);

    struct Button {
        int id;  // 0 = separator
        const char* icon;
    };
    const Button buttons[] = {{ID_FILE_SAVE_AS, "saveas"},
                              {ID_FILE_AUTOSAVE, "autosave"},
                              {0, nullptr},
                              {ID_VIEW_DISPLAY, "display"},
                              {ID_VIEW_EXPOSURE, "exposure"},
                              {ID_VIEW_COOLER, "cooler"},
                              {ID_VIEW_TRACKING, "tracking"},
                              {ID_CAMERA_SUBFRAME, "subframe"},
                              {ID_CAMERA_LOCK, "lock"},
                              {0, nullptr},
                              {ID_CAMERA_SNAPSHOT, "snapshot"},
                              {ID_CAMERA_LOOP, "loop"},
                              {ID_CAMERA_SEQUENCER, "sequencer"},
                              {ID_CAMERA_FILTER_WHEEL, "filterwheel"},
                              {0, nullptr},
                              {ID_APP_ABOUT, "about"}};
    for (const Button& b : buttons) {
        if (b.id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = actions_.at(b.id);
        action->setIcon(ToolIcon(b.icon));
        action->setIconVisibleInMenu(false);
        toolBar_->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

QAction* CMainFrame::Action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QMenu* CMainFrame::TopMenu(const QString& text) const {
    for (QAction* a : menuBar()->actions())
        if (a->menu() && a->text() == text) return a->menu();
    return nullptr;
}

QList<QAction*> CMainFrame::ShortcutActions() const {
    QList<QAction*> list;
    for (const auto& [id, action] : actions_)
        if (!action->shortcut().isEmpty()) list << action;
    return list;
}

// ---------------------------------------------------------------- command routing

void CMainFrame::OnCommand(int id) {
    if (!RouteToView(id) && !app_->ExecuteCommand(id)) HandleOwnCommand(id);
    // Show the outcome at once rather than on the next idle pass.
    if (app_) UpdateCommandUi();
}

bool CMainFrame::RouteToView(int id) {
    return view_ && view_->HandleCommand(id);
}

std::optional<CommandUi> CMainFrame::ViewCommandState(int id) {
    if (!view_) return std::nullopt;
    return view_->CommandState(id);
}

void CMainFrame::HandleOwnCommand(int id) {
    using namespace ids;
    if (const std::optional<AppDialog> d = DialogOfCommand(id)) {
        ToggleDialog(*d);
        return;
    }
    switch (id) {
        case ID_CAMERA_SET_EXP:
            FocusExposureEdit();
            break;
        case ID_CAMERA_INFO:
            ShowCameraInfo();
            break;
        case ID_APP_ABOUT:
            ShowAbout();
            break;
        case ID_APP_EXIT:
            close();
            break;
        case ID_FILE_IMAGE_HEADER:
            EditImageHeader();
            break;
        case ID_QUICK_SAVE:
            OnSaveQuickSettings();
            break;
        default:
            for (int n = 1; n <= 8; ++n)
                if (id == QuickPresetCommand(n)) settings_->ApplyQuickPreset(n);
            break;
    }
}

void CMainFrame::OnSaveQuickSettings() {
    CQuickSaveDialog::Run(*settings_, this);
}

void CMainFrame::UpdateCommandUi() {
    for (const auto& [id, action] : actions_) {
        std::optional<CommandUi> ui = ViewCommandState(id);
        if (!ui) ui = app_->GetCommandUi(id);
        // The check mark follows the dialog the window owns.
        if (const std::optional<AppDialog> d = DialogOfCommand(id)) {
            const QDialog* dialog = Dialog(*d);
            ui->checked = dialog && dialog->isVisible();
        }
        if (action->isEnabled() != ui->enabled) action->setEnabled(ui->enabled);
        // Only checked items carry a check box, as in a plain menu.
        if (action->isCheckable() != ui->checked) action->setCheckable(ui->checked);
        if (action->isChecked() != ui->checked) action->setChecked(ui->checked);
        if (ui->text) {
            const QString text = Qs(*ui->text);
            if (action->text() != text) action->setText(text);
        }
    }
}

// ---------------------------------------------------------------- status bar

bool CMainFrame::NightVisionOn() const {
    return app_->View().NightVision();
}

void CMainFrame::ApplyWindowPlacement() {
    // Kept as the window's outer top-left and its client size, so that a save and a load
    // give back the same window whatever the decorations measure.
    const WindowPlacement& w = app_->Window();
    if (w.right > w.left && w.bottom > w.top) {
        // A stored rectangle off the screen, or larger than it, would put the window out of
        // sight or ask for a picture memory of gigabytes.
        const QRect r = KeptOnScreen(QRect(w.left, w.top, w.right - w.left, w.bottom - w.top));
        move(r.topLeft());
        resize(r.size());
    }
}

void CMainFrame::RecordWindowPlacement() {
    WindowPlacement& w = app_->Window();
    w.maximised = isMaximized();
    // The normal position, also while maximised or minimised.
    const bool normal = !isMaximized() && !isMinimized();
    const QRect client = normal ? geometry() : normalGeometry();
    const QPoint outer = normal ? pos() : client.topLeft() - (geometry().topLeft() - pos());
    w.left = outer.x();
    w.top = outer.y();
    w.right = outer.x() + client.width();
    w.bottom = outer.y() + client.height();
}

void CMainFrame::UpdateStatusBar() {
    using namespace ids;
    statusBar_->SetPaneText(ID_INDICATOR_STATE, Qs(app_->CameraStatePaneText()));
    if (app_->CheckUsbError()) ShowUsbError();

    statusBar_->SetPaneText(ID_INDICATOR_SAVED, Qs(app_->SavedPaneText()));
    // The colour also follows night vision switched while the frame is not saved.
    const statusbar::SavedColour c =
        statusbar::SavedBackground(app_->LastSavedName(), NightVisionOn());
    statusBar_->SetBackground(
        c.useDefault ? std::nullopt
                     : std::optional<QColor>(QColor(c.colour.r, c.colour.g, c.colour.b)));

    statusBar_->SetPaneText(ID_INDICATOR_ZOOM, Qs(app_->ZoomPaneText()));

    const bool readout = app_->ReadoutPaneEnabled();
    statusBar_->SetPaneEnabled(ID_INDICATOR_READOUT, readout);
    if (readout) statusBar_->SetPaneText(ID_INDICATOR_READOUT, Qs(app_->ReadoutPaneText()));
}

void CMainFrame::ShowUsbError() {
    if (usbError_) return;
    prompts_.Beep(BeepKind::Exclamation);
    usbError_ = std::make_unique<UsbErrorDialog>(this);
    usbError_->addActions(ShortcutActions());
    connect(usbError_.get(), &QDialog::finished, this, [this] {
        app_->UsbErrorDialogClosed();
        // Not from inside its own signal: let the event loop delete it.
        usbError_.release()->deleteLater();
    });
    usbError_->show();
}

void CMainFrame::UpdateUi() {
    if (!app_) return;
    UpdateCommandUi();
    UpdateStatusBar();
    setWindowTitle(Qs(app_->WindowTitle()));
    EnableSequencerRun(app_->SequencerRunEnabled());
    // The time left counts down with the exposure.
    if (CSequencerDialog* s = Sequencer(); s && s->isVisible()) s->RefreshProgress();
}

// ---------------------------------------------------------------- modeless dialogs

QDialog* CMainFrame::Dialog(AppDialog which) const {
    return dialogs_[static_cast<int>(which)].get();
}

CoolerDialog* CMainFrame::Cooler() const {
    return static_cast<CoolerDialog*>(Dialog(AppDialog::Cooler));
}

CTrackingDialog* CMainFrame::Tracking() const {
    return static_cast<CTrackingDialog*>(Dialog(AppDialog::Tracking));
}

CSequencerDialog* CMainFrame::Sequencer() const {
    return static_cast<CSequencerDialog*>(Dialog(AppDialog::Sequencer));
}

std::unique_ptr<QDialog> CMainFrame::CreateSequencerDialog() {
    app_->PrepareSequencerDialog(settings_->Path());
    auto dialog = std::make_unique<CSequencerDialog>(app_->Sequence(), app_->Sequencer(), this);
    CSequencerDialog* d = dialog.get();
    d->SetGuiderStateSource([this] { return app_->SequenceGuiding().StateText(); });
    connect(d, &CSequencerDialog::runPressed, this, [this] {
        app_->Sequencer().StartStopSequence();
        RefreshSequencerDialog();
    });
    connect(d, &CSequencerDialog::loadPressed, this, [this] {
        LoadSequence(prompts_, app_->Sequence());
        RefreshSequencerDialog();
    });
    connect(d, &CSequencerDialog::savePressed, this, [this] {
        SaveSequence(prompts_, app_->Sequence());
        RefreshSequencerDialog();
    });
    connect(d, &CSequencerDialog::closeRequested, this,
            [this] { OnCommand(ids::ID_CAMERA_SEQUENCER); });
    return dialog;
}

std::unique_ptr<QDialog> CMainFrame::CreateDialog(AppDialog which) {
    switch (which) {
        case AppDialog::Cooler: {
            if (!app_->Cooler().HasControl()) return nullptr;
            auto dialog = std::make_unique<CoolerDialog>(this);
            CoolerDialog* d = dialog.get();
            connect(d, &CoolerDialog::spinStepped, this, [this, d](int delta) {
                app_->Cooler().SpinStep(delta);
                d->ShowEditText(app_->Cooler().Model());
            });
            connect(d, &CoolerDialog::onOffPressed, this, [this] {
                app_->Cooler().PressOnOffButton();
                RefreshCoolerDialog();
            });
            return dialog;
        }
        case AppDialog::Exposure:
            return std::make_unique<CExposureDialog>(*exposureDialog_, this, ShortcutActions());
        case AppDialog::FilterWheel:
            return std::make_unique<CFilterWheelDialog>(*app_, this);
        case AppDialog::Tracking:
            return std::make_unique<CTrackingDialog>(app_->Guider(), this, ShortcutActions());
        case AppDialog::Sequencer:
            return CreateSequencerDialog();
        default:
            return nullptr;
    }
}

void CMainFrame::BringUpToDate(AppDialog which) {
    switch (which) {
        case AppDialog::Exposure:
            RefreshExposureDialog();
            break;
        case AppDialog::Cooler:
            app_->Cooler().Poll();
            RefreshCoolerDialog();
            break;
        case AppDialog::FilterWheel:
            static_cast<CFilterWheelDialog*>(Dialog(which))->RefreshFilterDialog();
            break;
        default:
            break;
    }
}

void CMainFrame::ToggleTrackingDialog() {
    // The guiding engine decides about its dialog and asks for the window (ShowTrackingDialog).
    app_->Guider().ToggleTrackingDialog();
    UpdateCommandUi();
}

void CMainFrame::ToggleSequencerDialog() {
    ToggleDialog(AppDialog::Sequencer);
}

void CMainFrame::ToggleDialog(AppDialog which) {
    if (which == AppDialog::Tracking) return ToggleTrackingDialog();
    auto& slot = dialogs_[static_cast<int>(which)];
    auto& placement = app_->Placement(which);
    if (!slot) {
        slot = CreateDialog(which);
        if (!slot) return;
        placement.exists = true;
        if (which == AppDialog::Cooler) app_->Cooler().SetDialogExists(true);
        slot->addActions(ShortcutActions());
        MakeToolWindow(slot.get());
        if (placement.HasPosition()) PlaceToolWindow(slot.get(), placement.left, placement.top);
        slot->installEventFilter(this);
        BringUpToDate(which);
        slot->show();
    } else if (slot->isVisible()) {
        // A running sequence first shows the note that closing does not stop it.
        if (which != AppDialog::Sequencer || app_->Sequencer().RequestDialogHide()) slot->hide();
    } else {
        if (which == AppDialog::Sequencer) app_->Sequencer().HideNote();
        BringUpToDate(which);
        slot->show();
    }
    if (which == AppDialog::Sequencer) RefreshSequencerDialog();
    UpdateCommandUi();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    for (int i = 0; i < static_cast<int>(dialogs_.size()); ++i) {
        QDialog* d = dialogs_[i].get();
        if (d != watched) continue;
        auto& placement = app_->Placement(static_cast<AppDialog>(i));
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Hide: {
                const bool shown = event->type() == QEvent::Show;
                placement.visible = shown;
                if (static_cast<AppDialog>(i) == AppDialog::Tracking)
                    app_->Guider().SetDialogVisible(shown);
                break;
            }
            case QEvent::Move:
                // The normal position: a minimised or maximised dialog keeps the last one.
                if (!d->isMinimized() && !d->isMaximized()) {
                    const QPoint at = ToolWindowPosition(d);
                    placement.left = at.x();
                    placement.top = at.y();
                }
                break;
            default:
                break;
        }
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::FocusExposureEdit() {
    if (!Dialog(AppDialog::Exposure)) ToggleDialog(AppDialog::Exposure);
    QDialog* dialog = Dialog(AppDialog::Exposure);
    if (!dialog) return;
    static_cast<CExposureDialog*>(dialog)->FocusExposureEdit();
}

// ---------------------------------------------------------------- modal boxes

void CMainFrame::ShowCameraInfo() {
    CameraInfoDialog box(Qs(app_->InfoModelText()), Qs(app_->InfoManufacturerText()),
                         Qs(app_->InfoSerialText()), Qs(app_->InfoProtocolText()), this);
    box.exec();
}

void CMainFrame::EditImageHeader() {
    HeaderTexts& h = app_->Header();
    ImageHeaderSettings values{h.object, h.telescope, h.observer, h.extraTimePrecision,
                               h.focalLength};
    if (!CImageHeaderDialog::Edit(values, this)) return;
    h.object = values.object;
    h.telescope = values.telescope;
    h.observer = values.observer;
    h.extraTimePrecision = values.extraTimePrecision;
    h.focalLength = values.focalLength;
}

void CMainFrame::ShowAbout() {
    AboutDialog box(QString::fromLatin1(CaptureApp::kVersionText), Qs(app_->LibraryVersionText()),
                    Qs(app_->FilterWheelVersionText()), this);
    box.exec();
}

// ---------------------------------------------------------------- AppUi

void CMainFrame::RepaintView(bool) {
    // The view paints every pixel of its client area, so erasing first changes nothing.
    if (view_) view_->viewport()->update();
}

void CMainFrame::RefreshExposureDialog() {
    if (Dialog(AppDialog::Exposure)) exposureDialog_->Refresh();
}

bool CMainFrame::ApplyLockInExposureDialog(bool locked) {
    if (!Dialog(AppDialog::Exposure)) return false;
    exposureDialog_->ApplyLock(locked);
    return true;
}

void CMainFrame::ShowExposureInDialog(float seconds) {
    if (Dialog(AppDialog::Exposure)) exposureDialog_->SetExposureText(seconds);
}

void CMainFrame::RefreshCoolerDialog() {
    if (CoolerDialog* d = Cooler()) d->ShowModel(app_->Cooler().Model());
}

void CMainFrame::EnableSequencerRun(bool enable) {
    if (CSequencerDialog* d = Sequencer()) d->SetRunEnabled(enable);
}

void CMainFrame::RefreshFilterDialog() {
    if (QDialog* d = Dialog(AppDialog::FilterWheel))
        static_cast<CFilterWheelDialog*>(d)->RefreshFilterDialog();
}

void CMainFrame::RefreshSequencerDialog() {
    if (CSequencerDialog* d = Sequencer()) {
        d->Refresh();
        d->SetRunEnabled(app_->SequencerRunEnabled());
    }
    // Snapshot and Loop follow the sequence's running state at once.
    UpdateCommandUi();
}

bool CMainFrame::SetQuickMenuItemText(int position, const std::string& text) {
    const QList<QAction*> top = menuBar()->actions();
    for (int i = 0; i < top.size() && i < 20; ++i) {
        QMenu* menu = top[i]->menu();
        if (!menu || top[i]->text() != QStringLiteral("&Quick")) continue;
        const QList<QAction*> items = menu->actions();
        if (position < 0 || position >= items.size()) return false;
        items[position]->setText(Qs(text));
        return true;
    }
    return false;
}

void CMainFrame::ShowTrackingDialog(bool show) {
    auto& slot = dialogs_[static_cast<int>(AppDialog::Tracking)];
    if (!show) {
        if (slot) slot->hide();
        UpdateCommandUi();
        return;
    }
    if (!slot) {
        slot = CreateDialog(AppDialog::Tracking);
        MakeToolWindow(slot.get());
        const ModelessDialogState& placement = app_->Placement(AppDialog::Tracking);
        if (placement.HasPosition()) PlaceToolWindow(slot.get(), placement.left, placement.top);
        slot->installEventFilter(this);
    }
    slot->show();
    UpdateCommandUi();
}

void CMainFrame::RefreshTrackingDialog() {
    if (CTrackingDialog* d = Tracking()) d->ShowModel();
}

void CMainFrame::RefreshDeviationCharts(bool now) {
    if (CTrackingDialog* d = Tracking()) d->RefreshCharts(now);
}

void CMainFrame::RunCameraSetUp(const std::function<void()>& calls) {
    // The core is in the middle of a command meanwhile: nothing from outside may enter it.
    waitingOnCamera_ = true;
    RunWithWaitNote(this, QStringLiteral("Connecting to the camera..."), calls);
    waitingOnCamera_ = false;
}

bool CMainFrame::ModalOpen() const {
    return waitingOnCamera_ || QApplication::activeModalWidget() != nullptr;
}

void CMainFrame::OpenFolder(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(Qs(path)));
}

void CMainFrame::CloseMainWindow() {
    // Not from inside the request that asked: the core is still in it.
    QTimer::singleShot(0, this, &QWidget::close);
}

void CMainFrame::MaximiseWindow() {
    showMaximized();
}

void CMainFrame::ExitProcessNow(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

void CMainFrame::ReopenDialogs() {
    for (AppDialog d : app_->DialogsToReopen()) {
        if (!dialogs_[static_cast<int>(d)]) ToggleDialog(d);
    }
    view_->ReopenDisplayDialog();
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!reopenPending_) return;
    reopenPending_ = false;
    // After the window manager has this window: tool windows mapped before their owner are
    // not kept above it, and the maximised window would cover them.
    QTimer::singleShot(0, this, [this] {
        if (app_) ReopenDialogs();
    });
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    RecordWindowPlacement();
    settings_->SaveAtExitOrAsk(prompts_);
    event->accept();
    // Their visibility is saved; open tool windows must not keep the program running.
    for (auto& d : dialogs_)
        if (d) d->hide();
    if (usbError_) usbError_->hide();
    if (QWidget* display = view_ ? view_->DisplayDialog() : nullptr) display->hide();
}

}  // namespace zorvane
