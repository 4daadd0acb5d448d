#include "services/let_go.h"

#include <atomic>
#include <thread>
#include <utility>

namespace {
std::atomic<int> Running{0};
}  // namespace

void LetGoAlone(std::shared_ptr<void> object)
{
    if (!object)
        return;
    ++Running;
    try {
        std::thread([held = std::move(object)]() mutable noexcept {
            held.reset();
            --Running;
        }).detach();
    } catch (...) {
        // No thread to be had: the object went here, with the lambda that held it.
        --Running;
    }
}

int LetGoRunningCount() { return Running; }
