// The configuration table of the Vorn-Box: one fixed byte layout of 65,380
// bytes that the box loads as it stands.  The binary table file is this
// record cut after the end slot, so every offset below is also a file offset.
//
// What a reader of this header needs:
//   - table_t and its sub-records, packed, with every size and offset pinned;
//   - the map-mode bits, protocol, option and other value codes;
//   - the working buffer (record plus 3,500 spare map slots) in which tables
//     are built and read, and table_map_slot() to reach slots beyond 1570;
//   - init_fresh_table(): the state a table starts in before parsing;
//   - map_slot_unused(): which map slots count as free;
//   - table_format_ok(): the "TF01.5" check done before any other work.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vorn {

// Records are memory images of the box's little-endian layout; numbers are
// read and written in place.
static_assert(std::endian::native == std::endian::little,
              "table records are little-endian memory images");

// ---- sizes and counts ----------------------------------------------------------

inline constexpr size_t kTableSize = 65380;        // the whole record
inline constexpr size_t kTableHeadSize = 2540;     // everything before table_map
inline constexpr size_t kMapSize = 40;             // one map_t
inline constexpr int MAX_MAP_TABLE_ENTRIES = 1570; // maps a written table may use
inline constexpr int MAP_TABLE_SLOTS = 1571;       // slots in the record (entries + end slot)
inline constexpr int MAX_REDIRECT = 30;
inline constexpr int MAX_CALLBACK_PROVIDERS = 3;
inline constexpr int MAX_PERIODS = 64; // period indices 0..63; 0 = global
inline constexpr int MAX_HOLIDAYS = 50;
inline constexpr int MAX_ESCAPE_LENGTH = 12; // digits of map_escape
inline constexpr int MAX_CALLBACK_PINS = 4;  // per provider
inline constexpr int MAX_CONTROLLERS = 16;
inline constexpr int MAX_FREE_TONE_CADENCE = 10;

// Working buffer: the record followed by room for 3,500 more map slots, so
// that a parser can hold up to 5,070 maps before the optimizer trims them.
inline constexpr size_t kWorkAreaSlots = 3500;
inline constexpr size_t kWorkAreaSize = kWorkAreaSlots * kMapSize;    // 140,000
inline constexpr size_t kWorkBufferSize = kTableSize + kWorkAreaSize; // 205,380
inline constexpr int MAX_WORK_MAP_ENTRIES = 5070;                     // maps while parsing
inline constexpr int WORK_MAP_SLOTS = MAP_TABLE_SLOTS + static_cast<int>(kWorkAreaSlots); // 5071

// ---- format text and version ----------------------------------------------

// A table is of this format when its table_format begins with these six
// characters.
inline constexpr const char *kTableFormat = "TF01.5";
inline constexpr size_t kTableFormatLength = 6;
// The built-in default table's format text; its first six characters are
// the format name.
inline constexpr const char *kDefaultTableFormatText =
    "TF01.5  Vorn-Box Default-Table Oct 27 2015 ";
// The only table version the readers and writers accept (major 1, minor 5).
inline constexpr uint16_t kTableVersion = 0x0105;

// ---- map-mode bits (map_t::map_mode) ------------------------------------------

inline constexpr uint8_t MAP_IN = 0x01;
inline constexpr uint8_t MAP_OUT = 0x02;
inline constexpr uint8_t MAP_CALLBACK1 = 0x04;
inline constexpr uint8_t MAP_CALLBACK2 = 0x08;
inline constexpr uint8_t MAP_CALLBACK3 = 0x0C; // both call-back bits
inline constexpr uint8_t MAP_SPECIAL = 0x10;
inline constexpr uint8_t MAP_COMPRESS = 0x10; // same bit as MAP_SPECIAL
inline constexpr uint8_t MAP_DTMF = 0x20;
inline constexpr uint8_t MAP_VOICE = 0x40;
inline constexpr uint8_t MAP_DATA = 0x80;
inline constexpr uint8_t MAP_KEY_MASK = 0x0F; // low bits select the ASCII key

// map_time value meaning "pass on the network's charge information".
inline constexpr uint16_t MAP_TIME_ORG = 0xFFFF;
// Byte 0 of map_escape of an unused slot; also the fill of every unused byte.
inline constexpr uint8_t UNUSED_BYTE = 0xFF;

