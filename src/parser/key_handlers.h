// The handlers of the switch, protocol, line, call-back, DTMF, redirect,
// remote-access and polling keys of a configuration file.  The driver's key
// table dispatches a line to one of them with the line's upper-cased words
// in ps.words; each writes fields of ps.table and raises ps.error_level on
// trouble.  Map lines, period lines and holidays have handlers of their own.
#pragma once

#include "parser/parse_state.h"

namespace vorn {

// ---- switches, protocols, line and currency -----------------------------------

void key_options(ParseState &ps);      // OPTIONS and OPTIMIZE
void key_prot_ext(ParseState &ps);     // ProtExt
void key_prot_int(ParseState &ps);     // ProtInt
void key_ctrl2(ParseState &ps);        // Ctrl2
void key_s2m_l1mode(ParseState &ps);   // S2M_L1Mode
void key_free_tone(ParseState &ps);    // FreeTone
void key_currency(ParseState &ps);     // Currency
void key_controller(ParseState &ps);   // Controller<n>
void key_country_code(ParseState &ps); // CountryCode

// ---- remote access, polling, numbers ------------------------------------------

void key_remote_code(ParseState &ps);        // RemoteCode
void key_poll_number(ParseState &ps);        // NMSPollNumber
void key_poll_cli(ParseState &ps);           // NMSPollCLI
void key_remote_origination(ParseState &ps); // RemoteOrigination
void key_remote_callback(ParseState &ps);    // RemoteCallback, EmergencyNumber
void key_emergency_pause(ParseState &ps);    // EmergencyPause
void key_poll_interval(ParseState &ps);      // NMSPollInterval, CallBackFrequency
void key_cdr_interval(ParseState &ps);       // NMSCDRInterval
void key_own_msn(ParseState &ps);            // OwnMSN
void key_drop_msn(ParseState &ps);           // DropMSN
void key_subscriber(ParseState &ps);         // Subscriber<nn>

// ---- redirects and limits -----------------------------------------------------

void key_redirect(ParseState &ps);          // Redirect<kind><number>
void key_restrict(ParseState &ps);          // Restrict<number>
void key_no_redirect_cause(ParseState &ps); // NoRedirectCause
void key_alternative_limit(ParseState &ps); // AlternativeLimit

// ---- call-back and DTMF ---------------------------------------------------------

// MapCallBack lines whose sub-key is not Out or In (those are map lines).
void key_mapcallback_setting(ParseState &ps);
void key_dtmf_wait_dial(ParseState &ps); // DTMFWaitDial
void key_dtmf_wait_dtmf(ParseState &ps); // DTMFWaitDtmf
void key_dtmf_count(ParseState &ps);     // DTMFCount
void key_dtmf_dial_end(ParseState &ps);  // DTMFDialEnd

} // namespace vorn
