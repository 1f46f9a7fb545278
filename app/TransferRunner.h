// Runs one split or join of the engine on a worker thread, so the window's
// thread only draws and answers the user. The engine's view calls reach the
// window's view on the window's thread, queued in the order the engine made
// them; a disk question holds only the worker until it is answered.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "engine/PieceEngine.h"

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
    bool Start(std::function<int32_t(TPieceEngine&)> job);
    bool Running() const { return running_; }

    // The engine ends at its next block; a pending disk question is taken as
    // No and a later one is not shown.
    void Stop();
    bool StopRequested() const { return stop_.load(); }

    // Runs the event loop until the running transfer has ended and Finished
    // has been delivered; returns at once when none runs.
    void Wait();

signals:
    // The transfer's result code, once its thread has ended.
    void Finished(int32_t code);

private:
    class Relay;
    struct Question;

    void Done(int32_t code);
    void WakeQuestion();
    void JoinThread();

    TPieceEngine& engine_;
    TransferView& view_;
    std::unique_ptr<Relay> relay_;
    std::unique_ptr<Question> question_;
    std::atomic<bool> stop_{false};
    bool running_ = false;
    std::thread thread_;
};