// ---- protocol codes -----------------------------------------------------------

// Layer-3 protocol (table_nt_protocol, table_te_protocol).
inline constexpr uint8_t PROT_DSS1 = 0x00;
inline constexpr uint8_t PROT_1TR6 = 0x01;
inline constexpr uint8_t PROT_BILING = 0x02;
inline constexpr uint8_t PROT_AUTO = 0x50;
inline constexpr uint8_t PROT_DEFAULT = 0xFF; // not set
// Layer-2 mode (table_nt_l2mode, table_te_l2mode).
inline constexpr uint8_t L2_PP = 0x15;
inline constexpr uint8_t L2_PMP = 0x14;
inline constexpr uint8_t L2_PMP_ALT = 0x18; // also read as PMP
inline constexpr uint8_t L2_AUTO = 0x50;
inline constexpr uint8_t L2_DEFAULT = 0xFF; // not set

// table_escape.
inline constexpr uint8_t TABLE_ESCAPE_ESCAPE = 1;
inline constexpr uint8_t TABLE_ESCAPE_ASSOCIATE = 2;

// ---- currency modes (k_currency_t::currency_mode) --------------------------------

inline constexpr int8_t CURRENCY_AOCU = 0;
inline constexpr int8_t CURRENCY_AOCC = 1;
inline constexpr int8_t CURRENCY_CH = 2;
inline constexpr int8_t CURRENCY_NL = 3;
inline constexpr int8_t CURRENCY_I = 4;
inline constexpr int8_t CURRENCY_F = 5;
inline constexpr int8_t CURRENCY_AOCUD = 6;
inline constexpr int8_t CURRENCY_AOCCD = 7;
inline constexpr int8_t CURRENCY_E = 8;
inline constexpr int8_t CURRENCY_E2 = 9;
inline constexpr int8_t CURRENCY_P = 10;
inline constexpr int8_t CURRENCY_G = 11;
inline constexpr int CURRENCY_MODES = 12;

// ---- day mask of a period (map_period_t::period_days) ----------------------------

inline constexpr uint8_t DAY_SU = 0x01;
inline constexpr uint8_t DAY_MO = 0x02;
inline constexpr uint8_t DAY_TU = 0x04;
inline constexpr uint8_t DAY_WE = 0x08;
inline constexpr uint8_t DAY_TH = 0x10;
inline constexpr uint8_t DAY_FR = 0x20;
inline constexpr uint8_t DAY_SA = 0x40;
inline constexpr uint8_t DAY_HO = 0x80; // holiday

// ---- redirect mode (redirect_t::redirect_mode, low four bits) ----------------------

inline constexpr uint8_t RE_MODE_MASK = 0x0F;
inline constexpr uint8_t RE_MODE_REDIRECT1 = 1;
inline constexpr uint8_t RE_MODE_REDIRECT2 = 2;
inline constexpr uint8_t RE_MODE_REDIRECT3 = 4;
inline constexpr uint8_t RE_MODE_REDIRECT5 = 6;
inline constexpr uint8_t RE_MODE_RESTRICT = 8;

// ---- call-back flags (mapcb_t::mapcb_flags, per provider) ---------------------------

inline constexpr uint8_t MAPCB_FLAG_TO_USA = 0x01;
inline constexpr uint8_t MAPCB_FLAG_BUSY = 0x08;

// ---- option bits ---------------------------------------------------------------

// table_options
inline constexpr uint8_t OPT_OPTIMIZE_OFF = 0x01;
inline constexpr uint8_t OPT_NO_STANDARD_MAPS = 0x02;
inline constexpr uint8_t OPT_SPECIAL_SIN = 0x04;
inline constexpr uint8_t OPT_MINUTE_MODEL = 0x08;
inline constexpr uint8_t OPT_AOC_TRANSPARENCY = 0x10;
inline constexpr uint8_t OPT_AUTO_DOWN = 0x20;
inline constexpr uint8_t OPT_DEACT_TRANSPARENCY = 0x40;
inline constexpr uint8_t OPT_LOG_EPIC_ERR = 0x80;
// table_options2
inline constexpr uint16_t OPT2_SIGNALING_NO_CARRIER = 0x0001;
inline constexpr uint16_t OPT2_FSK_SIGNAL = 0x0002;
inline constexpr uint16_t OPT2_LOG_CDR = 0x0004;
inline constexpr uint16_t OPT2_PERIOD_TEST = 0x0008;
inline constexpr uint16_t OPT2_NO_BOOT_ALARM = 0x0010;
inline constexpr uint16_t OPT2_SEND_DTE = 0x0020;
inline constexpr uint16_t OPT2_NO_AUTO_ACT_L2 = 0x0100;
inline constexpr uint16_t OPT2_RLI_COUNT = 0x0200;
inline constexpr uint16_t OPT2_NO_SETUP_REPEAT = 0x0400;
inline constexpr uint16_t OPT2_IGNORE_STATUS_MESSAGE = 0x0800;
inline constexpr uint16_t OPT2_AOCS_TRANSPARENCY = 0x1000;
inline constexpr uint16_t OPT2_SAVE_TEI = 0x2000;

