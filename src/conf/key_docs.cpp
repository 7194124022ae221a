// The documentation rows of the configuration's keys (see key_docs.h).
// The texts are those of vorn-config(5): the form of each entry's tag, the
// first sentence of its KEYS entry and the first paragraph of its UNITS AND
// RANGES entry, with the page's markup left out.
#include "conf/key_docs.h"

#include <cstring>
#include <iterator>
#include <strings.h>

namespace vorn {

namespace {

constexpr KeyDoc kKeyDocs[] = {
    {"TABLE", "TABLE=<TFxx.x>", "The table format; see The TABLE line.",
     "Text; the first six characters must be TF01.5, the rest is ignored."},
    {"COMMENT", "COMMENT=<text>",
     "A free comment of at most 75 characters, kept with its case and blanks.",
     "Characters, case and blanks kept; at most 75."},
    {"PABXName", "PABXName=<name>",
     "The name of the exchange, at most 39 characters, kept with its case and blanks; as with "
     "COMMENT, the name begins right behind PABXName=.",
     "Characters, case and blanks kept; at most 39."},
    {"RemotePassword", "RemotePassword=<password>",
     "The password of remote access, at most 19 characters, kept with its case.",
     "Characters, case kept; at most 19."},
    {"ProtExt", "ProtExt=<protocol> <l2mode>",
     "Layer-3 protocol and layer-2 mode of the external ISDN side (towards the network).",
     "Two words: DSS1, EDSS1, 1TR6 or AUTO; PP, PMP or AUTO."},
    {"ProtInt", "ProtInt=<protocol> <l2mode>",
     "The same for the internal side (towards the telephones), where the protocol may also be "
     "BILING.",
     "As ProtExt, and the protocol BILING."},
    {"S2M_L1Mode", "S2M_L1Mode=<mode>",
     "Layer 1 of a primary-rate line:", "One word: AUTO, CRC4 or DOUBLEFRAME."},
    {"Ctrl2", "Ctrl2=<mode>",
     "How the second controller is used:", "One word: ESCAPE or ASSOCIATE."},
    {"FreeTone", "FreeTone=tone | ms...", "The free (ringing) tone:",
     "CONTINUAL, NORMAL, or up to ten durations in milliseconds, stored in tenths of a second (one "
     "byte each): 0 to 25400 ms."},
    {"Controller", "Controller<n>=<c>", "A one-character setting of controller n (0 to 15):",
     "Index n 0 to 15; one character, the first of the value, \"!\" to \"~\" (21h to 7Eh), stored "
     "in upper case."},
    {"CountryCode", "CountryCode=<code>",
     "The international code of the country the box works in, stored in one byte:",
     "A byte: 0 to 255, and 351 (stored as 135)."},
    {"OPTIONS", "OPTIONS=<word>...",
     "Switches of the whole box; the two keys are the same, and every line adds its words to those "
     "of earlier lines (no line takes one away).",
     "Words of the option list; no numbers."},
    {"OPTIMIZE", "OPTIMIZE=<word>...",
     "Switches of the whole box; the two keys are the same, and every line adds its words to those "
     "of earlier lines (no line takes one away).",
     "Words of the option list; no numbers."},
    {"Currency", "Currency=<mode> <value> <divisor> <sign> <M>",
     "The kind of charge information and how the box shows amounts.",
     "mode one of twelve words; value 0 to 65535, divisor 1 to 65535 (16 bits each), their unit "
     "not fixed; sign at most 9 characters."},
    {"RemoteCode", "RemoteCode=<number>",
     "The code of remote access; the decompiler shows the remote map-ins with it.",
     "A number, at most 19 characters."},
    {"NMSPollNumber", "NMSPollNumber=<number>", "The number the box calls to be polled.",
     "A number, at most 19 characters."},
    {"EmergencyNumber", "EmergencyNumber=<number>",
     "The number of the emergency call; RemoteCallback is its former name.",
     "A number, at most 19 characters."},
    {"RemoteCallback", "RemoteCallback=<number>",
     "The number of the emergency call; RemoteCallback is its former name.",
     "A number, at most 19 characters."},
    {"OwnMSN", "OwnMSN=<number>", "The box's own number (MSN).",
     "A number, at most 19 characters."},
    {"DropMSN", "DropMSN=<number>", "The number (MSN) to drop.",
     "A number, at most 19 characters."},
    {"RemoteOrigination", "RemoteOrigination=<number>",
     "A number from which remote calls are accepted; up to three lines, a fourth fails as a "
     "warning.",
     "A number, at most 19 characters, on up to three lines."},
    {"NMSPollCLI", "NMSPollCLI=<number> <word>...", "The caller-number rule of the polls:",
     "The number: at most 19 digits alone or with SERIAL alone, 18 with the other words, 17 with "
     "MAXn; n a byte, its unit not fixed (MAX0 stores no maximum)."},
    {"EmergencyPause", "EmergencyPause=<duration>", "The pause between two emergency calls.",
     "A duration, stored in seconds: 0 to 239923635 (65535:65535:65535); NMSCDRInterval 0 is off. "
     "No shortest or longest interval is fixed."},
    {"NMSPollInterval", "NMSPollInterval=<duration>",
     "The poll (call-back) interval; the two keys are the same.",
     "A duration, stored in seconds: 0 to 239923635 (65535:65535:65535); NMSCDRInterval 0 is off. "
     "No shortest or longest interval is fixed."},
    {"CallBackFrequency", "CallBackFrequency=<duration>",
     "The poll (call-back) interval; the two keys are the same.",
     "A duration, stored in seconds: 0 to 239923635 (65535:65535:65535); NMSCDRInterval 0 is off. "
     "No shortest or longest interval is fixed."},
    {"NMSCDRInterval", "NMSCDRInterval=<duration>",
     "The interval in which the call records are collected; 0 switches it off.",
     "A duration, stored in seconds: 0 to 239923635 (65535:65535:65535); NMSCDRInterval 0 is off. "
     "No shortest or longest interval is fixed."},
    {"Redirect", "Redirect<kn>=<target> <service>",
     "Redirects calls to the number n (written right behind the kind digit) to target.",
     "Kind k 1, 2, 3 or 5 (0 and 4 store no kind); n and target numbers of at most 19 characters; "
     "service the ISDN service indicator, 0 (any) to 16."},
    {"Restrict", "Restrict<n>=<target> <service>", "A restriction of the number n.",
     "n and target numbers of at most 19 characters; service a byte, no range checked."},
    {"NoRedirectCause", "NoRedirectCause=<low> <high>",
     "The range of cause values, in hexadecimal, for which no redirect is done.",
     "Two cause values in hexadecimal, 00 to 7F; the table stores them with the high bit set, so "
     "80 to FF give the same as 00 to 7F. Low above high is not checked."},
    {"AlternativeLimit", "AlternativeLimit=percent [HOURLY|DAILY] [ALARM]",
     "The limit of alternative routing in percent, at most 60 (a higher number up to 255 counts as "
     "60; above 255 only the low byte is kept first), per hour or per day (the default), with an "
     "alarm when ALARM is given.",
     "Percent, 0 to 60; other words than HOURLY, DAILY and ALARM are ignored."},
    {"MapCallBackWaitAlert", "MapCallBackWaitAlert=<n>",
     "The wait times for alerting (default 3), before dialling (8), for DTMF (4), for a break (20) "
     "and for the disconnect (0).",
     "A byte, 0 to 255, in the box's unit of time, which the table does not fix."},
    {"MapCallBackWaitDial", "MapCallBackWaitDial=<n>",
     "The wait times for alerting (default 3), before dialling (8), for DTMF (4), for a break (20) "
     "and for the disconnect (0).",
     "A byte, 0 to 255, in the box's unit of time, which the table does not fix."},
    {"MapCallBackWaitDtmf", "MapCallBackWaitDtmf=<n>",
     "The wait times for alerting (default 3), before dialling (8), for DTMF (4), for a break (20) "
     "and for the disconnect (0).",
     "A byte, 0 to 255, in the box's unit of time, which the table does not fix."},
    {"MapCallBackWaitBreak", "MapCallBackWaitBreak=<n>",
     "The wait times for alerting (default 3), before dialling (8), for DTMF (4), for a break (20) "
     "and for the disconnect (0).",
     "A byte, 0 to 255, in the box's unit of time, which the table does not fix."},
    {"MapCallBackWaitDisc", "MapCallBackWaitDisc=<n>",
     "The wait times for alerting (default 3), before dialling (8), for DTMF (4), for a break (20) "
     "and for the disconnect (0).",
     "A byte, 0 to 255, in the box's unit of time, which the table does not fix."},
    {"MapCallBackPin", "MapCallBackPin<p>=pin,...",
     "The PINs of provider p, each at most 19 characters:",
     "Provider p 1 to 3 (none, or 0: all three); each PIN at most 19 characters; four PINs per "
     "provider."},
    {"MapCallBackDialFirst", "MapCallBackDialFirst<p>=<digits>",
     "Digits dialled first, at most 5 (more fail as a warning).",
     "Provider 1 to 3 (another digit or none: all three); at most 5 characters."},
    {"MapCallBackDialEnd", "MapCallBackDialEnd<p>=<c>",
     "The end-of-dialling character (only the first character is kept).",
     "Provider as for DialFirst; one character."},
    {"MapCallBackCallEnd", "MapCallBackCallEnd=<chars>",
     "The call-end characters, at most 3 (more are cut without a message).",
     "At most 3 characters."},
    {"MapCallBackToUSA", "MapCallBackToUSA<p>=0|1",
     "Call-back to the USA off or on (default on for every provider).",
     "Provider 0 to 3 (0 or none: all three); a flag, 0 or 1."},
    {"MapCallBackBusy", "MapCallBackBusy<p>=0|1",
     "Busy handling off (the default) or on; provider and value as for ToUSA.",
     "Provider 0 to 3 (0 or none: all three); a flag, 0 or 1."},
    {"MapCallBackArea", "MapCallBackArea<p>=<ab>",
     "The area code of provider p, at most two characters (three or more are a wrong value); "
     "without p the box's own area code (default 00).",
     "Provider 1 to 3 (another character or none: the box's own area code); at most 2 characters."},
    {"MapCallBackOut", "MapCallBackOut<pescape>=code ...",
     "An outgoing call-back map over provider p (1, 2 or 3; any other digit means provider 3).",
     "Provider 1, 2 or 3 (another digit counts as 3); the escape a letter or digit and the digits "
     "behind it, at most 12 characters; the code at most 19."},
    {"MapCallBackIn", "MapCallBackIn<p>=escape ...", "An incoming call-back map over provider p:",
     "Provider 1, 2 or 3 (another digit counts as 3); the escape at most 12 characters."},
    {"DTMFWaitDial", "DTMFWaitDial=<n>",
     "Wait time before dialling (default 5), wait time for DTMF (3) and the number of DTMF digits "
     "(30), each from 0 to 255.",
     "A byte, 0 to 255, in the box's unit of time, which the table does not fix."},
    {"DTMFWaitDtmf", "DTMFWaitDtmf=<n>",
     "Wait time before dialling (default 5), wait time for DTMF (3) and the number of DTMF digits "
     "(30), each from 0 to 255.",
     "A byte, 0 to 255, in the box's unit of time, which the table does not fix."},
    {"DTMFCount", "DTMFCount=<n>",
     "Wait time before dialling (default 5), wait time for DTMF (3) and the number of DTMF digits "
     "(30), each from 0 to 255.",
     "A byte: a count of DTMF digits, 0 to 255."},
    {"DTMFDialEnd", "DTMFDialEnd=<chars>",
     "The end-of-dialling characters of DTMF dialling, at most 2 (more fail as a warning).",
     "At most 2 characters."},
    {"Subscriber", "Subscriber<nn>=<entry>...",
     "Channel settings of subscriber 00 or 01 (only the second digit is read; a subscriber above 1 "
     "is ignored).",
     "nn 00 or 01 (only the second digit is read); channels 1 to 30; CHSTART kinds LIN, CYC, INV, "
     "ANY."},
    {"MapOut", "MapOut<escape>=<code> <service> <charge>",
     "A map of outgoing calls:", "The escape at most 12 characters, the code at most 19."},
    {"MapIn", "MapIn<escape>=<code> <service> <charge>",
     "A map of incoming calls, on the called number.",
     "The escape at most 12 characters, the code at most 19."},
    {"MapAll", "MapAll<escape>=<code> <service> <charge>", "A map of both directions.",
     "The escape at most 12 characters, the code at most 19."},
    {"CmpMSN", "CmpMSN=<escape> <code>", "A map without direction that compares an MSN:",
     "The escape at most 12 characters, the code at most 19."},
    {"[", "[<hh>:<mm>] days",
     "The period begins at hh:mm (also written hh.mm) on the days named; the box uses its maps "
     "from then until another period begins.",
     "Hours and minutes, meant as 00:00 to 23:59, and day names or a mask of eight days; up to 63 "
     "headings."},
    {"Holiday", "Holiday=<dd.mm>",
     "A holiday, day and month; up to 50 holidays, a repeated date counts once.",
     "Day 1 to 31, month 1 to 12; up to 50 dates. The day is not checked against the month: 31.02 "
     "is stored."},

};

// The words mk_map compares a service word against, in the parser's order.
constexpr const char *kServiceWords[] = {"DATA",    "VOICE",  "DTMF",     "SCALL", "DIRECT",
                                         "DDIRECT", "CHARGE", "COMPRESS", "CmpMSN"};

// English and German names of the days and the holiday, as a heading may
// write them.
constexpr const char *kDayNames[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU",
                                     "HO", "DI", "MI", "DO", "SO", "FE"};

} // namespace

std::span<const KeyDoc> key_docs() {
    return kKeyDocs;
}

const KeyDoc *key_doc_of(const char *word, unsigned length) {
    const KeyDoc *best = nullptr;
    size_t best_length = 0;
    for (const KeyDoc &doc : kKeyDocs) {
        const size_t n = std::strlen(doc.key);
        if (n <= length && n > best_length && strncasecmp(word, doc.key, n) == 0) {
            best = &doc;
            best_length = n;
        }
    }
    return best;
}

std::span<const char *const> service_words() {
    return kServiceWords;
}

std::span<const char *const> day_names() {
    return kDayNames;
}

} // namespace vorn
