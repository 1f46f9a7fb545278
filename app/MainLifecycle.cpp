// The main window's life: start-up from the stored settings, leaving (with
// the window geometry saved), reset, the Pause menu and the About box.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <algorithm>

#include "ProgramInfo.h"
#include "app/AboutBox.h"
#include "app/Main.h"
#include "app/ModalSeam.h"
#include "app/QtLanguage.h"
#include "app/TransferRunner.h"
#include "settings/SettingsStore.h"
#include "texts/ExtraTexts.h"
#include "texts/QtText.h"
#include "texts/TextCatalogue.h"

using Texts::Text;

TMain::TMain(TPieceEngine& engine, TSettingsStore& store, QWidget* parent)
    : QMainWindow(parent), engine_(engine), store_(store) {
    setObjectName(QStringLiteral("Main"));
    BuildLayout();
    engine_.SetView(this);
    FormCreate();
    // Only with its texts in place does the window know what its controls
    // need: that is the designed size, and a stored size is never smaller.
    // (Growing after it is shown would move it by its frame on X11.)
    resize(testAttribute(Qt::WA_Resized) ? size().expandedTo(minimumSizeHint()) : sizeHint());
    KeepOnScreen();
}

namespace {
// The part of the screen that holds `point` that windows may use (the
// primary screen's when no screen holds it); empty without any screen.
QRect AvailableArea(const QPoint& point) {
    QScreen* screen = QGuiApplication::screenAt(point);
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

// The start of a stretch of `length` moved as little as needed to lie in the
// `room` from `low` on (at `low` when it is longer than the room).
int Within(int start, int length, int low, int room) {
    return std::clamp(start, low, low + std::max(0, room - length));
}
}  // namespace

void TMain::KeepOnScreen() {
    const QRect area = AvailableArea(pos());
    if (!area.isValid()) return;
    // Qt never makes the window smaller than its layout's minimum, the
    // designed size, which fits any usual screen. The frame counts where it
    // is known already (on X11 not before the first showing).
    QSize frame = frameGeometry().size() - size();
    if (frame.height() <= 0 && !isVisible() && QGuiApplication::platformName() == QLatin1String("xcb")) {
        // The window manager adds a title bar and borders that are not known
        // yet: without them a window as high as the screen ends below it,
        // status bar and all. A title bar of the style's height is assumed.
        const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) + 2;
        frame = QSize(2 * border, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 2 * border);
    }
    resize(size().boundedTo(area.size() - frame));
    const QSize outer = size() + frame;
    move(Within(x(), outer.width(), area.left(), area.width()), Within(y(), outer.height(), area.top(), area.height()));
    mainTop = y();
    mainLeft = x();
    mainHeight = height();
    mainWidth = width();
}

TMain::~TMain() {
    // A transfer still running is stopped and its thread ended first.
    closing_ = true;
    runner_.reset();
    engine_.SetView(nullptr);
    RestoreCursor();
}

