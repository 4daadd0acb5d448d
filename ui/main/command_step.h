// A command as steps: a coroutine (TStep) that waits for each call of the command's worker
// (TCommandRunner) by co_await, and goes on when the worker says the call is done or failed,
// from the window's message that announces it. No step waits in a message loop of its own: the
// window answers, paints and follows its timer between steps as at any other time. A step
// awaits another step as a call; the outermost one is started with the handler of its end.
//
// A lambda given to RunnerCall is named first, never written inside the co_await: GCC 12
// destroys a lambda's temporary of a co_await expression twice, and the captures (a name, a
// list of names) are then freed twice.
//
// Usage:
//   TStep<int> Count(TCommandRunner& runner, std::wstring name)
//   {
//       auto dependants = [name](TRunnerConnection& c) { return DependantsOf(c.Scm(), c.Manager(), name); };
//       std::vector<TServiceEntry> found = co_await RunnerCall<std::vector<TServiceEntry>>(runner, std::move(dependants));
//       co_return static_cast<int>(found.size());
//   }
//   TStep<> Command(TCommandRunner& runner) { int n = co_await Count(runner); ... }
//   FRunning.emplace(Command(runner));
//   FRunning->Start([](std::exception_ptr error) { ... });   // the step may be destroyed there
// Destroying a step that waits ends it there: its locals go (busy cursor, ...), and the runner
// it waits for must be abandoned with it, so that no done handler resumes it.
#pragma once

#include "services/command_runner.h"

#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace step_detail {
struct TPromiseBase {
    std::coroutine_handle<> Continuation;
    std::function<void(std::exception_ptr)> OnEnded;  // the outermost step's
    std::exception_ptr Error;

    std::suspend_always initial_suspend() noexcept { return {}; }
    struct TFinal {
        bool await_ready() noexcept { return false; }
        template <typename Promise>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> step) noexcept
        {
            TPromiseBase& promise = step.promise();
            if (promise.Continuation)
                return promise.Continuation;
            // The handler may destroy the step: nothing of it is touched afterwards.
            if (std::function<void(std::exception_ptr)> ended = std::move(promise.OnEnded)) {
                try {
                    ended(promise.Error);
                } catch (...) {
                }
            }
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    TFinal final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { Error = std::current_exception(); }
};

template <typename T>
struct TStepPromise : TPromiseBase {
    std::optional<T> Value;
    void return_value(T value) { Value.emplace(std::move(value)); }
    T Take()
    {
        if (Error)
            std::rethrow_exception(Error);
        return std::move(*Value);
    }
};

template <>
struct TStepPromise<void> : TPromiseBase {
    void return_void() {}
    void Take()
    {
        if (Error)
            std::rethrow_exception(Error);
    }
};
}  // namespace step_detail

template <typename T = void>
class [[nodiscard]] TStep {
public:
    struct promise_type : step_detail::TStepPromise<T> {
        TStep get_return_object() { return TStep(std::coroutine_handle<promise_type>::from_promise(*this)); }
    };

    TStep(TStep&& other) noexcept : FHandle(std::exchange(other.FHandle, {})) {}
    TStep& operator=(TStep&&) = delete;
    ~TStep()
    {
        if (FHandle)
            FHandle.destroy();
    }

    // Awaited by another step: runs until it ends, then the caller goes on with its result.
    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> caller) noexcept
    {
        FHandle.promise().Continuation = caller;
        return FHandle;
    }
    T await_resume() { return FHandle.promise().Take(); }

    // The outermost step: runs it up to its first wait; ended runs when it has ended, with its
    // error if one left it.
    void Start(std::function<void(std::exception_ptr error)> ended)
    {
        FHandle.promise().OnEnded = std::move(ended);
        FHandle.resume();
    }

private:
    explicit TStep(std::coroutine_handle<promise_type> handle) : FHandle(handle) {}
    std::coroutine_handle<promise_type> FHandle;
};

// Awaits a call made on the runner's thread: the step goes on with its result, or with its
// error raised, once the runner's done handler has run.
template <typename T>
class [[nodiscard]] TRunnerCall {
public:
    TRunnerCall(TCommandRunner& runner, std::function<T(TRunnerConnection&)> call)
        : FRunner(runner), FCall(std::move(call))
    {
    }
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> step)
    {
        FRunner.Run([value = FValue, call = std::move(FCall)](TRunnerConnection& c) { value->emplace(call(c)); },
                    [this, step](std::exception_ptr error) {
                        FError = error;
                        step.resume();
                    });
    }
    T await_resume()
    {
        if (FError)
            std::rethrow_exception(FError);
        return std::move(**FValue);
    }

private:
    TCommandRunner& FRunner;
    std::function<T(TRunnerConnection&)> FCall;
    // Written on the runner's thread, read once the done handler has run.
    std::shared_ptr<std::optional<T>> FValue = std::make_shared<std::optional<T>>();
    std::exception_ptr FError;
};

template <typename T, typename F>
TRunnerCall<T> RunnerCall(TCommandRunner& runner, F&& call)
{
    return TRunnerCall<T>(runner, std::forward<F>(call));
}