// table_s2m_l1mode
inline constexpr uint8_t S2M_L1_AUTO = 0;
inline constexpr uint8_t S2M_L1_CRC4 = 1;
inline constexpr uint8_t S2M_L1_DOUBLEFRAME = 2;

// table_free_tone: 0 plain tone; FFh = cadence in table_free_tone_cadence.
inline constexpr uint8_t FREE_TONE_CADENCE = 0xFF;

// table_alternative_limit
inline constexpr uint8_t ALT_LIMIT_PERCENT_MASK = 0x3F;
inline constexpr uint8_t ALT_LIMIT_ALARM = 0x40;
inline constexpr uint8_t ALT_LIMIT_HOURLY = 0x80;

// table_chstart: bits 0-4 CHSTART number - 1, bits 6-7 kind.
inline constexpr uint8_t CHSTART_NUMBER_MASK = 0x1F;
inline constexpr uint8_t CHSTART_LIN = 0x00;
inline constexpr uint8_t CHSTART_CYC = 0x40;
inline constexpr uint8_t CHSTART_INV = 0x80;
inline constexpr uint8_t CHSTART_ANY = 0xC0;

// table_poll_cli coded form: byte 0 = POLL_CLI_CODED | flags.
inline constexpr uint8_t POLL_CLI_CODED = 0x80;
inline constexpr uint8_t POLL_CLI_BINAER = 0x01;
inline constexpr uint8_t POLL_CLI_SERIAL = 0x02;
inline constexpr uint8_t POLL_CLI_MAXN = 0x04;
inline constexpr uint8_t POLL_CLI_CGPN = 0x08;
inline constexpr uint8_t POLL_CLI_CGS = 0x10;
inline constexpr uint8_t POLL_CLI_CDS = 0x20;

// ---- records ---------------------------------------------------------------------

#pragma pack(push, 1)

struct k_currency_t {
    int8_t currency_mode; // CURRENCY_*
    uint16_t currency_value;
    uint16_t currency_div; // never 0
    char currency_sign[10];
};

struct map_period_t {
    uint8_t period_hour;
    uint8_t period_minute;
    uint8_t period_days; // DAY_* mask; 0 = period not used
};

struct holiday_t {
    uint8_t holiday_day; // 1..31; 0 or FFh = free slot
    uint8_t holiday_month;
};

struct mapcb_t {
    uint8_t mapcb_wait_dial;
    uint8_t mapcb_wait_dtmf;
    char mapcb_dial_first[MAX_CALLBACK_PROVIDERS][6];
    char mapcb_dial_end[MAX_CALLBACK_PROVIDERS][2];
    char mapcb_pin[MAX_CALLBACK_PROVIDERS][20];
    char mapcb_call_end[4];
    uint8_t mapcb_wait_alert;
    uint8_t mapcb_flags[MAX_CALLBACK_PROVIDERS]; // MAPCB_FLAG_*
    uint8_t mapcb_wait_break;
    uint8_t mapcb_wait_disc;
    char mapcb_area[2]; // two characters, not terminated
};

struct dtmf_t {
    uint8_t dtmf_wait_dial;
    uint8_t dtmf_wait_dtmf;
    uint8_t dtmf_count;
    char dtmf_dial_end[3];
};

struct redirect_t {
    char redirect_from[20];
    char redirect_to[20];
    uint8_t redirect_sin;  // 0 = any service
    uint8_t redirect_mode; // RE_MODE_*; 0 or FFh = free slot
};

