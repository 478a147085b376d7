#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <optional>
#include <type_traits>
#include <utility>

// Carries a call to the thread of `context` (the window thread for any widget).
// On that thread the call runs at once. From another thread it is queued, so calls
// made one after another by the worker arrive in the order they were made; with
// `blocking` the caller waits until the call has run. A call still queued when
// `context` is destroyed is dropped (a blocking caller is then released).
// Never block from a thread the window thread is itself waiting for.
template <typename Fn>
void RunOnGuiThread(QObject* context, Fn&& fn, bool blocking) {
    if (context == nullptr) return;
    if (QThread::currentThread() == context->thread()) {
        std::forward<Fn>(fn)();
        return;
    }
    QMetaObject::invokeMethod(context, std::forward<Fn>(fn),
                              blocking ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

// Blocking call with a result, for questions the worker asks the window. Gives
// `fallback` when the call could not run (context gone).
template <typename Fn, typename Result = std::invoke_result_t<Fn&>>
Result CallOnGuiThread(QObject* context, Fn fn, Result fallback) {
    std::optional<Result> result;
    RunOnGuiThread(
        context, [&result, &fn] { result.emplace(fn()); }, true);
    return result ? std::move(*result) : std::move(fallback);
}
