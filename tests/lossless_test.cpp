// The lossless decompile and the self-check: for each form whose usual
// decompiled line loses bytes, the usual text is caught by the self-check
// and the lossless text compiles to the same record; bytes that no line
// can give are reported by field; generated configurations of the whole
// language come back from their lossless text, which a second round leaves
// as it is.
#include "conf/mkconf_driver.h"
#include "conf/self_check.h"
#include "frame/frame.h"
#include "support/config_generator.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "writer/ascii_writer.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace vorn::test {
namespace {

// A compiled table of the test's own: the thread's registration is
// dropped, so that the next compile does not release it.
struct Compiled {
    table_t *table = nullptr;
    Error result = Error::Ok;
    ~Compiled() { myFree(table, "pTable"); }
};

void compile(const std::string &text, Compiled &out) {
    char err_str[kErrStrSize];
    out.result = read_ascii_table(&out.table, ConfigSource::from_text(text), err_str);
    set_instance_table(nullptr);
}

std::string decompile(table_t *table, bool lossless) {
    TempDir dir;
    const std::string cfg = dir.file("out.cfg");
    EXPECT_EQ(write_ascii_table15(table, cfg.c_str(), nullptr, {.lossless = lossless}), Error::Ok);
    return read_file(cfg);
}

std::string config(const std::string &body) {
    std::string text = "TABLE=TF01.5\nOPTIONS=NOSTANDARDMAPS\n" + body + "\n";
    while (text.size() < 200)
        text += "; padding\n";
    return text;
}

bool names(const SelfCheckResult &check, const std::string &field) {
    for (const RecordDifference &d : check.differences)
        if (d.field.find(field) != std::string::npos)
            return true;
    return false;
}

// Per form: what the usual text loses (a field the self-check names, or ""
// when the usual text is refused), and the lossless text carries it.
TEST(LosslessText, CarriesEveryFormTheUsualTextLoses) {
    PinnedClock clock(kDec4th2026);
    const struct {
        const char *body;
        const char *lost; // "" = the usual text does not compile
    } kCases[] = {
        {"ProtExt=DSS1", "table_te_l2mode"},
        {"ProtExt=1TR6 PMP", ""},
        {"ProtExt=AUTO PMP", ""},
        {"ProtExt=DSS1 PP\nProtInt=DSS1 PP\nProtInt=DSS1 PMP", ""},
        {"ProtInt=DSS1 PMP", ""},
        {"MapCallBackOut1123=456 VOICE", "map"},
        {"MapCallBackIn1=0711 VOICE", "map"},
        {"MapCallBackIn2=0711 DIRECT", "map"},
        {"[08:00] MO\nCmpMSN=123 456", "table_period[1]"},
        {"MapOut5=6\n[08:00] MO\nMapOut1=2\nCmpMSN=123 456", "map"},
        {"Subscriber00=CHINC[5,1] CHSTART[2,CYC]", "table_chinc_second"},
        {"Subscriber01=CHINC[5,7] CHSTART[2,CYC]", "table_chinc_second"},
        {"Currency=CH 10 10 \"\"", "currency_sign"},
        {"Currency=AOCC 1 1 \"\"AB\"", ""},
        {"Redirect1123=456\nNoRedirectCause=10", "table_no_redirect_cause"},
        {"AlternativeLimit=0 HOURLY ALARM", "table_alternative_limit"},
        {"MapCallBackPin1=11,22\nMapCallBackPin=33", "table_callback_pins[0][0]"},
        {"Currency=AOCU 1 1 X M\nMapOut1=2 T1=60 I=30", "map"},
        {"MapOut1=2 0.05\nCurrency=AOCU 1 1 X M", "map"},
        {"Currency=AOCU 1 1 X M\nMapOut1=2 M1=0.12 ST1 M2=8.191 I=30", "map"},
        {"MapOut1=2 655.35 1/2", "map"},
        {"MapCallBackOut1123=456 655.35", ""},
        {"MapOut1=2 0 1/2", "map"},
        {"FreeTone=FOO", "table_free_tone"},
        {"FreeTone=25500 1000", "table_free_tone_cadence"},
        {"RemoteCode=#1\nMapIn5=#123 VOICE", "map"},
        {"MapIn8XXXXXXX=123 VOICE", "map"},
        {"OPTIONS=NOOPTIMIZE\nCmpMSN=123 456", "map"},
        {"MapOut1=2 DTMF\nMapOut3=4 COMPRESS", "map"},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.body);
        Compiled source;
        compile(config(c.body), source);
        ASSERT_EQ(source.result, Error::Ok);
        const SelfCheckResult usual = self_check(decompile(source.table, false), *source.table);
        if (c.lost[0] == '\0')
            EXPECT_NE(usual.result, Error::Ok);
        else
            EXPECT_TRUE(names(usual, c.lost)) << describe_differences(usual.differences);

        const std::string text = decompile(source.table, true);
        const SelfCheckResult lossless = self_check(text, *source.table);
        EXPECT_TRUE(lossless.same())
            << error_name(lossless.result) << " " << lossless.message << "\n"
            << describe_differences(lossless.differences) << text;
        Compiled again;
        compile(text, again);
        ASSERT_EQ(again.result, Error::Ok);
        EXPECT_EQ(decompile(again.table, true), text);
    }
}

