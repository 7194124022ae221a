// Compile, decompile, compile, decompile: once a configuration has been
// through the writer, compiling and decompiling it again changes nothing.
// The two decompiled files are equal, and so are the tables of the second
// and third compile, over the bundled example and generated configurations.
#include "support/config_generator.h"
#include "support/table_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vorn;

struct RoundTrip {
    test::TempDir dir;

    // Compiles `source`, then decompiles and compiles twice; checks the
    // fixed point and returns the first decompiled text.
    std::string run(const std::string &source) {
        const std::string cfg0 = dir.file("0.cfg"), cfg1 = dir.file("1.cfg"),
                          cfg2 = dir.file("2.cfg"), bin1 = dir.file("1.bin"),
                          bin2 = dir.file("2.bin"), bin3 = dir.file("3.bin");
        test::write_file(cfg0, source);
        EXPECT_EQ(mkconf(cfg0.c_str(), bin1.c_str(), 1), 0);
        EXPECT_EQ(mkconf(cfg1.c_str(), bin1.c_str(), 0), 0);
        EXPECT_EQ(mkconf(cfg1.c_str(), bin2.c_str(), 1), 0);
        EXPECT_EQ(mkconf(cfg2.c_str(), bin2.c_str(), 0), 0);
        EXPECT_EQ(mkconf(cfg2.c_str(), bin3.c_str(), 1), 0);
        const std::string first = test::read_file(cfg1);
        EXPECT_EQ(first, test::read_file(cfg2));
        EXPECT_EQ(test::read_file(bin2), test::read_file(bin3));
        return first;
    }
};

TEST(RoundTrip, BundledExample) {
    test::PinnedClock clock(test::kDec4th2026);
    RoundTrip trip;
    const std::string text =
        trip.run(test::read_file(std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg"));
    EXPECT_TRUE(text.starts_with("TABLE=TF01.5  4.Dec 2026 14:05 (Don't touch!)\n"));
    EXPECT_NE(text.find("\nPABXName=Hanse Logistik Bremen"), std::string::npos);
}

TEST(RoundTrip, GeneratedConfigurations) {
    test::PinnedClock clock(test::kDec4th2026);
    // The generator writes only what the format keeps: map lines with the
    // service words VOICE and DATA (DTMF and special bits of ordinary maps
    // have no word), and settings within the rules listed at its
    // settings_lines().
    for (uint64_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        test::ConfigKnobs knobs;
        knobs.sections = static_cast<unsigned>(seed % 9);
        knobs.empty_sections = static_cast<unsigned>(seed % 2);
        knobs.duplicate_sections = static_cast<unsigned>(seed % 3 == 0);
        knobs.holiday_sections = static_cast<unsigned>(seed % 4 == 1);
        knobs.maps = 20 + static_cast<unsigned>(seed * 7 % 120);
        knobs.standard_maps = seed % 5 != 0;
        knobs.optimize = seed % 7 != 0;
        knobs.settings = seed % 3 != 1;
        const test::GeneratedConfig config = test::generate_config(seed, knobs);
        RoundTrip trip;
        const std::string text = trip.run(config.text);
        // The maps arrive in the file: the first map line of each of these
        // seeds is kept by the optimizer and written back.
        const test::GeneratedMap &first = config.maps.front();
        EXPECT_NE(text.find(first.escape + "=" + first.code), std::string::npos) << text;
    }
}

} // namespace
