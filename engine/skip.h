#pragma once
// "Skip and continue": a step of the presenter, a start-up or a battle that
// fails is skipped silently and the next step runs. Every such step goes
// through this one helper, so no platform failure escapes the engine.

#include <exception>

namespace fc {

template <typename F> void skipOnFailure(F &&step) noexcept
{
    try {
        step();
    } catch (...) {
    }
}

} // namespace fc
