// Runs one split or join of the engine on a worker thread, so the window's
// thread only draws and answers the user. The engine's view calls reach the
// window's view on the window's thread in the order the engine made them,
// gathered and handed over 20 times a second (a disk question and the
// end at once): the window is drawn no more often, and the worker never
// waits for it except for an answer. A disk question holds only the worker.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/PieceEngine.h"

class QTimer;

// The worker thread's name where the system keeps one (Linux).
inline constexpr const char* kWorkerThreadName = "quorvel-worker";

class TTransferRunner : public QObject {
    Q_OBJECT
public:
    // `view` is called on the thread that creates the runner; it is the
    // engine's view again whenever no transfer runs.
    TTransferRunner(TPieceEngine& engine, TransferView& view, QObject* parent = nullptr);
    // Stops a running transfer and waits for its thread; its end is not reported.
    ~TTransferRunner() override;

    // Runs `job` (a Split or Join of the engine) on a new thread; false when
    // a transfer is already running. The engine must not be touched on this
    // thread until Finished.
    bool Start(std::function<TransferOutcome(TPieceEngine&)> job);
    bool Running() const { return running_; }

    // What a job that is no split or join reports through and looks at:
    // the view the engine is given (calls reach the window's view on its
    // thread) and the stop flag.
    TransferView& WorkerView();
    const std::atomic<bool>& StopFlag() const { return stop_; }

    // The engine ends at its next block; a pending disk question is taken as
    // No and a later one is not shown.
    void Stop();

    // Runs the event loop until the running transfer has ended and Finished
    // has been delivered; returns at once when none runs.
    void Wait();

signals:
    // A batch of the engine's view calls has been made on the view.
    void Delivered();
    // The transfer's outcome, once its thread has ended and every view call
    // has been delivered.
    void Finished(const TransferOutcome& outcome);

private slots:
    void Deliver();

private:
    class Relay;
    struct Question;
    using Call = std::function<void(TransferView&)>;

    void Queue(Call call);  // on the worker
    void Done(const TransferOutcome& outcome);
    void JoinThread();
    void StartWorker(std::function<TransferOutcome(TPieceEngine&)> job);  // throws when no thread starts

    TPieceEngine& engine_;
    TransferView& view_;
    std::unique_ptr<Relay> relay_;
    std::unique_ptr<Question> question_;
    std::mutex callsMutex_;
    std::vector<Call> calls_;  // made by the engine, not delivered yet
    QTimer* deliverTimer_ = nullptr;
    // Set on the window's thread when the worker's last queued call is delivered.
    bool ended_ = false;
    TransferOutcome endOutcome_;
    std::atomic<bool> stop_{false};
    bool running_ = false;
    std::thread thread_;
};
