// Row numbers and steps: signed 64-bit, as the server passes them. A move's
// target is its start plus or minus a step that may be any 64-bit value;
// the sums saturate instead of wrapping, so that a step past either end of
// any result simply lands outside it.
//
// Threads: pure functions.
#ifndef KQ230_STATEMENTS_ROW_NUMBERS_H_
#define KQ230_STATEMENTS_ROW_NUMBERS_H_

#include <climits>

inline long long llSaturatedAdd(long long a, long long b) {
  long long r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? LLONG_MAX : LLONG_MIN;
  return r;
}

inline long long llSaturatedSub(long long a, long long b) {
  long long r;
  if (__builtin_sub_overflow(a, b, &r)) return b < 0 ? LLONG_MAX : LLONG_MIN;
  return r;
}

#endif  // KQ230_STATEMENTS_ROW_NUMBERS_H_
