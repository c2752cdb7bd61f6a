// One memory budget for the pictures being decoded at the same time on every thread of a search.
#pragma once

#include "picture/DecodeLimits.h"

#include <cstdint>

// Twice the one-picture ceiling: any single picture fits, but eight decoding threads cannot each hold one.
constexpr int64_t kSharedDecodeBudget = 2 * kMaxDecodeBytes;

// Holds `bytes` of the shared budget while it lives, waiting until that much is free; a claim beyond the
// whole budget is cut to it, so it waits for every other picture to finish but never for ever.
class DecodeBudgetLease {
public:
    explicit DecodeBudgetLease(int64_t bytes);
    ~DecodeBudgetLease();
    DecodeBudgetLease(const DecodeBudgetLease&) = delete;
    DecodeBudgetLease& operator=(const DecodeBudgetLease&) = delete;

    // Bytes of the budget held by all leases now; for tests.
    static int64_t InUse();

private:
    int64_t bytes_;
};
