// Helpers for tests of code that writes text: run a writer against a
// temporary stream and get what it wrote, and pin the library's clock to
// one instant.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorn::test {

// What `write` put into a fresh temporary stream.
std::string written_text(const std::function<void(std::FILE *)> &write);

// 4 December 2015, 13:05:09 UTC: the clock of the event-log reports.
inline constexpr long long kDec4th2015 = 1449234309;
// 4 December 2026 14:05:09 UTC, a Friday.
inline constexpr long long kDec4th2026 = 1796393109;

// While it lives, the library's clock reads `epoch` seconds in time zone
// `tz` (SOURCE_DATE_EPOCH and TZ, inherited by child processes; nullptr
// leaves the zone as it is); the previous values come back after.
class PinnedClock {
  public:
    explicit PinnedClock(long long epoch = kDec4th2015, const char *tz = "UTC");
    ~PinnedClock();
    PinnedClock(const PinnedClock &) = delete;
    PinnedClock &operator=(const PinnedClock &) = delete;

  private:
    std::vector<std::pair<const char *, std::optional<std::string>>> m_saved;
};

} // namespace vorn::test