// Settings added to the format later; bytes without a field stay as read.
struct table_reserved_t {
    uint32_t table_poll_interval;
    char table_remote_poll[20];
    uint32_t table_emergency_pause;
    uint32_t table_cdr_interval;
    uint8_t table_country_code;
    char table_poll_cli[20];
    uint8_t table_chinc_first[2];
    uint8_t table_chinc_second[2];
    uint8_t table_chstart[2];
    char table_controller[MAX_CONTROLLERS];
    uint8_t table_unused_2103[18];
    char table_callback_pins[MAX_CALLBACK_PROVIDERS][MAX_CALLBACK_PINS][20];
    uint8_t table_options;    // OPT_*
    uint8_t table_s2m_l1mode; // S2M_L1_*
    char table_callback_area[MAX_CALLBACK_PROVIDERS][2];
    uint8_t table_free_tone;
    char table_drop_msn[20];
    uint8_t table_no_redirect_cause[2];
    uint8_t table_alternative_limit;
    uint16_t table_options2; // OPT2_*
    char table_own_msn[20];
    uint8_t table_unused_2415[2];
    uint8_t table_free_tone_cadence[MAX_FREE_TONE_CADENCE]; // 100 ms units, FFh ends
    uint8_t table_unused_2427[113];
};

struct map_t {
    char map_escape[13];     // byte 0 FFh = unused slot, 0 = empty slot
    char map_code[20];       // bit 7 of byte 0: written with a leading "|"
    uint8_t map_mode;        // MAP_* bits; 0 with an escape = CmpMSN
    uint8_t map_esclen_rank; // bits 0-3 map_esclen, bits 4-7 map_rank
    uint8_t map_period;
    uint8_t map_charge_start;
    uint8_t map_charge_add;
    uint16_t map_time; // hundredths of a second; 0 none; MAP_TIME_ORG
};

struct table_t {
    uint16_t table_crc16;
    char table_format[76];
    char table_comment[76];
    char table_init_name[40];
    char table_password[20];
    char table_remote_code[20];
    char table_remote_oad[3][20];
    char table_remote_callback[20];
    uint8_t table_nt_l2mode;
    uint8_t table_te_l2mode;
    uint8_t table_nt_protocol;
    uint8_t table_te_protocol;
    uint8_t table_escape;
    k_currency_t table_currency;
    int16_t table_max_period_entries;
    int16_t table_holiday_entries;
    int16_t table_map_esclen[MAX_ESCAPE_LENGTH + 1];
    int16_t table_max_map_entries;
    int16_t table_used_map_entries;
    int16_t table_max_redirect_entries;
    int16_t table_max_callback_providers;
    map_period_t table_period[MAX_PERIODS];
    holiday_t table_holiday[MAX_HOLIDAYS];
    mapcb_t table_mapcb;
    dtmf_t table_dtmf;
    redirect_t table_redirect[MAX_REDIRECT];
    table_reserved_t table_reserved;
    map_t table_map[MAP_TABLE_SLOTS];
};

#pragma pack(pop)

// ---- layout pins -------------------------------------------------------------------

static_assert(sizeof(k_currency_t) == 15);
static_assert(offsetof(k_currency_t, currency_mode) == 0);
static_assert(offsetof(k_currency_t, currency_value) == 1);
static_assert(offsetof(k_currency_t, currency_div) == 3);
static_assert(offsetof(k_currency_t, currency_sign) == 5);

static_assert(sizeof(map_period_t) == 3);
static_assert(offsetof(map_period_t, period_hour) == 0);
static_assert(offsetof(map_period_t, period_minute) == 1);
static_assert(offsetof(map_period_t, period_days) == 2);

static_assert(sizeof(holiday_t) == 2);
static_assert(offsetof(holiday_t, holiday_day) == 0);
static_assert(offsetof(holiday_t, holiday_month) == 1);

static_assert(sizeof(mapcb_t) == 98);
static_assert(sizeof(dtmf_t) == 6);

static_assert(sizeof(redirect_t) == 42);
static_assert(offsetof(redirect_t, redirect_from) == 0);
static_assert(offsetof(redirect_t, redirect_to) == 20);
static_assert(offsetof(redirect_t, redirect_sin) == 40);
static_assert(offsetof(redirect_t, redirect_mode) == 41);

static_assert(sizeof(table_reserved_t) == 512);

