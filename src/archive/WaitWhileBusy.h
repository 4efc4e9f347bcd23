// The wait for a busy archiver library: poll its busy check, processing pending window messages
// between polls, until it reports free or the time limit has passed.
#pragma once

#include <functional>

namespace toravin {

// True as soon as `busy` reports false; false when more than `limitMs` milliseconds have passed
// while it still reported true. Polls without sleeping, as the window must stay responsive and
// a library that became free must be used at once.
bool WaitWhileBusy(const std::function<bool()>& busy, int limitMs);

}  // namespace toravin
