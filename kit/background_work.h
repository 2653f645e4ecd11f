#pragma once

#include <QObject>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// Work beside the window: each task runs on a thread of its own, and its result is handed to a
// function on this object's thread by a queued call. Nobody waits for a task, not even when the
// program ends: a task holds everything it touches itself (values, shared pointers), nothing of
// a window. Once this object is gone, results are dropped.
class BackgroundWork : public QObject {
public:
    BackgroundWork() = default;
    ~BackgroundWork() override;

    // Runs task() beside the window, then take(result) here. Throws std::system_error when no
    // thread can be started.
    template <class Task, class Take>
    void start(Task task, Take take) {
        std::thread([link = link_, task = std::move(task), take = std::move(take)]() mutable {
            auto result = std::make_shared<decltype(task())>(task());
            // The receiver cannot go while a result is posted to it.
            const std::lock_guard lock(link->mutex);
            if (link->receiver == nullptr) return;
            QMetaObject::invokeMethod(
                link->receiver, [take = std::move(take), result] { take(std::move(*result)); },
                Qt::QueuedConnection);
        }).detach();
    }

private:
    struct Link {
        explicit Link(QObject* receiver) : receiver(receiver) {}
        std::mutex mutex;
        QObject* receiver;
    };
    std::shared_ptr<Link> link_ = std::make_shared<Link>(this);
};
