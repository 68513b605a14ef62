#pragma once
// Waiting without stopping the program: the wait behind QtClock.

namespace fc {

// Returns after the given number of seconds, processing events meanwhile,
// without spinning the processor. Zero or negative waits return at once.
void Pause(double seconds);

} // namespace fc
