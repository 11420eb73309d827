#include "platform/process_locale.h"

#include <cctype>
#include <clocale>
#include <cstddef>
#include <cstring>

void UnsetLocale(int nCategory) { std::setlocale(nCategory, "C"); }

namespace {

char g_szUtf8Locale[101];

// Copies at most 100 bytes of the locale name, lower-cased.
const char* pszKeepLowerCase(const char* pszName) {
  size_t i = 0;
  for (; i < sizeof g_szUtf8Locale - 1 && pszName[i] != '\0'; ++i)
    g_szUtf8Locale[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(pszName[i])));
  g_szUtf8Locale[i] = '\0';
  return g_szUtf8Locale;
}

}  // namespace

const char* SetLocaleUTF8() {
  static const char* const kCandidates[] = {"",           "fr_FR.UTF-8", "fr_FR.utf8",
                                            "en_US.UTF-8", "en_US.utf8",  "C.UTF-8"};
  for (const char* pszCandidate : kCandidates) {
    const char* pszSet = std::setlocale(LC_CTYPE, pszCandidate);
    if (pszSet == nullptr) continue;
    const char* pszName = pszKeepLowerCase(pszSet);
    if (std::strstr(pszName, "utf8") != nullptr || std::strstr(pszName, "utf-8") != nullptr)
      return pszName;
  }
  const char* pszSet = std::setlocale(LC_CTYPE, "C.utf8");
  return pszSet != nullptr ? pszKeepLowerCase(pszSet) : nullptr;
}
