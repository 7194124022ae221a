// Builders of configuration texts and readers of captured error lines.
#include "support/table_builder.h"

namespace vorn::test {

std::string ascii_config(const std::string &lines) {
    std::string text = lines;
    while (text.size() < 200)
        text += "; padding line of the test configuration\n";
    return text;
}

std::vector<std::string> error_lines(const TraceCapture &cap) {
    std::vector<std::string> out;
    const std::vector<std::string> all = cap.outputs(), bodies = cap.bodies();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].starts_with("[ERR]"))
            out.push_back(bodies[i]);
    return out;
}

} // namespace vorn::test
