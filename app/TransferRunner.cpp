#include "app/TransferRunner.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <utility>

#include "app/Application.h"

// The disk question in flight: the worker waits until the window's thread
// has answered it or the transfer is stopped, whichever comes first.
struct TTransferRunner::Question {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t asked = 0;     // number of the latest question
    uint64_t answered = 0;  // number of the latest question answered
    bool yes = false;
};

// The view the engine calls on the worker: every call goes to the window's
// view as a queued call, so they arrive in the engine's order.
class TTransferRunner::Relay final : public TransferView {
public:
    explicit Relay(TTransferRunner& runner) : runner_(runner) {}

    void ClearPieceList() override {
        Post([](TransferView& v) { v.ClearPieceList(); });
    }
    void SetProgressRange(int32_t min, int32_t max) override {
        Post([min, max](TransferView& v) { v.SetProgressRange(min, max); });
    }
    void SetProgress(int32_t position) override {
        Post([position](TransferView& v) { v.SetProgress(position); });
    }
    void ShowCurrentPiece(const std::string& name) override {
        Post([name](TransferView& v) { v.ShowCurrentPiece(name); });
    }
    void AddPieceSize(const std::string& text) override {
        Post([text](TransferView& v) { v.AddPieceSize(text); });
    }
    void SelectPiece(int32_t index) override {
        Post([index](TransferView& v) { v.SelectPiece(index); });
    }
    void RepaintPieceList() override {
        Post([](TransferView& v) { v.RepaintPieceList(); });
    }
    void RepaintMainWindow() override {
        Post([](TransferView& v) { v.RepaintMainWindow(); });
    }
    void CorrectPieceSize(int32_t index, const std::string& text) override {
        Post([index, text](TransferView& v) { v.CorrectPieceSize(index, text); });
    }

    bool AskYesNo(const std::string& text, const std::string& caption, Icon icon) override {
        TTransferRunner* runner = &runner_;
        Question& q = *runner->question_;
        if (runner->stop_.load()) return false;
        uint64_t number = 0;
        {
            const std::lock_guard<std::mutex> lock(q.mutex);
            number = ++q.asked;
        }
        QMetaObject::invokeMethod(
            runner,
            [runner, number, text, caption, icon] {
                // A question that arrives after Stop is not shown: its answer is No.
                const bool yes = !runner->stop_.load() && runner->view_.AskYesNo(text, caption, icon);
                Question& asked = *runner->question_;
                {
                    const std::lock_guard<std::mutex> lock(asked.mutex);
                    if (number != asked.asked) return;
                    asked.answered = number;
                    asked.yes = yes;
                }
                asked.changed.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> lock(q.mutex);
        q.changed.wait(lock, [&] { return q.answered == number || runner->stop_.load(); });
        return q.answered == number && q.yes;
    }

private:
    template <typename Call>
    void Post(Call call) {
        TTransferRunner* runner = &runner_;
        // The runner is the context: calls still queued when it goes are dropped.
        QMetaObject::invokeMethod(
            runner, [runner, call = std::move(call)] { call(runner->view_); }, Qt::QueuedConnection);
    }

    TTransferRunner& runner_;
};

TTransferRunner::TTransferRunner(TPieceEngine& engine, TransferView& view, QObject* parent)
    : QObject(parent),
      engine_(engine),
      view_(view),
      relay_(std::make_unique<Relay>(*this)),
      question_(std::make_unique<Question>()) {}

TTransferRunner::~TTransferRunner() {
    if (!running_) return;
    Stop();
    JoinThread();
    engine_.SetStopFlag(nullptr);
    engine_.SetView(&view_);
}

bool TTransferRunner::Start(std::function<int32_t(TPieceEngine&)> job) {
    if (running_) return false;
    JoinThread();
    stop_.store(false);
    engine_.SetStopFlag(&stop_);
    engine_.SetView(relay_.get());
    running_ = true;
    thread_ = std::thread([this, job = std::move(job)] {
        // What escapes the engine (memory running out) is shown as the
        // window's thread shows it, and the transfer counts as failed.
        int32_t code = kSizesDiffer;
        bool thrown = true;
        QString failure;
        try {
            code = job(engine_);
            thrown = false;
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        } catch (...) {
        }
        QMetaObject::invokeMethod(
            this,
            [this, code, thrown, failure] {
                if (thrown) ShowException(failure);
                Done(code);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void TTransferRunner::Stop() {
    if (!running_) return;
    stop_.store(true);
    WakeQuestion();
}

void TTransferRunner::WakeQuestion() {
    Question& q = *question_;
    // Taking the lock orders the stop before the worker's next look at it.
    { const std::lock_guard<std::mutex> lock(q.mutex); }
    q.changed.notify_all();
}

void TTransferRunner::Wait() {
    while (running_) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void TTransferRunner::JoinThread() {
    if (thread_.joinable()) thread_.join();
}

void TTransferRunner::Done(int32_t code) {
    // The worker posted this as its last act: the join returns at once.
    JoinThread();
    running_ = false;
    engine_.SetStopFlag(nullptr);
    engine_.SetView(&view_);
    emit Finished(code);
}
