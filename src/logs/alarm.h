// The event (alarm) log converter behind the export mkalarm.
//
// The box keeps its events in a ring queue; a host fetches that memory as a
// binary file, and the converter appends a text report of the stored events,
// oldest first, to a text file.  Two layouts exist: event version 1 (a fixed
// 2854-byte buffer of 40 events) and version 2 (a 19-byte header, the queue's
// entries of 75 bytes each and the device name behind them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "frame/error.h"
#include "logs/conversion_stats.h"

namespace vorn {

#pragma pack(push, 1)
// The queue header: five signed 16-bit fields.
struct alarm_queue_t {
    int16_t size; // ring capacity (40 or 100); -1 for an empty log
    int16_t count;
    int16_t overflow;
    int16_t first; // ring index of the oldest event
    int16_t last;  // ring index of the newest event
};

// One event as both versions store it.
struct alarm_record_t {
    uint8_t second;
    uint8_t minute;
    uint8_t hour;
    uint8_t day;
    uint8_t month;
    uint8_t year;
    uint16_t pid;
    uint8_t err_class;
    uint16_t err_code;
};

// Version 2: the record with its text and the box address that raised it.
struct alarm_entry_t {
    alarm_record_t record;
    char alarm_string[60];
    uint32_t address;
};

inline constexpr int kAlarmEventsV1 = 40;
inline constexpr int kAlarmEventsV2 = 100;
inline constexpr size_t kAlarmTextSize = 60;

// Version 1: the whole log.
struct alarm_buffer_t {
    uint8_t version;
    uint8_t reserved[2];
    uint8_t whole_count;
    alarm_queue_t acq;
    alarm_record_t records[kAlarmEventsV1];
    char alarm_string[kAlarmEventsV1][kAlarmTextSize];
};

// Version 2: the header in front of the entries.
struct alarm_buffer2_t {
    uint8_t version;
    uint8_t reserved[2];
    uint16_t whole_count;
    alarm_queue_t acq;
    uint32_t alarm_ptr;
};
#pragma pack(pop)

static_assert(sizeof(alarm_queue_t) == 10);
static_assert(offsetof(alarm_queue_t, count) == 2 && offsetof(alarm_queue_t, overflow) == 4 &&
              offsetof(alarm_queue_t, first) == 6 && offsetof(alarm_queue_t, last) == 8);
static_assert(sizeof(alarm_record_t) == 11);
static_assert(offsetof(alarm_record_t, minute) == 1 && offsetof(alarm_record_t, hour) == 2 &&
              offsetof(alarm_record_t, day) == 3 && offsetof(alarm_record_t, month) == 4 &&
              offsetof(alarm_record_t, year) == 5 && offsetof(alarm_record_t, pid) == 6 &&
              offsetof(alarm_record_t, err_class) == 8 && offsetof(alarm_record_t, err_code) == 9);
static_assert(sizeof(alarm_entry_t) == 75);
static_assert(offsetof(alarm_entry_t, alarm_string) == 11 &&
              offsetof(alarm_entry_t, address) == 71);
static_assert(sizeof(alarm_buffer_t) == 2854);
static_assert(offsetof(alarm_buffer_t, whole_count) == 3 && offsetof(alarm_buffer_t, acq) == 4 &&
              offsetof(alarm_buffer_t, records) == 14 &&
              offsetof(alarm_buffer_t, alarm_string) == 454);
static_assert(sizeof(alarm_buffer2_t) == 19);
static_assert(offsetof(alarm_buffer2_t, whole_count) == 3 && offsetof(alarm_buffer2_t, acq) == 5 &&
              offsetof(alarm_buffer2_t, alarm_ptr) == 15);

// Converts the event log open in `binary` (read from its start) and appends
// the report to `text`, or only checks and traces the log when `text` is
// null.  `source` names where the log came from, `headline` is written above
// the version line; both may be null or empty.  Returns Ok; CannotRead for
// an empty file, NoMemory, ShortRead when the file could not be read to its
// end, UnknownEventVersion.  The events listed are counted into `stats`
// when it is given.
Error convert_alarm(std::FILE *binary, std::FILE *text, const char *source, const char *headline,
                    logs::AlarmStats *stats = nullptr);

// All of mkalarm: opens the files, converts, closes.  On a failure
// `message` (when given) receives the fixed message for the host, and the
// outcome names the file that failed.
JobOutcome make_alarm_report(const char *textfile, const char *binfile, int32_t direction,
                             const char *source, const char *headline, std::string *message,
                             logs::AlarmStats *stats = nullptr);

} // namespace vorn
