// The library's one vocabulary of errors: every error has its row of words
// and leaves every export as a number that export documents, so that a new
// error cannot reach a host untranslated.
#include "conf/mkconf_driver.h"
#include "frame/error.h"
#include "frame/export_results.h"
#include "frame/frame.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

using namespace vorn;

namespace {

std::vector<Error> every_error() {
    std::vector<Error> all;
    for (size_t i = 0; i < kErrorCount; ++i)
        all.push_back(static_cast<Error>(i));
    return all;
}

} // namespace

// Each error has a name that finds it again and words of its own: a text
// that two errors shared would be written twice or tell two causes alike.
TEST(ErrorTable, EveryErrorHasItsOwnNameAndWords) {
    std::set<std::string> names, texts;
    for (Error e : every_error()) {
        const std::string name = error_name(e), text = error_text(e);
        SCOPED_TRACE(name);
        EXPECT_FALSE(name.empty());
        EXPECT_FALSE(text.empty());
        EXPECT_TRUE(names.insert(name).second);
        EXPECT_TRUE(texts.insert(text).second);
        Error found = Error::Ok;
        EXPECT_TRUE(error_from_name(name, found));
        EXPECT_EQ(found, e);
    }
    Error unchanged = Error::NoMemory;
    EXPECT_FALSE(error_from_name("no_such_error", unchanged));
    EXPECT_EQ(unchanged, Error::NoMemory);
    EXPECT_EQ(file_error_message(Error::CannotWrite, nullptr), "Cannot Write \"NULL\"!\n");
}

// Every error through every export: Ok is 0 everywhere, a failure is a
// number the export documents (mkconf's with its text in the box's
// vocabulary and its words for a user), and mkconf's steps never show 0
// for a failure in their trace.
TEST(ErrorTable, EveryErrorLeavesEachExportAsADocumentedNumber) {
    const std::set<int> mkconf = {
        VORN_CONF_WARNING,      VORN_CONF_WRITE_FAILED, VORN_CONF_CANNOT_READ,
        VORN_CONF_CANNOT_WRITE, VORN_CONF_NO_MEMORY,    VORN_CONF_WRONG_FORMAT,
        VORN_CONF_WRONG_VALUE,  VORN_CONF_SYNTAX_ERROR, VORN_CONF_TOO_MANY};
    const struct {
        ResultFamily family;
        std::set<int> documented;
    } exports[] = {
        {ResultFamily::Mkconf, mkconf},
        // mkalarm -1 to -4; mklogcall up to -9; mktrace -19 for an empty
        // trace and 1 for one that ends at invalid data.
        {ResultFamily::Converter, {-1, -2, -3, -4, -5, -6, -7, -8, -9, -19, 1}},
        {ResultFamily::Merge, {-1, -2, -3, -4, -5}},
        {ResultFamily::Utility, {-1}},
    };
    for (Error e : every_error()) {
        SCOPED_TRACE(error_name(e));
        for (const auto &x : exports) {
            const int n = export_result(x.family, e);
            if (e == Error::Ok)
                EXPECT_EQ(n, 0);
            else
                EXPECT_EQ(x.documented.count(n), 1u) << n;
        }
        for (ResultFamily step :
             {ResultFamily::ConfigReader, ResultFamily::TableFile, ResultFamily::AsciiWriter})
            EXPECT_EQ(export_result(step, e) == 0, e == Error::Ok);
    }
    std::set<std::string> words;
    for (int n : mkconf) {
        EXPECT_STRNE(vorn::error_text(-n), "") << n;
        words.insert(mkconf_result_words(n));
    }
    EXPECT_EQ(words.size(), mkconf.size());
}
