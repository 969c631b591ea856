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

/// Items handed over together: one claim and one hand-over per batch keep
/// the threads' synchronisations few, while enough batches stay in flight
/// to keep every worker busy and the last one short.
inline size_t ordered_batch_size(size_t count, size_t workers, size_t window) {
  constexpr size_t kLargestBatch = 32;
  constexpr size_t kBatchesPerWorker = 8;
  const size_t by_count = count / (workers * kBatchesPerWorker);
  const size_t by_window = window / (workers + 1);
  return std::clamp<size_t>(std::min(by_count, by_window), 1, kLargestBatch);
}

/// Calls produce(i) for i = 0 to count - 1 on up to `workers` threads and
/// consume(i, result) on the calling thread in ascending i. At most `window`
/// results wait to be consumed, which bounds the memory they take. Items go
/// to the threads in batches (ordered_batch_size), so a batch, not an item,
/// costs the synchronisations. The first exception thrown by either side
/// stops the work; it is rethrown here once every thread has ended.
template <typename Result, typename Produce, typename Consume>
void ordered_parallel(size_t count, size_t workers, size_t window, Produce&& produce,
                      Consume&& consume) {
  window = std::max<size_t>(window, 1);
  auto plain_loop = [&] {
    for (size_t i = 0; i < count; ++i) {
      Result result = produce(i);
      consume(i, result);
    }
  };
  if (workers <= 1 || count < 2) {
    plain_loop();
    return;
  }

  const size_t batch = ordered_batch_size(count, workers, window);
  const size_t batches = (count + batch - 1) / batch;
  const auto batch_start = [batch](size_t b) { return b * batch; };
  const auto batch_end = [batch, count](size_t b) { return std::min(count, (b + 1) * batch); };

  std::mutex mutex;
  std::condition_variable ready;  // a batch was handed over (the caller waits)
  std::condition_variable room;   // the window moved on (the workers wait)
  std::vector<std::optional<std::vector<Result>>> slots(batches);
  size_t next = 0;      // the next batch to produce
  size_t consumed = 0;  // items before this one have been consumed
  bool stop = false;
  std::exception_ptr failure;

  auto fail = [&](const std::exception_ptr& error) {
    {
      std::lock_guard lock(mutex);
      if (!failure) failure = error;
      stop = true;
    }
    ready.notify_all();
    room.notify_all();
  };

  auto work = [&] {
    std::vector<Result> results;
    for (;;) {
      size_t b = 0;
      {
        std::unique_lock lock(mutex);
        // A batch starts only when all of it lies within the window.
        room.wait(lock,
                  [&] { return stop || next == batches || batch_end(next) <= consumed + window; });
        if (stop || next == batches) return;
        b = next++;
      }
      try {
        results.clear();
        for (size_t i = batch_start(b); i < batch_end(b); ++i) results.push_back(produce(i));
        {
          std::lock_guard lock(mutex);
          slots[b] = std::move(results);
        }
        ready.notify_one();
      } catch (...) {
        fail(std::current_exception());
        return;
      }
    }
  };

  std::vector<std::thread> threads;
  for (size_t w = 0; w < std::min(workers, batches); ++w) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // carry on with the threads there are
    }
  }
  if (threads.empty()) {
    plain_loop();
    return;
  }

  try {
    for (size_t b = 0; b < batches; ++b) {
      std::vector<Result> results;
      {
        std::unique_lock lock(mutex);
        consumed = batch_start(b);
        room.notify_all();
        ready.wait(lock, [&] { return stop || slots[b].has_value(); });
        if (stop) break;  // a producer failed
        results = std::move(*slots[b]);
        slots[b].reset();
      }
      for (size_t i = batch_start(b); i < batch_end(b); ++i) {
        consume(i, results[i - batch_start(b)]);
      }
    }
  } catch (...) {
    fail(std::current_exception());
  }
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace lexbuild
