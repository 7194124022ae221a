// The .map listing of a compilation and the index step it prints.
#include "writer/map_listing.h"

#include "frame/frame.h"
#include "optimize/optimize.h"
#include "tabletext/map_text.h"
#include "trace/trace.h"
#include "vorn_b32.h"
#include "writer/field_formatters.h"

#include <algorithm>
#include <initializer_list>

namespace vorn {

namespace {

// Source lines and label that the output step's trace lines name.
constexpr const char *kSourceLabel = "CONF15";
constexpr unsigned kLineOutput = 1480;
constexpr unsigned kLineIndexing = 1530;

void banner(char letter, const char *format, unsigned line) {
    char row[67];
    std::fill(row, row + 65, letter);
    row[65] = '\n';
    row[66] = '\0';
    dbg_printf("%s", row);
    dbg_printf(format, line);
    dbg_printf("%s", row);
}

void write_head(const table_t *table, std::FILE *mfp) {
    const char *tool = nullptr;
    if (get_tool_name(&tool) != Error::Ok || tool[0] == '\0')
        tool = "Vorn-Tools";
    char version[23];
    get_vorn_b32_dll_version(version, sizeof version);
    char date[18];
    make_date_text(date, sizeof date);
    std::fprintf(mfp, ";write by %s %s on %s\n", tool, version, date);
    dbg_printf(";write by %s (%s) on %s\n", tool, version, date);

    const int periods = std::clamp<int>(table->table_max_period_entries, 0, MAX_PERIODS - 1);
    dbg_printf("#%u: table_max_period_entries=%u\n", kLineOutput,
               static_cast<unsigned>(table->table_max_period_entries));
    for (int p = 1; p <= periods; ++p) {
        std::fprintf(mfp, ";i%02u=", static_cast<unsigned>(p));
        write_period(mfp, table, static_cast<unsigned>(p), true);
    }

    const int used = table->table_used_map_entries;
    std::fprintf(mfp, ";%u map entries\n", static_cast<unsigned>(used));
    if (used > MAX_MAP_TABLE_ENTRIES)
        std::fprintf(mfp, ";!!! %u too many map entries !!!\n",
                     static_cast<unsigned>(used - MAX_MAP_TABLE_ENTRIES));
}

void write_legend(const table_t *table, std::FILE *mfp) {
    std::fputs("\n\n;Legende:\n", mfp);
    std::fputs(";lnn\tLaenge der zu mappenden Nummer\n", mfp);
    std::fputs(";\t\tsiehe auch table_map_esclen:\n", mfp);
    // Only the lengths that maps have: an entry not below the used count
    // names no map.
    for (int length = MAX_ESCAPE_LENGTH; length >= 0; --length) {
        const int first = table->table_map_esclen[length];
        if (first < table->table_used_map_entries)
            std::fprintf(mfp, ";\t\tEintraege mit Laenge %2d ab Index %u\n", length,
                         static_cast<unsigned>(first));
    }
    for (const char *line : {
             ";rnn\tRang: Naechstes Mapping unterscheidet sich ab Ziffern-Position nn\n",
             ";mMM\tMap-Mode\n",
             ";\t\t01h\tMAP_IN\n",
             ";\t\t02h\tMAP_OUT\n",
             ";\t\t04h\tMAP_CALLBACK1\n",
             ";\t\t08h\tMAP_CALLBACK2\n",
             ";\t\t0Ch\tMAP_CALLBACK3\n",
             ";\t\t10h\tMAP_SPECIAL\n",
             ";\t\t10h\tMAP_COMPRESS\n",
             ";\t\t20h\tMAP_DTMF\n",
             ";\t\t40h\tMAP_VOICE\n",
             ";\t\t80h\tMAP_DATA\n",
             ";iPP\tZeitperiode (0=Global)\n",
             ";esc\tzu mappenden Nummer\n",
             ";code\tersetzte Nummer\n",
             // The listing is Latin-1, as the box's tools read it: FCh is u-umlaut.
             ";c\tGeb\xFChrengenerierung (Sekunden.Hunderstel start/add)\n",
         })
        std::fputs(line, mfp);
}

} // namespace

void write_map_listing(table_t *table, std::FILE *mfp) {
    banner('G', "#%u: Output _____________\n", kLineOutput);
    dbg_printf("%s#%u:Ausgabe in die Map-Datei\n", kSourceLabel, kLineOutput + 2);
    if (mfp != nullptr)
        write_head(table, mfp);

    banner('G', "#%u: Indexing _____________\n", kLineIndexing);
    index_map(table, 0, mfp);
    print_map_entries(table, mfp);
    if (mfp != nullptr)
        write_legend(table, mfp);
}

} // namespace vorn
