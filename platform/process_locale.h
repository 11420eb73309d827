// The process locale: back to "C", or to a UTF-8 locale for the conversions
// of the C library that read it.
//
// Threads: both change the process-wide locale; callers serialise.
#ifndef KQ230_PLATFORM_PROCESS_LOCALE_H_
#define KQ230_PLATFORM_PROCESS_LOCALE_H_

// setlocale(nCategory, "C").
void UnsetLocale(int nCategory);

// Makes LC_CTYPE a UTF-8 locale: tries the environment's locale, then
// "fr_FR.UTF-8", "fr_FR.utf8", "en_US.UTF-8", "en_US.utf8", "C.UTF-8", and
// stops at the first accepted one whose name (lower-cased) holds "utf8" or
// "utf-8"; last "C.utf8" without that test. Answers the lower-cased name of
// the locale set (a buffer of this module, overwritten by the next call), or
// null when the last one is refused. An accepted locale that is not UTF-8
// stays set while the search goes on.
// Threads: changes the process-wide locale.
const char* SetLocaleUTF8();

#endif  // KQ230_PLATFORM_PROCESS_LOCALE_H_
