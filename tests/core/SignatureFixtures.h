// Comparing signatures in tests by what the matcher counts.
#pragma once

#include "picture/PictureTypes.h"

#include <algorithm>

// Signed positions two signatures share (the average's place left out); the matcher pairs pictures by this
// count. Takes anything with Pos and Neg coefficient lists.
template <class A, class B>
int SharedPositions(const A& a, const B& b)
{
    const auto shared = [](const TWaveletCoefs& x, const TWaveletCoefs& y) {
        int n = 0;
        for (const TWaveletPoint& p : x)
            n += (p.X > 0 || p.Y > 0) && std::find(y.begin(), y.end(), p) != y.end();
        return n;
    };
    return shared(a.Pos, b.Pos) + shared(a.Neg, b.Neg);
}
