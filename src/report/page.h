// The frame shared by every report page: the XHTML head with the page's
// CSS, the title block with the build stamp and the closing tags.
#pragma once

#include "report/report.h"

#include <string>

namespace vorn::report {

// Everything up to and including the title block and the pattern
// definitions.  `kind` names what the page shows ("Configuration table").
std::string page_open(const std::string &kind, const PageInfo &info);
std::string page_close();

// A section with its heading; `id` becomes the section's anchor.
std::string section_open(const std::string &id, const std::string &heading);
std::string section_close();

// A paragraph of escaped text.
std::string paragraph(const std::string &text, const char *css = "");

} // namespace vorn::report
