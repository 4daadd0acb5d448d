// Asks a window every 10 ms from a thread of its own whether it answers (WM_NULL, sent), and
// keeps the longest wait for the answer.
//
// Usage:
//   TAnswerSampler sampler(form.Handle());
//   ... work the window does ...
//   Print(L"max_answer_ms", sampler.Longest);
#pragma once

#include "bench/bench_support.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

class TAnswerSampler {
public:
    explicit TAnswerSampler(HWND window)
        : FThread([this, window] {
              while (!FStop) {
                  const double asked = NowMs();
                  DWORD_PTR result = 0;
                  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
                  Longest = std::max(Longest.load(), NowMs() - asked);
                  Sleep(SampleMs);
              }
          })
    {
    }
    ~TAnswerSampler()
    {
        FStop = true;
        FThread.join();
    }
    TAnswerSampler(const TAnswerSampler&) = delete;
    TAnswerSampler& operator=(const TAnswerSampler&) = delete;

    static constexpr DWORD SampleMs = 10;
    std::atomic<double> Longest{0};

private:
    std::atomic<bool> FStop{false};
    std::thread FThread;
};
