#include "base/EnvStore.h"
#include "platform/Platform.h"
#include "ui/FormMain.h"

#include <QCoreApplication>
#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace talvoren {

// Shared by the window and its broadcasting thread, which may outlive the
// window when a program holds the broadcast past the wait at close.
struct TBroadcastState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    TfrmMain* receiver = nullptr; // told when done; cleared when the window stops waiting
};

namespace {

// How long "Saved" stays in the status bar.
constexpr std::chrono::milliseconds kSavedShown{4000};

} // namespace

void TfrmMain::StartBroadcast()
{
    if (fBroadcast) {
        // Programs that answered the running one may have read the values
        // before this save: they hear of it again.
        fBroadcastAgain = true;
        return;
    }
    auto state = std::make_shared<TBroadcastState>();
    state->receiver = this;
    fBroadcast = state;
    platform::ISystem& system = fPlatform.system();
    std::thread([state, &system] {
        BroadcastEnvironmentChange(system, kSaveBroadcastTimeoutMs);
        std::lock_guard lock(state->mutex);
        state->finished = true;
        state->done.notify_all();
        if (TfrmMain* window = state->receiver) {
            QMetaObject::invokeMethod(
                window, [window, done = state.get()] { window->BroadcastDone(done); }, Qt::QueuedConnection);
        }
    }).detach();
}

void TfrmMain::BroadcastDone(const TBroadcastState* state)
{
    if (fBroadcast.get() != state) {
        return; // already taken care of by the wait at close
    }
    fBroadcast.reset();
    if (std::exchange(fBroadcastAgain, false)) {
        StartBroadcast();
    } else {
        fSavedShownUntil = std::chrono::steady_clock::now() + kSavedShown;
        QTimer::singleShot(kSavedShown, this, [this] { UpdateStatusBar(); });
    }
    UpdateStatusBar();
}

void TfrmMain::WaitForBroadcast(bool answering)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSaveBroadcastTimeoutMs);
    while (fBroadcast) {
        const std::shared_ptr<TBroadcastState> state = fBroadcast;
        bool finished = false;
        {
            std::unique_lock lock(state->mutex);
            // The broadcast is sent to this program's windows as well: while
            // they answer, the wait looks again every few milliseconds.
            const auto until = answering
                ? std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(10))
                : deadline;
            finished = state->done.wait_until(lock, until, [&] { return state->finished; });
            if (!finished && std::chrono::steady_clock::now() >= deadline) {
                state->receiver = nullptr; // it ends on its own
                fBroadcast.reset();
                fBroadcastAgain = false;
                return;
            }
        }
        if (finished) {
            fBroadcast.reset();
            if (std::exchange(fBroadcastAgain, false)) {
                StartBroadcast();
            }
        } else if (answering) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
}

} // namespace talvoren