// Bytes that no line of the language gives: the lossless text cannot carry
// them, and the self-check names the field.
TEST(LosslessText, SelfCheckNamesWhatNoLineCarries) {
    PinnedClock clock(kDec4th2026);
    using Poke = std::function<void(table_t &)>;
    const struct {
        const char *body;
        Poke poke;
        const char *field;
    } kCases[] = {
        {"ProtExt=DSS1 PP", [](table_t &t) { t.table_te_protocol = PROT_DEFAULT; },
         "table_te_protocol"},
        {"ProtExt=DSS1 PP", [](table_t &t) { t.table_te_l2mode = L2_PMP; }, "table_te_l2mode"},
        {"Currency=E 1 1 AB", [](table_t &t) { t.table_currency.currency_sign[0] = 'a'; },
         "currency_sign"},
        {"Currency=E 1 1 AB", [](table_t &t) { t.table_currency.currency_sign[1] = ' '; },
         "currency_sign"},
        {"Subscriber00=CHINC[5,7] CHSTART[2,CYC]",
         [](table_t &t) { t.table_reserved.table_chinc_first[0] = 30; }, "table_chinc_first"},
        {"FreeTone=NORMAL", [](table_t &t) { t.table_reserved.table_free_tone = 5; },
         "table_free_tone"},
        {"NoRedirectCause=10", [](table_t &t) { t.table_reserved.table_no_redirect_cause[0] = 5; },
         "table_no_redirect_cause"},
        {"AlternativeLimit=30", [](table_t &t) { t.table_reserved.table_alternative_limit = 62; },
         "table_alternative_limit"},
        {"MapOut1=2", [](table_t &t) { t.table_reserved.table_unused_2427[7] = 1; },
         "table_unused_2427"},
        {"MapOut1=2", [](table_t &t) { t.table_map[0].map_mode = 0x04; }, "map"},
        {"MapOut1=2", [](table_t &t) { t.table_map[0].map_code[0] = 'x'; }, "map"},
        {"Restrict1=2", [](table_t &t) { t.table_redirect[0].redirect_mode = 3; }, "redirect_mode"},
        {"MapCallBackPin1=11,22",
         [](table_t &t) { t.table_reserved.table_callback_pins[0][0][0] = '9'; },
         "table_callback_pins[0][0]"},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.body);
        Compiled source;
        compile(config(c.body), source);
        ASSERT_EQ(source.result, Error::Ok);
        c.poke(*source.table);
        const SelfCheckResult check = self_check(decompile(source.table, true), *source.table);
        EXPECT_TRUE(names(check, c.field))
            << error_name(check.result) << describe_differences(check.differences);
    }
}

// What vorn diff needs: two records whose texts are equal still differ by
// the bytes the text cannot show, named by field; the order of the maps,
// which the writer sorts in place, is no difference.
TEST(RecordCompare, NamesBytesTheTextHidesAndIgnoresMapOrder) {
    PinnedClock clock(kDec4th2026);
    Compiled source;
    compile(config("MapOut1=2\nMapIn3=4 VOICE\nMapAll5=6 12.50 1/2"), source);
    ASSERT_EQ(source.result, Error::Ok);
    std::vector<char> copy(kTableSize);
    std::memcpy(copy.data(), source.table, kTableSize);
    auto *other = reinterpret_cast<table_t *>(copy.data());
    std::swap(other->table_map[0], other->table_map[2]);
    EXPECT_TRUE(compare_records(*source.table, *other).empty());

    other->table_reserved.table_unused_2415[1] = 7;
    other->table_crc16 ^= 1;
    EXPECT_EQ(decompile(other, false), decompile(source.table, false));
    const auto differences = compare_records(*source.table, *other);
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(describe_differences(differences), "table_unused_2415: 00 00 -> 00 07\n");
    EXPECT_EQ(compare_records(*source.table, *other, {.stamps = true}).size(), 2u);

    other->table_map[1].map_period = 1;
    const auto moved = compare_records(*source.table, *other);
    ASSERT_EQ(moved.size(), 3u); // the bytes, and the map once on each side
    EXPECT_EQ(moved[1].field, "map");
}

TEST(LosslessText, PeriodTestStartsAreNotCarried) {
    // The period test sets the start times from the clock by the period's
    // position, which the separation of a holiday section shifts.
    PinnedClock clock(kDec4th2026);
    Compiled source;
    compile(config("OPTIONS=PeriodTest\n[08:00] HO MO\nMapOut1=2\n[09:00] TU\nMapOut3=4"), source);
    ASSERT_EQ(source.result, Error::Ok);
    const SelfCheckResult check = self_check(decompile(source.table, true), *source.table);
    EXPECT_TRUE(names(check, "table_period")) << describe_differences(check.differences);
}

TEST(LosslessText, GeneratedConfigurationsComeBack) {
    PinnedClock clock(kDec4th2026);
    int compiled = 0, usual_lost = 0;
    for (uint64_t seed = 1; seed <= 120; ++seed) {
        SCOPED_TRACE(seed);
        ConfigKnobs knobs;
        knobs.sections = static_cast<unsigned>(seed % 7);
        knobs.maps = 20 + static_cast<unsigned>(seed * 7 % 60);
        knobs.standard_maps = seed % 5 != 0;
        knobs.optimize = seed % 4 != 0;
        knobs.settings = true;
        knobs.lossy_forms = true;
        Compiled source;
        compile(generate_config(seed, knobs).text, source);
        if (source.result != Error::Ok)
            continue; // a contradicting protocol pair, too many periods
        ++compiled;
        usual_lost += self_check(decompile(source.table, false), *source.table).same() ? 0 : 1;
        const std::string text = decompile(source.table, true);
        const SelfCheckResult check = self_check(text, *source.table);
        ASSERT_TRUE(check.same()) << error_name(check.result) << " " << check.message << "\n"
                                  << describe_differences(check.differences) << text;
        Compiled again;
        compile(text, again);
        ASSERT_EQ(again.result, Error::Ok);
        EXPECT_EQ(decompile(again.table, true), text);
    }
    EXPECT_GT(compiled, 100);
    EXPECT_GT(usual_lost, compiled * 3 / 4);
}

} // namespace
} // namespace vorn::test
