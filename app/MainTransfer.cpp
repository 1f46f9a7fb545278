// The split or join on the worker thread: while it runs the window stays
// drawn and answers the user, the controls that would change its inputs are
// locked, the status bar tells how far it is, and Stop (Escape, the menu,
// the tool bar, closing the window) ends it.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>
#include <utility>

#include "app/Main.h"
#include "app/TransferRunner.h"
#include "texts/ExtraTexts.h"
#include "texts/TextCatalogue.h"

bool TMain::TransferRunning() const { return runner_ && runner_->Running(); }

void TMain::WaitForTransfer() {
    if (runner_) runner_->Wait();
}

TTransferRunner& TMain::Runner() {
    if (!runner_) {
        runner_ = std::make_unique<TTransferRunner>(engine_, *this);
        connect(runner_.get(), &TTransferRunner::Delivered, this, &TMain::ShowTransferStatus);
        connect(runner_.get(), &TTransferRunner::Finished, this, &TMain::TransferFinished);
    }
    return *runner_;
}

void TMain::RunTransfer(std::function<TransferOutcome(TPieceEngine&)> job, int64_t totalBytes, int32_t pieceCount,
                        std::function<void(const TransferOutcome&)> then) {
    Runner();
    afterTransfer_ = std::move(then);
    transferStatus_ = TransferStatus{};
    transferStatus_.totalBytes = totalBytes;
    transferStatus_.pieceCount = pieceCount;
    questionNs_ = 0;
    LockForTransfer(true);
    transferClock_.start();
    // The worker reads the engine's texts in the language of this moment;
    // a switch meanwhile changes the window only.
    engine_.SetTextLookup([language = LanguageIndex](EngineEntry::Id entry) {
        return EngineText(language, entry);
    });
    runner_->Start(std::move(job));
}

void TMain::TransferFinished(const TransferOutcome& outcome) {
    LockForTransfer(false);
    const auto then = std::exchange(afterTransfer_, nullptr);
    if (closing_) {
        RestoreCursor();
    } else if (then) {
        then(outcome);
    }
}

void TMain::LockForTransfer(bool running) {
    if (running) {
        unlock_.clear();
        auto lock = [this](auto* control) {
            unlock_.push_back([control, enabled = control->isEnabled()] { control->setEnabled(enabled); });
            control->setEnabled(false);
        };
        // Every menu item but Help's (About, How It Works) and Stop, and with them
        // the tool bar's buttons, which are the same commands.
        for (QMenu* menu : menus_.LockedInTransfer()) {
            for (QAction* item : menu->actions()) {
                if (!item->isSeparator() && item != menus_.Stop) lock(item);
            }
        }
        const TBigFileGroup& big = *bigFile_;
        const TSmallerFilesGroup& small = *smallFiles_;
        for (QWidget* control : std::initializer_list<QWidget*>{
                 big.BigFileRB1, big.BigFileRB2, big.BigFileRB3, big.BigFileRB4, small.CBBaseSize, small.rbSizeBase,
                 small.rbSizeFree, small.ApplyBaseSize, small.spnRecovery, small.txtNewSize, small.ChangeItem,
                 small.ApplyNewSize}) {
            lock(control);
        }
    } else {
        for (const auto& give : std::exchange(unlock_, {})) give();
    }
    // The list marks the piece in transfer; a click must not pick a piece to edit.
    smallFiles_->SmallerSizesLB->viewport()->setAttribute(Qt::WA_TransparentForMouseEvents, running);
    // The window answers while it works: the busy arrow, not the hourglass.
    if (running && hourglassSet_) QApplication::changeOverrideCursor(QCursor(Qt::BusyCursor));
    // The progress in panel 1 is read whole; the piece's path in panel 0
    // gives way (its folder is shown above, in the names of the pieces).
    if (running) {
        panel0Width_ = status_.StatusPanel0->minimumWidth();
        status_.StatusPanel0->setMinimumWidth(0);
    } else {
        status_.StatusPanel0->setMinimumWidth(panel0Width_);
        status_.StatusPanel1->setMinimumWidth(0);
    }
    menus_.Stop->setEnabled(running);
}

void TMain::ShowTransferStatus() {
    if (!TransferRunning()) return;
    ShowPendingPieces();
    // A progress bar draws itself at once on a visible change: here it is
    // drawn with the rest of the batch instead.
    status_.PBar->setUpdatesEnabled(false);
    status_.PBar->setValue(transferStatus_.position);
    status_.PBar->setUpdatesEnabled(true);
    transferStatus_.seconds = double(transferClock_.nsecsElapsed() - questionNs_) / 1e9;
    const QString text = TransferStatusText(transferStatus_, LanguageIndex, QLocale().decimalPoint());
    status_.StatusPanel1->setText(text);
    // Never narrower while it runs: a panel that follows each text's length jitters.
    const int width =
        status_.StatusPanel1->fontMetrics().horizontalAdvance(text) + 2 * status_.StatusPanel1->frameWidth() + 8;
    if (width > status_.StatusPanel1->minimumWidth()) status_.StatusPanel1->setMinimumWidth(width);
}

void TMain::StopClick() {
    if (runner_) runner_->Stop();
}

// Alt pressed and let go (as on coming back with Alt+Tab) puts the menu bar
// in its keyboard mode: it then takes Escape for itself, to leave that mode,
// and Stop never saw the key while the transfer went on. While one runs,
// that Escape stops it too; the menu bar still leaves its mode. (An open
// menu keeps its Escape: it closes the menu, as everywhere.)
bool TMain::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride && watched == menuBar() && menus_.Stop->isEnabled() &&
        menuBar()->activeAction() != nullptr) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (menus_.Stop->shortcut().matches(QKeySequence(key->keyCombination())) == QKeySequence::ExactMatch)
            menus_.Stop->trigger();
    }
    return QMainWindow::eventFilter(watched, e);
}