static_assert(sizeof(map_t) == kMapSize);
static_assert(offsetof(map_t, map_escape) == 0);
static_assert(offsetof(map_t, map_code) == 13);
static_assert(offsetof(map_t, map_mode) == 33);
static_assert(offsetof(map_t, map_esclen_rank) == 34);
static_assert(offsetof(map_t, map_period) == 35);
static_assert(offsetof(map_t, map_charge_start) == 36);
static_assert(offsetof(map_t, map_charge_add) == 37);
static_assert(offsetof(map_t, map_time) == 38);

static_assert(sizeof(table_t) == kTableSize);
static_assert(offsetof(table_t, table_crc16) == 0);
static_assert(offsetof(table_t, table_format) == 2);
static_assert(offsetof(table_t, table_comment) == 78);
static_assert(offsetof(table_t, table_init_name) == 154);
static_assert(offsetof(table_t, table_password) == 194);
static_assert(offsetof(table_t, table_remote_code) == 214);
static_assert(offsetof(table_t, table_remote_oad) == 234);
static_assert(offsetof(table_t, table_remote_callback) == 294);
static_assert(offsetof(table_t, table_nt_l2mode) == 314);
static_assert(offsetof(table_t, table_te_l2mode) == 315);
static_assert(offsetof(table_t, table_nt_protocol) == 316);
static_assert(offsetof(table_t, table_te_protocol) == 317);
static_assert(offsetof(table_t, table_escape) == 318);
static_assert(offsetof(table_t, table_currency) == 319);
static_assert(offsetof(table_t, table_max_period_entries) == 334);
static_assert(offsetof(table_t, table_holiday_entries) == 336);
static_assert(offsetof(table_t, table_map_esclen) == 338);
static_assert(offsetof(table_t, table_max_map_entries) == 364);
static_assert(offsetof(table_t, table_used_map_entries) == 366);
static_assert(offsetof(table_t, table_max_redirect_entries) == 368);
static_assert(offsetof(table_t, table_max_callback_providers) == 370);
static_assert(offsetof(table_t, table_period) == 372);
static_assert(offsetof(table_t, table_holiday) == 564);
static_assert(offsetof(table_t, table_mapcb) == 664);
static_assert(offsetof(table_t, table_dtmf) == 762);
static_assert(offsetof(table_t, table_redirect) == 768);
static_assert(offsetof(table_t, table_reserved) == 2028);
static_assert(offsetof(table_t, table_map) == kTableHeadSize);

// mapcb_t and dtmf_t fields, as offsets in the table.
inline constexpr size_t kMapcbAt = offsetof(table_t, table_mapcb);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_wait_dial) == 664);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_wait_dtmf) == 665);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_dial_first) == 666);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_dial_end) == 684);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_pin) == 690);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_call_end) == 750);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_wait_alert) == 754);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_flags) == 755);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_wait_break) == 758);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_wait_disc) == 759);
static_assert(kMapcbAt + offsetof(mapcb_t, mapcb_area) == 760);

inline constexpr size_t kDtmfAt = offsetof(table_t, table_dtmf);
static_assert(kDtmfAt + offsetof(dtmf_t, dtmf_wait_dial) == 762);
static_assert(kDtmfAt + offsetof(dtmf_t, dtmf_wait_dtmf) == 763);
static_assert(kDtmfAt + offsetof(dtmf_t, dtmf_count) == 764);
static_assert(kDtmfAt + offsetof(dtmf_t, dtmf_dial_end) == 765);

