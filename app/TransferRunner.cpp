#include "app/TransferRunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QString>
#include <QTimer>
#include <cerrno>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>
#ifdef __linux__
#include <pthread.h>
#endif

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

// The view the engine calls on the worker: every call is queued for the
// window's view, in the engine's order.
class TTransferRunner::Relay final : public TransferView {
public:
    explicit Relay(TTransferRunner& runner) : runner_(runner) {}

    void ClearPieceList() override {
        runner_.Queue([](TransferView& v) { v.ClearPieceList(); });
    }
    void SetProgressRange(int32_t min, int32_t max) override {
        runner_.Queue([min, max](TransferView& v) { v.SetProgressRange(min, max); });
    }
    void SetProgress(int32_t position) override {
        runner_.Queue([position](TransferView& v) { v.SetProgress(position); });
    }
    void ShowCurrentPiece(const std::string& name) override {
        runner_.Queue([name](TransferView& v) { v.ShowCurrentPiece(name); });
    }
    void AddPieceSize(const std::string& text) override {
        runner_.Queue([text](TransferView& v) { v.AddPieceSize(text); });
    }
    void SelectPiece(int32_t index) override {
        runner_.Queue([index](TransferView& v) { v.SelectPiece(index); });
    }
    void RepaintPieceList() override {
        runner_.Queue([](TransferView& v) { v.RepaintPieceList(); });
    }
    void RepaintMainWindow() override {
        runner_.Queue([](TransferView& v) { v.RepaintMainWindow(); });
    }
    void CorrectPieceSize(int32_t index, const std::string& text) override {
        runner_.Queue([index, text](TransferView& v) { v.CorrectPieceSize(index, text); });
    }
    void StartRebuilding(const std::vector<int32_t>& pieces) override {
        runner_.Queue([pieces](TransferView& v) { v.StartRebuilding(pieces); });
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
        runner->Queue([runner, number, text, caption, icon](TransferView& v) {
            // A question that arrives after Stop is not shown: its answer is No.
            const bool yes = !runner->stop_.load() && v.AskYesNo(text, caption, icon);
            Question& asked = *runner->question_;
            {
                const std::lock_guard<std::mutex> lock(asked.mutex);
                if (number != asked.asked) return;
                asked.answered = number;
                asked.yes = yes;
            }
            asked.changed.notify_all();
        });
        // The user waits for this one: no waiting for the next delivery. (By
        // name: the call then carries nothing the worker and the window share.)
        QMetaObject::invokeMethod(runner, "Deliver", Qt::QueuedConnection);
        std::unique_lock<std::mutex> lock(q.mutex);
        q.changed.wait(lock, [&] { return q.answered == number || runner->stop_.load(); });
        return q.answered == number && q.yes;
    }

private:
    TTransferRunner& runner_;
};

TTransferRunner::TTransferRunner(TPieceEngine& engine, TransferView& view, QObject* parent)
    : QObject(parent),
      engine_(engine),
      view_(view),
      relay_(std::make_unique<Relay>(*this)),
      question_(std::make_unique<Question>()),
      deliverTimer_(new QTimer(this)) {
    // 20 deliveries a second: a bar the eye follows smoothly, and the window
    // takes little of the time the copy and the checksums need.
    deliverTimer_->setInterval(50);
    connect(deliverTimer_, &QTimer::timeout, this, &TTransferRunner::Deliver);
}

TTransferRunner::~TTransferRunner() {
    if (!running_) return;
    Stop();
    JoinThread();
    engine_.SetStopFlag(nullptr);
    engine_.SetView(&view_);
}

bool TTransferRunner::Start(std::function<TransferOutcome(TPieceEngine&)> job) {
    if (running_) return false;
    JoinThread();
    stop_.store(false);
    engine_.SetStopFlag(&stop_);
    engine_.SetView(relay_.get());
    running_ = true;
    deliverTimer_->start();
    // Without a thread the transfer ends at once, failed with the reason, as
    // any ended transfer does: the window never waits for a worker that is not there.
    try {
        StartWorker(std::move(job));
    } catch (const std::system_error& e) {
        TransferOutcome outcome;
        outcome.what = TransferOutcome::What::WorkFailed;
        outcome.error = e.code().value();
        Queue([this, outcome](TransferView&) {
            ended_ = true;
            endOutcome_ = outcome;
        });
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
    }
    return true;
}

void TTransferRunner::StartWorker(std::function<TransferOutcome(TPieceEngine&)> job) {
    thread_ = std::thread([this, job = std::move(job)] {
#ifdef __linux__
        // Named for the system's tools (and the tests that look for it).
        pthread_setname_np(pthread_self(), kWorkerThreadName);
#endif
        // What escapes the engine (memory running out) is shown as the
        // window's thread shows it, and the transfer counts as failed.
        TransferOutcome outcome;
        outcome.what = TransferOutcome::What::WorkFailed;
        bool thrown = true;
        QString failure;
        try {
            outcome = job(engine_);
            thrown = false;
        } catch (const std::bad_alloc& e) {
            outcome.error = ENOMEM;
            failure = QString::fromLocal8Bit(e.what());
        } catch (const std::system_error& e) {
            outcome.error = e.code().value();
            failure = QString::fromLocal8Bit(e.what());
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        } catch (...) {
        }
        // The end goes through the same locked queue as the view calls, after
        // them; the call by name only wakes the window's thread and carries nothing.
        Queue([this, outcome, thrown, failure](TransferView&) {
            if (thrown) ShowException(failure);
            ended_ = true;
            endOutcome_ = outcome;
        });
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
    });
}

TransferView& TTransferRunner::WorkerView() { return *relay_; }

void TTransferRunner::Stop() {
    if (!running_) return;
    stop_.store(true);
    // A worker waiting for an answer wakes up; taking the lock first means
    // it cannot miss the stop between its look at the flag and its wait.
    Question& q = *question_;
    { const std::lock_guard<std::mutex> lock(q.mutex); }
    q.changed.notify_all();
}

void TTransferRunner::Queue(Call call) {
    const std::lock_guard<std::mutex> lock(callsMutex_);
    calls_.push_back(std::move(call));
}

void TTransferRunner::Deliver() {
    std::vector<Call> batch;
    {
        const std::lock_guard<std::mutex> lock(callsMutex_);
        batch.swap(calls_);
    }
    if (batch.empty()) return;
    for (const Call& call : batch) call(view_);
    emit Delivered();
    if (ended_) {
        ended_ = false;
        Done(endOutcome_);
    }
}

void TTransferRunner::Wait() {
    if (!running_) return;
    // A loop of its own that Finished ends: processing events until the flag
    // drops would sleep on after the last delivery where the window system's
    // dispatcher does not count posted events as work (Windows), with no
    // timer left to wake it.
    QEventLoop loop;
    connect(this, &TTransferRunner::Finished, &loop, &QEventLoop::quit);
    if (running_) loop.exec();
}

void TTransferRunner::JoinThread() {
    if (thread_.joinable()) thread_.join();
}

void TTransferRunner::Done(const TransferOutcome& outcome) {
    // The worker queued the end as its last act: the join returns at once.
    JoinThread();
    running_ = false;
    deliverTimer_->stop();
    engine_.SetStopFlag(nullptr);
    engine_.SetView(&view_);
    emit Finished(outcome);
}
