// The realtime watch: what counts is the calling thread's calls inside a window, minus the host's own.
#include <gtest/gtest.h>

#include <thread>

#include "host/validate/realtime_watch.h"

namespace watch = vsthost::watch;

TEST(RealtimeWatch, CountsOnlyThisThreadInsideAWindowAndNotTheHostsOwnWork) {
    vsthost_watch_record(watch::kAllocation, "malloc");  // outside any window
    watch::Tally tally;
    {
        watch::Window window(tally);
        vsthost_watch_record(watch::kAllocation, "malloc");
        vsthost_watch_record(watch::kAllocation, "free");
        vsthost_watch_record(watch::kLock, "pthread_mutex_lock");
        {
            watch::Pause hostCallback;
            vsthost_watch_record(watch::kSystemCall, "write");
        }
        std::thread([] { vsthost_watch_record(watch::kSystemCall, "read"); }).join();
        vsthost_watch_record(7, "not a kind");
    }
    vsthost_watch_record(watch::kLock, "pthread_mutex_lock");
    EXPECT_EQ(tally.count[watch::kAllocation], 2u);
    EXPECT_EQ(tally.count[watch::kLock], 1u);
    EXPECT_EQ(tally.count[watch::kSystemCall], 0u) << "the paused write and the other thread's read";
    EXPECT_EQ(tally.describe(), "2 allocations (first malloc), 1 lock call (first pthread_mutex_lock)");

    watch::Tally total;
    total.add(tally);
    total.add(tally);
    EXPECT_EQ(total.describe(), "4 allocations (first malloc), 2 lock calls (first pthread_mutex_lock)");
    EXPECT_TRUE(watch::Tally{}.empty());
    EXPECT_FALSE(watch::interposed()) << "only the vsthost executable interposes";
}
