// Producing on several threads, consuming in order on the caller's.
#include "compiler/ordered_parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace lexbuild {
namespace {

TEST(OrderedParallel, ResultsAreConsumedInOrderOnTheCallingThread) {
  for (const size_t workers : {1u, 2u, 5u}) {
    std::vector<size_t> seen;
    const auto caller = std::this_thread::get_id();
    ordered_parallel<size_t>(
        1000, workers, 3,
        [](size_t i) {
          // Uneven work, so that later items often finish first.
          if (i % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
          return i * i;
        },
        [&](size_t i, size_t result) {
          EXPECT_EQ(std::this_thread::get_id(), caller);
          EXPECT_EQ(result, i * i);
          seen.push_back(i);
        });
    ASSERT_EQ(seen.size(), 1000u) << workers;
    for (size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], i);
  }
}

TEST(OrderedParallel, NoMoreThanTheWindowWaitsAhead) {
  std::atomic<size_t> consumed{0};
  std::atomic<size_t> worst{0};
  ordered_parallel<int>(
      500, 4, 8,
      [&](size_t i) {
        // An item is only started while fewer than 8 wait before it.
        const size_t ahead = i - consumed.load();
        size_t w = worst.load();
        while (ahead > w && !worst.compare_exchange_weak(w, ahead)) {
        }
        return 0;
      },
      [&](size_t i, int) { consumed = i + 1; });
  EXPECT_LE(worst.load(), 8u);
}

TEST(OrderedParallel, TheFirstFailureOnEitherSideStopsTheWorkAndIsRethrown) {
  std::vector<size_t> seen;
  EXPECT_THROW(ordered_parallel<size_t>(
                   10000, 2, 4,
                   [](size_t i) {
                     if (i == 100) throw std::runtime_error("produce");
                     return i;
                   },
                   [&](size_t i, size_t) { seen.push_back(i); }),
               std::runtime_error);
  EXPECT_LE(seen.size(), 100u) << "nothing after the failed item is consumed";

  std::atomic<size_t> produced{0};
  try {
    ordered_parallel<size_t>(
        10000, 2, 4, [&](size_t i) { return ++produced, i; },
        [](size_t i, size_t) {
          if (i == 10) throw std::logic_error("consume");
        });
    ADD_FAILURE() << "no exception";
  } catch (const std::logic_error& error) {
    EXPECT_STREQ(error.what(), "consume");
  }
  EXPECT_LT(produced.load(), 100u) << "the producers stop soon after";
}

}  // namespace
}  // namespace lexbuild
