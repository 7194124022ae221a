// Builds binary event logs of versions 1 and 2 field by field, so that tests
// and the example generator describe a log by its contents, not by bytes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace vorn::test {

struct AlarmEvent {
    uint8_t day = 1;
    uint8_t month = 1;
    uint8_t year = 15;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint16_t pid = 0;
    uint8_t err_class = 0;
    uint16_t err_code = 0;
    std::string text;     // at most 60 bytes are stored; 60 leave no terminator
    uint32_t address = 0; // version 2 only
};

class AlarmLogBuilder {
  public:
    // version is the first byte of the file; 1 lays the log out as version 1,
    // anything else as version 2.
    explicit AlarmLogBuilder(uint8_t version);

    AlarmLogBuilder &whole_count(uint16_t count); // version 1 keeps the low byte
    AlarmLogBuilder &queue(int16_t size, int16_t count, int16_t overflow, int16_t first,
                           int16_t last);
    AlarmLogBuilder &alarm_ptr(uint32_t address);
    AlarmLogBuilder &event(int index, const AlarmEvent &event);
    // Version 2: the number of 75-byte entries in the file (default: the
    // stored queue size, none when it is not positive).
    AlarmLogBuilder &entries(int count);
    // Version 2: the device name behind the entries, with or without its
    // terminating zero byte.
    AlarmLogBuilder &device(const std::string &name, bool terminated = true);

    std::string build() const;

  private:
    uint8_t m_version;
    uint16_t m_whole = 0;
    int16_t m_queue[5] = {};
    uint32_t m_alarm_ptr = 0;
    std::map<int, AlarmEvent> m_events;
    std::optional<int> m_entries;
    std::optional<std::string> m_device;
};

} // namespace vorn::test
