#pragma once
// Argument checks of the backends built on the engine (its own window, or the
// copy a live office is kept equal to), so that they refuse the same values
// with the same errors as the built-in word processor.

#include "engine/failures.h"
#include "generator/automation.h"

#include <limits>

namespace brevix::word {

// An automation boolean: True (-1) or 1, False (0); anything else is refused.
inline bool BoolArgument(int value)
{
    if (value == True || value == 1)
        return true;
    if (value == False)
        return false;
    throw engine::ValueOutOfRange();
}

// A range position, which the word processor keeps in 32 bits.
inline int PositionArgument(long position)
{
    if (position < 0 || position > std::numeric_limits<int>::max())
        throw RuntimeError::SubscriptOutOfRange();
    return static_cast<int>(position);
}

class PointsGlobal : public Global {
public:
    float InchesToPoints(float inches) override { return inches * 72.0f; }
};

} // namespace brevix::word
