#include "engine/SetPlacing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace {
std::atomic<int> stepPause{0};
}  // namespace

void SetPlacement::SetStepPause(int milliseconds) { stepPause = milliseconds; }

void SetPlacement::Retire(const std::string& path) {
    if (!Retires(path)) retired_.push_back(path);
}

bool SetPlacement::Retires(const std::string& path) const {
    return std::find(retired_.begin(), retired_.end(), path) != retired_.end();
}

void SetPlacement::Place(const std::string& staged, const std::string& finalName, int permissions) {
    placed_.push_back({staged, finalName});
    // Taken now: the older file is moved aside before the new one is named.
    const int older = PermissionsOf(finalName);
    permissions_.push_back(older >= 0 ? older : permissions);
}

bool SetPlacement::Step(const std::string& from, const std::string& to, std::vector<Move>& done) {
    if (const int pause = stepPause.load()) std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    std::error_code ec;
    fs::rename(Paths::Native(from), Paths::Native(to), ec);
    if (ec) {
        error_ = ec.value();
        return false;
    }
    done.push_back({from, to});
    return true;
}

void SetPlacement::Undo(std::vector<Move>& done) {
    std::error_code ec;
    for (auto move = done.rbegin(); move != done.rend(); ++move) {
        fs::rename(Paths::Native(move->to), Paths::Native(move->from), ec);
    }
    done.clear();
}

bool SetPlacement::Run() {
    // The new files' modes first: that touches nothing of the older set.
    for (std::size_t i = 0; i < placed_.size(); ++i) SetPermissions(placed_[i].from, permissions_[i]);
    std::vector<Move> asideMoves, placeMoves;
    for (const std::string& older : retired_) {
        if (!Step(older, staging_.SpareName(), asideMoves)) {
            failedName_ = older;
            Undo(asideMoves);
            return false;
        }
    }
    for (const Move& move : placed_) {
        if (!Step(move.from, move.to, placeMoves)) {
            failedName_ = move.to;
            Undo(placeMoves);
            Undo(asideMoves);
            return false;
        }
    }
    return true;
}
