// The page frame: head, CSS, title block and build stamp.  The stamp reads
// the library's one clock, so SOURCE_DATE_EPOCH makes a page reproducible.
#include "report/page.h"

#include "platform/platform.h"
#include "report/markup.h"
#include "vorn_b32.h"

#include <cstdio>

namespace vorn::report {
namespace {

// Kept short and free of external resources; the print rules keep
// figures whole on a page and drop the screen's background tints.
const char *const kStyle =
    ":root{color-scheme:light dark}\n"
    "body{font-family:sans-serif;margin:1.5em;color:#000;background:#fff;max-width:72em}\n"
    "h1{font-size:1.5em;margin-bottom:0.2em}h2{font-size:1.2em;border-bottom:1px solid #888}\n"
    "table{border-collapse:collapse;margin:0.5em 0 1em 0;font-size:0.9em}\n"
    "th,td{border:1px solid #999;padding:0.15em 0.5em;text-align:left}\n"
    "td.num{text-align:right;font-variant-numeric:tabular-nums}\n"
    "th[scope=row]{font-weight:normal}caption{text-align:left;"
    "font-weight:bold;padding:0.2em 0}\n"
    "tr.sum th,tr.sum td{font-weight:bold;border-top:2px solid #000}\n"
    "figure{margin:0.5em 0 1.5em 0;display:flex;flex-wrap:wrap;gap:1.5em;align-items:flex-start}\n"
    "svg{max-width:100%;height:auto}\n"
    "svg text{font-family:sans-serif;font-size:11px;fill:#000}svg text.small{font-size:9px}\n"
    "svg text.light{fill:#fff}svg text.axis{font-size:10px;font-style:italic}"
    "svg.defs{position:absolute}\n"
    ".stamp{color:#444;font-size:0.85em}.warning{border-left:4px solid #000;padding-left:0.5em}\n"
    ".swatch{display:inline-block;width:1.2em;height:0.9em;border:1px solid #000;"
    "vertical-align:middle}\n"
    "table.routing td{vertical-align:top}table.routing del{color:#666}"
    ".standard{font-style:italic}.removed,.dates{font-size:0.85em}\n"
    // Dark: the page turns dark, the drawings keep their light ground so
    // that their black labels and the period colours read as in print.
    "@media (prefers-color-scheme:dark){body{color:#eee;background:#161616}"
    "th,td{border-color:#666}h2{border-color:#666}.stamp{color:#bbb}"
    ".warning{border-color:#eee}table.routing del{color:#aaa}"
    "figure svg,td svg,th svg{background:#fff}}\n"
    // Print: A4 portrait; tables break between rows, never inside one;
    // drawings shrink to the page width and wide tables wrap their cells.
    "@page{size:A4 portrait;margin:12mm}\n"
    "@media print{body{margin:0;max-width:none;font-size:9pt;color:#000;background:#fff}"
    "figure{display:block;break-inside:avoid}table{break-inside:auto;max-width:100%}"
    "tr{break-inside:avoid}thead{display:table-header-group}"
    "th,td{padding:0.1em 0.25em;overflow-wrap:anywhere}"
    "table.wide{font-size:6.5pt;width:100%;table-layout:fixed}}\n";

std::string stamp() {
    const platform::LocalTime now = platform::local_time();
    char when[40];
    std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d", now.year, now.month, now.day,
                  now.hour, now.minute);
    char version[64] = {};
    get_vorn_b32_dll_version(version, sizeof version);
    return std::string("Made ") + when + " by " + version;
}

} // namespace

std::string page_open(const std::string &kind, const PageInfo &info) {
    const std::string title = kind + (info.source.empty() ? "" : ": " + info.source);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" xml:lang=\"en\">\n"
           "<head>\n<meta charset=\"UTF-8\"/>\n<title>" +
           escape(title) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n" +
           pattern_defs() + "<h1>" + escape(title) + "</h1>\n<p class=\"stamp\">" +
           escape(stamp()) + "</p>\n";
}

std::string page_close() {
    return "</body>\n</html>\n";
}

std::string section_open(const std::string &id, const std::string &heading) {
    return "<section id=\"" + id + "\">\n<h2>" + escape(heading) + "</h2>\n";
}

std::string section_close() {
    return "</section>\n";
}

std::string paragraph(const std::string &text, const char *css) {
    return std::string("<p") + (*css ? std::string(" class=\"") + css + "\"" : "") + ">" +
           escape(text) + "</p>\n";
}

} // namespace vorn::report
