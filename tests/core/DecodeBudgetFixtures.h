// Whether a picture's decode waits while the shared decoding budget is held elsewhere.
#pragma once

#include "picture/Bitmap.h"
#include "picture/DecodeBudget.h"
#include "picture/PictureLoader.h"

#include <gtest/gtest.h>

#include <QString>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace fixtures {

// Holds the whole budget, starts decoding `path` on another thread, and lets go after a while: the decode
// must not have finished before, must finish after, and must give all of the budget back.
inline ::testing::AssertionResult DecodeWaitsForTheBudget(const QString& path)
{
    std::optional<DecodeBudgetLease> other(std::in_place, kSharedDecodeBudget);
    std::atomic<bool> done{false};
    std::thread decoding([&] {
        TBitmap work;
        LoadWorkPicture(path, work, 100, 100);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const bool early = done.load();
    other.reset();
    decoding.join();
    if (early)
        return ::testing::AssertionFailure() << "decoded while the budget was held elsewhere";
    if (!done.load())
        return ::testing::AssertionFailure() << "did not decode";
    if (DecodeBudgetLease::InUse() != 0)
        return ::testing::AssertionFailure() << DecodeBudgetLease::InUse() << " bytes of the budget still held";
    return ::testing::AssertionSuccess();
}

}  // namespace fixtures
