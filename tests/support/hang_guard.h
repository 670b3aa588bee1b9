// Ends the test run with a message naming the step when that step has not returned within the
// limit, so that a command that blocks fails loudly instead of stalling the whole suite.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace pixvue::testing {

class HangGuard {
  public:
    explicit HangGuard(std::string step, std::chrono::seconds limit = std::chrono::seconds(60))
        : step_(std::move(step)), watcher_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                  std::fprintf(stderr, "HANG: '%s' did not return within %lld s\n", step_.c_str(),
                               static_cast<long long>(limit.count()));
                  std::fflush(stderr);
                  std::abort();
              }
          }) {}
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;
    ~HangGuard() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        watcher_.join();
    }

  private:
    std::string step_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread watcher_;
};

}  // namespace pixvue::testing
