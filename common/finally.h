// Runs an action when the scope ends, whether it ends normally or by an exception: the
// clean-up that must follow every path (cursor, timer, redrawing, update counts).
#pragma once

#include <utility>

template <typename F>
class TFinally {
public:
    explicit TFinally(F action) : FAction(std::move(action)) {}
    ~TFinally() { FAction(); }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    F FAction;
};
