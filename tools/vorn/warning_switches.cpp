// The warning switches (see warning_switches.h).
#include "warning_switches.h"

namespace vorn::tool {

namespace {

bool known(const std::string &name) {
    return api::find_finding(name.c_str()) != nullptr;
}

std::string names_list() {
    std::string list;
    for (const api::FindingInfo &row : api::finding_table())
        list += (list.empty() ? "" : ", ") + std::string(row.name);
    return list;
}

} // namespace

bool WarningSwitches::take(const std::string &word, std::string &why) {
    const bool no = word.compare(0, 3, "no-") == 0;
    const std::string rest = no ? word.substr(3) : word;
    std::string name = rest;
    if (rest == "error") {
        m_all_errors = !no;
        return true;
    }
    if (rest == "all" && !no) { // every kind shown again
        m_enabled.clear();
        return true;
    }
    const bool error = rest.compare(0, 6, "error=") == 0;
    if (error)
        name = rest.substr(6);
    if (!known(name)) {
        why = "unknown warning switch '-W" + word + "'; the findings are " + names_list();
        return false;
    }
    if (error) {
        m_error[name] = !no;
        if (!no)
            m_enabled[name] = true; // -Werror=<name> shows it, as in GCC
    } else {
        m_enabled[name] = !no;
    }
    return true;
}

std::optional<api::Severity> WarningSwitches::shown(const api::Finding &finding) const {
    if (finding.name.empty())
        return finding.severity;
    if (const auto it = m_enabled.find(finding.name); it != m_enabled.end() && !it->second)
        return std::nullopt;
    const api::Severity base = finding.severity;
    if (const auto it = m_error.find(finding.name); it != m_error.end())
        return it->second ? api::Severity::Error
                          : (base == api::Severity::Error ? api::Severity::Warning : base);
    if (m_all_errors && base == api::Severity::Warning)
        return api::Severity::Error;
    return base;
}

int read_switches(const Args &args, const char *command, WarningSwitches &switches) {
    if (args.flag("--werror"))
        switches.all_errors();
    for (const std::string &word : args.values("-W"))
        if (std::string why; !switches.take(word, why))
            return usage_error(command, why);
    return -1;
}

Option warning_option() {
    return {"-W", 'W', Kind::Word, "NAME",
            "-WNAME, -Wno-NAME, -Werror, -Werror=NAME, -Wno-error=NAME: show, hide or make "
            "errors of findings"};
}

Option werror_option() {
    return {"--werror", 0, Kind::Flag, nullptr, "the same as -Werror: every warning is an error"};
}

} // namespace vorn::tool
