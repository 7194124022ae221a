// The tool's temporary files (see temp_files.h).
#include "temp_files.h"

#include "command.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

namespace vorn::tool {

std::string temporary_folder() {
    // The system's choice: TMPDIR on POSIX systems when it names a folder.
    return api::temp_folder();
}

void use_temporary_folder() {
    // set_TmpPath keeps the folder of the path it is given.
    set_TmpPath((temporary_folder() + "/vorn").c_str(), 1);
}

TempFiles::~TempFiles() {
    for (const std::string &path : m_paths)
        api::remove_file(path.c_str());
}

std::string TempFiles::make(const char *stem) {
    // make_fname takes the name behind the last "\\" before any "/", so the
    // name joins a Windows folder with its own separator.
    const std::string folder = temporary_folder();
    const char *separator = folder.find('\\') != std::string::npos ? "\\" : "/";
    const std::string pattern = folder + separator + stem;
    char name[api::kPathMax];
    api::set_last_error(0);
    if (pattern.size() + 12 >= sizeof name ||
        make_fname(pattern.c_str(), name, nullptr) == nullptr) {
        const int error = api::last_error();
        job_failed("cannot create a temporary file in \"" + folder + "\"" +
                   (error != 0 ? ": " + api::system_error_text(error)
                               : std::string(": its name is too long")));
        return {};
    }
    m_paths.emplace_back(name);
    return name;
}

} // namespace vorn::tool
