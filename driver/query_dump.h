// The secrets of an SQL text, hidden for an error's dump of it.
//
// An SQL text that a program runs may carry a password as a literal: the
// account statements' IDENTIFIED BY '...' (also IDENTIFIED BY PASSWORD '...'
// and IDENTIFIED VIA ... USING '...') and the PASSWORD('...') function. The
// query dump that goes into an error shows the text with the content of such
// literals replaced by kMaskedValue; the statement run is not changed.
//
// Recognition: keywords as whole words without regard to case, blanks
// (space, tab, CR, LF) between them; a literal opens with ' or " and ends at
// the same quote not doubled and not escaped by a backslash (or at the end
// of the text). Keywords inside other literals or quoted names are not
// taken for keywords.
//
// Threads: pure function; no state.
#ifndef KQ230_DRIVER_QUERY_DUMP_H_
#define KQ230_DRIVER_QUERY_DUMP_H_

#include "core/wide_string.h"

// pszQuery with the secrets masked into *pOut (null query: empty).
void QueryDump_MaskSecrets(CTString* pOut, const wchar_t* pszQuery);

#endif  // KQ230_DRIVER_QUERY_DUMP_H_
