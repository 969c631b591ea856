// Work that splits into independent items whose results must be handled in
// order: the items are produced on several threads and consumed on the
// calling thread in ascending order, so the outcome is the same as a plain
// loop's whatever the number of threads.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace lexbuild {

/// Threads worth starting for CPU-bound work on this machine (at least 1).
inline size_t worker_count() {
  const unsigned n = std::thread::hardware_concurrency();
  return std::clamp<size_t>(n == 0 ? 1 : n, 1, 8);
}

/// Calls produce(i) for i = 0 to count - 1 on up to `workers` threads and
/// consume(i, result) on the calling thread in ascending i. At most `window`
/// results wait to be consumed, which bounds the memory they take. The first
/// exception thrown by either side stops the work; it is rethrown here once
/// every thread has ended.
template <typename Result, typename Produce, typename Consume>
void ordered_parallel(size_t count, size_t workers, size_t window, Produce&& produce,
                      Consume&& consume) {
  window = std::max<size_t>(window, 1);
  if (workers <= 1 || count < 2) {
    for (size_t i = 0; i < count; ++i) {
      Result result = produce(i);
      consume(i, result);
    }
    return;
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::optional<Result>> slots(count);
  size_t next = 0;      // the next item to produce
  size_t consumed = 0;  // items handed to consume()
  bool stop = false;
  std::exception_ptr failure;

  auto fail = [&](const std::exception_ptr& error) {
    {
      std::lock_guard lock(mutex);
      if (!failure) failure = error;
      stop = true;
    }
    changed.notify_all();
  };

  auto work = [&] {
    for (;;) {
      size_t i = 0;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || next == count || next < consumed + window; });
        if (stop || next == count) return;
        i = next++;
      }
      try {
        Result result = produce(i);
        {
          std::lock_guard lock(mutex);
          slots[i] = std::move(result);
        }
        changed.notify_all();
      } catch (...) {
        fail(std::current_exception());
        return;
      }
    }
  };

  std::vector<std::thread> threads;
  for (size_t w = 0; w < std::min(workers, count); ++w) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // carry on with the threads there are
    }
  }
  if (threads.empty()) {
    for (size_t i = 0; i < count; ++i) {
      Result result = produce(i);
      consume(i, result);
    }
    return;
  }

  try {
    for (size_t i = 0; i < count; ++i) {
      Result result;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || slots[i].has_value(); });
        if (stop) break;  // a producer failed
        result = std::move(*slots[i]);
        slots[i].reset();
        consumed = i + 1;
      }
      changed.notify_all();
      consume(i, result);
    }
  } catch (...) {
    fail(std::current_exception());
  }
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace lexbuild