void TMain::FormCreate() {
    // Every value is read through the table, which gives the default for a
    // value outside its range or a text of the wrong kind (an empty or
    // unusable marker, a folder that does not exist), so a settings file
    // edited by hand never stops the window.

    // Language, with Qt's own texts (file dialogs, message box buttons) in it.
    // A first start speaks the desktop's language where it is one of the three.
    const bool languageStored =
        store_.ReadIntSetting(Settings::Language.section, Settings::Language.name, -1) != -1;
    LanguageIndex = languageStored ? static_cast<Language>(store_.Read(Settings::Language))
                                   : DesktopLanguage(QLocale::system());
    menus_.CheckLanguage(LanguageIndex);
    ApplyQtLanguage(LanguageIndex);

    // Memory limit (not negative; the engine caps its buffer itself).
    MaxRAM = store_.Read(Settings::MaxRAM);

    // Geometry: the position always, the size only when both parts are
    // positive, and never larger than the screen the window opens on. The
    // constructor then keeps the whole window on that screen (KeepOnScreen).
    // Beyond any desktop, yet far from where Qt's own rectangle arithmetic
    // overflows; KeepOnScreen brings the window back.
    constexpr int kFarOff = 1 << 20;
    mainTop = std::clamp(store_.Read(Settings::MainTop), -kFarOff, kFarOff);
    mainLeft = std::clamp(store_.Read(Settings::MainLeft), -kFarOff, kFarOff);
    mainHeight = store_.Read(Settings::MainHeight);
    mainWidth = store_.Read(Settings::MainWidth);
    move(mainLeft, mainTop);
    const QRect area = AvailableArea(QPoint(mainLeft, mainTop));
    if (mainHeight > 0 && mainWidth > 0 && area.isValid())
        resize(std::min(mainWidth, area.width()), std::min(mainHeight, area.height()));

    // Status panel 0 scaled from the 120 pixels per inch the window was designed at.
    status_.StatusPanel0->setMinimumWidth(345 * logicalDpiX() / 120);

    // Marker, the catalogue made with it, and the window's texts.
    AddedFileType = store_.Read(Settings::AddedFileType);
    BuildCatalogue(ToStd(AddedFileType));
    ApplyTexts();

    // The piece number label names no piece yet; the window's title.
    smallFiles_->ChangeItem->setText(Text(Entry::FileNumber));
    setWindowTitle(Text(Entry::ProgramName));

    // Folders of the big files and of the pieces.
    SplitPath = store_.Read(Settings::SplitPath);
    JoinPath = store_.Read(Settings::JoinPath);

    // Presets, size mode and size unit: the size planning code fills these
    // handlers; checking a radio button runs its handler.
    LoadBaseSizes();
    UseFreeSpace = store_.Read(Settings::UseFreeSpace);
    RecoveryPieces = store_.Read(Settings::RecoveryPieces);
    smallFiles_->spnRecovery->setValue(RecoveryPieces);
    smallFiles_->rbSizeFree->setChecked(UseFreeSpace);
    smallFiles_->rbSizeBase->setChecked(!UseFreeSpace);
    ApplySizeMode();
    static_assert(Settings::BigUnit.min == 1 && Settings::BigUnit.max == 4, "one radio button per unit");
    BigUnit = static_cast<SizeUnit>(store_.Read(Settings::BigUnit));
    bigFile_->UnitButton(BigUnit)->setChecked(true);

    // Pause mode.
    PauseMode = static_cast<::PauseMode>(store_.Read(Settings::ChangeDisk));
    menus_.CheckPauseMode(PauseMode);

    // Nothing can be split or joined yet.
    for (ControlGroup group : {ControlGroup::SplitCommand, ControlGroup::PlaceForPieces, ControlGroup::JoinCommand,
                               ControlGroup::PlaceForBigFile})
        SetControlState(group, false);

    // Hints reach status panel 0 through event() from now on. The welcome text:
    ShowHintInStatusBar(Text(Entry::WelcomeTo) + QLatin1Char(' ') + Text(Entry::ProgramName) + QStringLiteral(", ") +
                        Text(Entry::Version).toLower() + QLatin1Char(' ') + QLatin1String(kVersionText));
}

void TMain::StorePauseMode() { store_.Write(Settings::ChangeDisk, static_cast<int32_t>(PauseMode)); }

void TMain::SaveGeometry() {
    // pos() and size() are what move() and resize() restore, so repeated
    // starts do not drift by the window frame.
    mainTop = pos().y();
    mainLeft = pos().x();
    mainHeight = height();
    mainWidth = width();
    store_.Write(Settings::MainTop, mainTop);
    store_.Write(Settings::MainLeft, mainLeft);
    store_.Write(Settings::MainHeight, mainHeight);
    store_.Write(Settings::MainWidth, mainWidth);
}

void TMain::Quit() {
    exiting_ = true;
    // Qt closes the windows first; closeEvent sees exiting_ and saves nothing.
    QCoreApplication::quit();
}

void TMain::ExitClick() {
    SaveGeometry();
    Quit();
}

void TMain::closeEvent(QCloseEvent* e) {
    // Closing during a transfer (Alt+F4, the title bar) asks first: No keeps it going.
    if (TransferRunning() && !exiting_ &&
        !Modal::InUse().Message(this, Text(Entry::ProgramName), FromStd(ExtraText(Extra::CloseStopsTransferAsk)),
                                ModalSeam::Icon::Question, ModalSeam::Buttons::YesNo)) {
        e->ignore();
        return;
    }
    if (TransferRunning()) {
        // Stop first, then close: no thread outlives the window; the engine
        // takes back what the transfer had half written.
        closing_ = true;
        StopClick();
        WaitForTransfer();
        closing_ = false;
    }
    if (!exiting_) {
        SaveGeometry();
        Quit();
    }
    e->accept();
}

void TMain::ClearRegistryClick() {
    store_.ResetToDefaults();
    Quit();
}

void TMain::SelectPauseMode(::PauseMode mode) {
    if (mode == PauseMode) return;
    menus_.CheckPauseMode(mode);
    PauseMode = mode;
    StorePauseMode();
}

void TMain::AboutClick() {
    if (windows_.AboutBox) Modal::InUse().ExecDialog(windows_.AboutBox);
}
