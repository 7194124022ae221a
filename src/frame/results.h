// The named results of the library's functions.  Every layer names the
// causes it reports in an enum of its own whose values are the numbers its
// callers compare and the exports return; code() hands such a value back as
// that number.  The conversion driver maps the configuration results to the
// public VORN_CONF_ numbers in one table (conf/conversion_results.cpp).
#pragma once

#include <type_traits>

namespace vorn {

template <typename Result> constexpr int code(Result result) {
    static_assert(std::is_enum_v<Result>, "code() takes a named result");
    return static_cast<int>(result);
}

// The accessors of the thread's state.
enum class AccessResult : int {
    Ok = 0,
    NoState = -1, // no state object could be had; the output is untouched
};

// The utility exports file_remove, remove_hexfile and get_dll_version.
enum class UtilityResult : int {
    Ok = 0,
    Failed = -1,
};

} // namespace vorn
