// The threaded update: the worker thread, the thread-done step on the GUI thread, and
// running dialogs of the worker on the GUI thread.
#include "update/update_thread.h"

#include <future>

#include "platform/error.h"
#include "ui/application.h"
#include "update/update_engine.h"

namespace kelvra::update {

TInetThread::TInetThread(TUpdateEngine& engine, bool init_path, std::function<void()> done)
    : Engine(engine), FInitPath(init_path) {
    thread_ = std::thread([this, done = std::move(done)] {
        try {
            Engine.DoUpdate(FInitPath);
        } catch (...) {
            error_ = std::current_exception();
        }
        done();
    });
}

TInetThread::~TInetThread() {
    Join();
}

void TInetThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

void TUpdateEngine::DoThreadUpdate(bool InitPath) {
    if (app_ == nullptr)
        throw kelvra::Error("A threaded update needs the application's message loop.");
    if (FThreaded)
        throw kelvra::Error("An update is already running on a worker thread.");
    JoinWorker();
    FThreaded = true;
    gui_thread_ = std::this_thread::get_id();
    ui::Backend& backend = app_->backend();
    std::weak_ptr<int> alive = alive_;
    thread_ = std::make_unique<TInetThread>(*this, InitPath, [this, &backend, alive] {
        backend.Post([this, alive] {
            // An engine destroyed meanwhile has nothing left to finish.
            if (!alive.expired())
                ThreadDone();
        });
    });
}

void TUpdateEngine::ThreadDone() {
    const std::exception_ptr error = thread_ ? thread_->Error() : nullptr;
    JoinWorker();
    if (OnThreadUpdateDone)
        OnThreadUpdateDone(*this);
    FThreaded = false;
    DoStatus(960, "", 0, 0);
    if (error) {
        // The worker's error is reported on the GUI thread; no restart follows it.
        app_->ShowException(error);
        return;
    }
    if (AppNeedsRestart()) {
        DoStatus(961, "", 0, 0);
        DoRestart();
    }
}

void TUpdateEngine::JoinWorker() {
    if (thread_) {
        thread_->Join();
        thread_.reset();
    }
}

bool TUpdateEngine::OnWorkerThread() const {
    return FThreaded && std::this_thread::get_id() != gui_thread_;
}

void TUpdateEngine::OnGuiThread(const std::function<void()>& task) {
    if (app_ == nullptr || !OnWorkerThread()) {
        task();
        return;
    }
    std::promise<void> finished;
    app_->backend().Post([&task, &finished] {
        try {
            task();
            finished.set_value();
        } catch (...) {
            finished.set_exception(std::current_exception());
        }
    });
    app_->backend().WakeUp();
    finished.get_future().get();
}

}  // namespace kelvra::update