// table_reserved_t fields, as offsets in the table.
inline constexpr size_t kReservedAt = offsetof(table_t, table_reserved);
static_assert(kReservedAt + offsetof(table_reserved_t, table_poll_interval) == 2028);
static_assert(kReservedAt + offsetof(table_reserved_t, table_remote_poll) == 2032);
static_assert(kReservedAt + offsetof(table_reserved_t, table_emergency_pause) == 2052);
static_assert(kReservedAt + offsetof(table_reserved_t, table_cdr_interval) == 2056);
static_assert(kReservedAt + offsetof(table_reserved_t, table_country_code) == 2060);
static_assert(kReservedAt + offsetof(table_reserved_t, table_poll_cli) == 2061);
static_assert(kReservedAt + offsetof(table_reserved_t, table_chinc_first) == 2081);
static_assert(kReservedAt + offsetof(table_reserved_t, table_chinc_second) == 2083);
static_assert(kReservedAt + offsetof(table_reserved_t, table_chstart) == 2085);
static_assert(kReservedAt + offsetof(table_reserved_t, table_controller) == 2087);
static_assert(kReservedAt + offsetof(table_reserved_t, table_unused_2103) == 2103);
static_assert(kReservedAt + offsetof(table_reserved_t, table_callback_pins) == 2121);
static_assert(kReservedAt + offsetof(table_reserved_t, table_options) == 2361);
static_assert(kReservedAt + offsetof(table_reserved_t, table_s2m_l1mode) == 2362);
static_assert(kReservedAt + offsetof(table_reserved_t, table_callback_area) == 2363);
static_assert(kReservedAt + offsetof(table_reserved_t, table_free_tone) == 2369);
static_assert(kReservedAt + offsetof(table_reserved_t, table_drop_msn) == 2370);
static_assert(kReservedAt + offsetof(table_reserved_t, table_no_redirect_cause) == 2390);
static_assert(kReservedAt + offsetof(table_reserved_t, table_alternative_limit) == 2392);
static_assert(kReservedAt + offsetof(table_reserved_t, table_options2) == 2393);
static_assert(kReservedAt + offsetof(table_reserved_t, table_own_msn) == 2395);
static_assert(kReservedAt + offsetof(table_reserved_t, table_unused_2415) == 2415);
static_assert(kReservedAt + offsetof(table_reserved_t, table_free_tone_cadence) == 2417);
static_assert(kReservedAt + offsetof(table_reserved_t, table_unused_2427) == 2427);

static_assert(kTableHeadSize + MAP_TABLE_SLOTS * kMapSize == kTableSize);
static_assert(kWorkBufferSize == 205380);
static_assert(WORK_MAP_SLOTS == MAX_WORK_MAP_ENTRIES + 1);

// ---- map_t helpers ----------------------------------------------------------------

// Byte 34 of a map holds two numbers: the escape length and the rank.
inline uint8_t map_esclen(const map_t &map) {
    return map.map_esclen_rank & 0x0F;
}
inline uint8_t map_rank(const map_t &map) {
    return map.map_esclen_rank >> 4;
}
inline void set_map_esclen(map_t &map, unsigned esclen) {
    map.map_esclen_rank = static_cast<uint8_t>((map.map_esclen_rank & 0xF0) | (esclen & 0x0F));
}
inline void set_map_rank(map_t &map, unsigned rank) {
    map.map_esclen_rank = static_cast<uint8_t>((map.map_esclen_rank & 0x0F) | ((rank & 0x0F) << 4));
}

// In the minute model bytes 36 to 39 of a map are one charge-parameter word.
uint32_t map_charge_word(const map_t &map);
void set_map_charge_word(map_t &map, uint32_t word);

// ---- rules shared by every part that handles a table --------------------------------

// Slot `index` of the map array, counting on into the work area behind the
// record.  `table` must be a working buffer (kWorkBufferSize bytes) when
// index >= MAP_TABLE_SLOTS; index must be below WORK_MAP_SLOTS.
map_t *table_map_slot(table_t *table, size_t index);
const map_t *table_map_slot(const table_t *table, size_t index);

// Puts the record (its first kTableSize bytes) into the state a table starts
// in before a configuration is parsed: every map slot FFh, the head zero
// except the capacities, the currency divisor, the four protocol bytes (FFh)
// and the call-back and DTMF defaults.
void init_fresh_table(table_t *table);
// Fills the work area behind the record of a working buffer with FFh.
void fill_work_area(table_t *table);

// A map slot is unused when its escape starts with FFh, when it has neither
// mode nor escape, or when its mode is FFh and equal to the escape's first
// byte.
bool map_slot_unused(const map_t &map);

// True when table_format begins with "TF01.5".
bool table_format_ok(const table_t *table);

// Bytes of the record that a binary file holds: the head plus the used maps
// and the end slot, 2540 + 40 x (used + 1).
size_t used_table_size(const table_t *table);

// Copies a fixed text field of `size` bytes into out (room for size + 1),
// always terminated, so fields read from a damaged file can be printed.
void copy_field(char *out, const char *field, size_t size);

} // namespace vorn
