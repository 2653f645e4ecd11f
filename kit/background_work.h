#pragma once

#include <QObject>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>

// Work beside the window: each task runs on a thread of its own, and its result is handed to a
// function on this object's thread by a queued call. Nobody waits for a task, not even when the
// program ends: a task holds everything it touches itself (values, shared pointers), nothing of
// a window. Once this object is gone, results are dropped. No task can end the program: what it
// throws comes back as a failure.
class BackgroundWork : public QObject {
public:
    BackgroundWork() = default;
    ~BackgroundWork() override;

    // Runs task() beside the window, then take(result) here; or fail(why) here when the task
    // throws or no thread can be started. Never throws.
    template <class Task, class Take, class Fail>
    void start(Task task, Take take, Fail fail) {
        try {
            std::thread([link = link_, task = std::move(task), take = std::move(take),
                         fail = fail]() mutable {
                try {
                    auto result = std::make_shared<decltype(task())>(task());
                    link->post([take = std::move(take), result] { take(std::move(*result)); });
                } catch (...) {
                    try {
                        link->post([fail = std::move(fail), why = Why()] { fail(why); });
                    } catch (...) {  // not even the failure can be handed over
                    }
                }
            }).detach();
        } catch (...) {
            fail(Why());
        }
    }

private:
    // What the exception being handled says; a short text needs no memory of its own.
    static std::string Why() noexcept {
        try {
            throw;
        } catch (const std::bad_alloc&) {
        } catch (const std::exception& error) {
            try {
                return error.what();
            } catch (...) {
            }
        } catch (...) {
            return "unknown failure";
        }
        return "out of memory";
    }

    struct Link {
        explicit Link(QObject* receiver) : receiver(receiver) {}
        // Calls `hand` on the receiver's thread, unless the receiver is gone; a call that cannot
        // even be posted is dropped.
        template <class Hand>
        void post(Hand hand) noexcept {
            try {
                // The receiver cannot go while a call is posted to it.
                const std::lock_guard lock(mutex);
                if (receiver != nullptr)
                    QMetaObject::invokeMethod(receiver, std::move(hand), Qt::QueuedConnection);
            } catch (...) {
            }
        }
        std::mutex mutex;
        QObject* receiver;
    };
    std::shared_ptr<Link> link_ = std::make_shared<Link>(this);
};
