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

std::string TempFiles::make() {
    const std::string folder = temporary_folder();
    auto file = std::make_unique<api::UnnamedFile>();
    api::set_last_error(0);
    if (!file->create(folder)) {
        job_failed("cannot create a temporary file in \"" + folder +
                   "\": " + api::system_error_text(api::last_error()));
        return {};
    }
    m_files.push_back(std::move(file));
    return m_files.back()->path();
}

} // namespace vorn::tool
