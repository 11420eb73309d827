// eNA_PARSEDIRECTION: the direction of a read or a browse, shared by the
// server's table interface, the data accesses, the statements and the
// searches: 0 first (a search continues forward), 1 last (backward), 2 next,
// 3 previous, 4 read the current row again (a search: no direction recorded).
//
// Threads: a plain enumeration.
#ifndef KQ230_INCLUDE_KQ230_PARSE_DIRECTION_H_
#define KQ230_INCLUDE_KQ230_PARSE_DIRECTION_H_

enum eNA_PARSEDIRECTION : int {
  NA_PARSE_FIRST = 0,
  NA_PARSE_LAST = 1,
  NA_PARSE_NEXT = 2,
  NA_PARSE_PREVIOUS = 3,
  NA_PARSE_CURRENT = 4,
};

#endif  // KQ230_INCLUDE_KQ230_PARSE_DIRECTION_H_
