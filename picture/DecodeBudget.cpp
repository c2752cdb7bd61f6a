#include "picture/DecodeBudget.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace {

std::mutex g_mutex;
std::condition_variable g_released;
int64_t g_inUse = 0;

}  // namespace

DecodeBudgetLease::DecodeBudgetLease(int64_t bytes) : bytes_(std::clamp<int64_t>(bytes, 0, kSharedDecodeBudget)) {
    std::unique_lock lock(g_mutex);
    g_released.wait(lock, [this] { return g_inUse + bytes_ <= kSharedDecodeBudget; });
    g_inUse += bytes_;
}

DecodeBudgetLease::~DecodeBudgetLease() {
    {
        std::lock_guard lock(g_mutex);
        g_inUse -= bytes_;
    }
    g_released.notify_all();
}

int64_t DecodeBudgetLease::InUse() {
    std::lock_guard lock(g_mutex);
    return g_inUse;
}
