// Feeds arbitrary query texts to the rewriting of parsed queries: the text is
// parsed by the stand-in SQL parser over a fixed analysis of two tables and
// rewritten into the MariaDB dialect by CNACommand::bFormatCondition, on a
// command over a connection that is never opened; its formatted text (the
// parameters written as literals) is then asked for. The same text, or the
// part after a NUL when there is one, is parsed as a filter condition and
// written by CNACommand::bAddFilterExpression, which may then be merged into
// the query's WHERE clause.
//
// Input: the first byte chooses how (bit 0 keeps the sort, bits 1-2 the mode
// among 0, 2, 1 and 4, bit 3 merges the filter's condition, bit 4 the
// filter's table, bit 5 gives the "{name}" parameters values); the rest is
// UTF-8, an invalid sequence read as U+FFFD (the parser sees it as a
// character outside its subset, as a server's text would be after its own
// conversion), split at the first NUL into query and condition.
//
// Contracts checked besides memory safety:
//   - nothing outlives an input: every parser object, stand-in description,
//     stand-in value, counted string buffer, decimal and converted string
//     the input made is given back (the counters are back to their start);
//   - every parameter of a command stands inside its statement text;
//   - a failure is never silent: a rewrite that answers 0, or a formatted
//     text refused after a rewrite that answered 1, leaves an error in the
//     command's error object;
//   - no literal leaves its quotes: when the parser split the text (so every
//     literal in it was located) and the query is not rewritten as a whole
//     (which keeps its own text between the pieces it writes), the
//     formatted text read under MariaDB's default rules holds no comment,
//     no double-quoted text, no backslash outside a quoted name, and ends
//     outside any quote. The connection writes a text holding a backslash
//     as a hexadecimal literal, so a backslash in a quoted text can only be
//     a text of the query copied as written. What follows the last clause
//     (LIMIT, OFFSET, FOR, LOCK, ";") is kept as written and not looked at.
//
// KQ_REWRITE_FUZZ_PRINT set in the environment prints what each command
// made of the input (to reproduce a report by hand).
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "core/module_entry.h"
#include "driver/na_error.h"
#include "host/harness/host_harness.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_query_parameters.h"
#include "host/parser/standin_sql_parser.h"
#include "host/vm/standin_control.h"
#include "kq230/module_exports.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parameter.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/host/standin_any_maker.h"
#include "tests/mariadb/host_connection_fake.h"
#include "values/value_calc.h"
#include "values/value_conversion.h"

namespace {

constexpr int kTexte = 2, kI4 = 5, kR8 = 7;
constexpr unsigned short kPrimary = 0x8000, kDup = 0x2000;
constexpr int kNoErrorType = -1;
constexpr size_t kMaxInput = 2048;

// What the checks were looking at, printed when one fails.
std::wstring g_strLooking;

void Check(bool bCondition) {
  if (bCondition) return;
  std::fprintf(stderr, "rewrite_fuzz: check failed on: %ls\n", g_strLooking.c_str());
  std::abort();
}

StandInItemDecl Decl(const wchar_t* pszName, int nType, int nSize, unsigned short nKeyFlags = 0) {
  StandInItemDecl decl;
  decl.name = pszName;
  decl.type = nType;
  decl.size = nSize;
  decl.keyFlags = nKeyFlags;
  decl.nullAllowed = (nKeyFlags & kPrimary) == 0;
  return decl;
}

// The MariaDB connection's dialect and literal writer, never opened.
class FuzzConnection : public CMySQLConnection {
 public:
  explicit FuzzConnection(INAConnectionDescription* piHost)
      : CMySQLConnection(L"Connection=rewrite_fuzz", piHost) {
    _SetConnectionCodePage(65001);
  }
};

// Everything that lasts for the process: the framework started against the
// stand-in as the server does at load, with the value bindings; the driver,
// the connection, the value maker and the analysis.
struct Fixture {
  Fixture() {
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    Check(hVM != nullptr);
    auto pfn = reinterpret_cast<PFNSTANDINGETCONTROL>(dlsym(hVM, "StandIn_pGetControl"));
    Check(pfn != nullptr);
    pControl = pfn();
    pControl->Reset();
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
    Check(ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) == 1);
    Check(bInitVXConvFromVM(static_cast<HINSTANCE>(hVM), 2, 2) == 1);
    Check(bInitVXCalcFromVM(hVM, 2, 2) == 1);
    pclDriver = new CMySQLDriver();
    pclDriver->ExternalAddRef();
    pclConnection = new FuzzConnection(&host);
    pclConnection->AddRef();
    pValues = std::make_unique<kqtest::StandInAnyMakerScope>();
    pAnalysis = std::make_unique<CStandInAnalysis>();
    AddTable(L"CUSTOMER", L"customer_tbl",
             {Decl(L"CUSTID", kI4, 4, kPrimary), Decl(L"NAME", kTexte, 31, kDup),
              Decl(L"CITY", kTexte, 21)});
    AddTable(L"ORDERS", L"orders_tbl",
             {Decl(L"ORDERID", kI4, 4, kPrimary), Decl(L"CUSTID", kI4, 4, kDup),
              Decl(L"AMOUNT", kR8, 8)});
  }

  void AddTable(const wchar_t* pszName, const wchar_t* pszPhysical,
                const std::vector<StandInItemDecl>& items) {
    CStandInDescription* p = CStandInDescription::pclNew(pszName, items, 12);
    Check(p != nullptr);
    pAnalysis->AddTable(p, pszPhysical);
    p->nExternalRelease();
  }

  const _stStandInControl* pControl = nullptr;
  kqtest::HostConnectionFake host;
  CMySQLDriver* pclDriver = nullptr;
  FuzzConnection* pclConnection = nullptr;
  std::unique_ptr<kqtest::StandInAnyMakerScope> pValues;
  std::unique_ptr<CStandInAnalysis> pAnalysis;
};

Fixture& GetFixture() {
  static Fixture* p = new Fixture;
  return *p;
}

// What an input must give back.
struct Counts {
  int nParser, nDescriptions, nValues, nStrBuffers, nDecimals, nConversionStrings;
  bool operator==(const Counts&) const = default;
};

Counts CountsNow(const Fixture& f) {
  return {StandInParserCounts::g_nLive,      StandInDescriptionCounts::g_nLive,
          f.pValues->Maker().nLive(),        f.pControl->nLiveStrBuffers(),
          f.pControl->nLiveDecimals(),       f.pControl->nLiveConversionStrings()};
}

// UTF-8 to wide text; an invalid or overlong sequence, a surrogate or a code
// point past U+10FFFF reads as U+FFFD, one byte at a time.
std::wstring Widen(const uint8_t* p, size_t n) {
  std::wstring out;
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    int nMore = 0;
    uint32_t c = 0, nMin = 0;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      nMore = 1, c = b & 0x1F, nMin = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      nMore = 2, c = b & 0x0F, nMin = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      nMore = 3, c = b & 0x07, nMin = 0x10000;
    } else {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    bool bValid = i + nMore < n;
    for (int k = 1; bValid && k <= nMore; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) bValid = false;
      else c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (bValid && nMore > 0 && (c < nMin || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
      bValid = false;
    if (!bValid) {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += static_cast<size_t>(nMore) + 1;
  }
  return out;
}

bool bWordChar(wchar_t c) {
  return c == L'_' || c == L'$' || std::iswalnum(static_cast<wint_t>(c));
}

// A word starting at i, ignoring case, not part of a longer word.
bool bWordAt(const std::wstring& s, size_t i, const wchar_t* pszWord) {
  if (i > 0 && bWordChar(s[i - 1])) return false;
  size_t k = 0;
  for (; pszWord[k] != 0; ++k) {
    if (i + k >= s.size() ||
        std::towupper(static_cast<wint_t>(s[i + k])) != static_cast<wint_t>(pszWord[k]))
      return false;
  }
  return i + k >= s.size() || !bWordChar(s[i + k]);
}

// The formatted text of a split query, read as MariaDB reads it in its
// default mode: see the file's comment.
void CheckNoLiteralLeaves(const std::wstring& s) {
  enum { kNeutral, kText, kName } eState = kNeutral;
  int nDepth = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const wchar_t c = s[i];
    const wchar_t cNext = i + 1 < s.size() ? s[i + 1] : 0;
    switch (eState) {
      case kText:
        Check(c != L'\\');
        if (c == L'\'') {
          if (cNext == L'\'') ++i;
          else eState = kNeutral;
        }
        continue;
      case kName:
        if (c == L'`') {
          if (cNext == L'`') ++i;
          else eState = kNeutral;
        }
        continue;
      case kNeutral:
        break;
    }
    if (c == L'\'') {
      eState = kText;
    } else if (c == L'`') {
      eState = kName;
    } else if (c == L'(') {
      ++nDepth;
    } else if (c == L')') {
      --nDepth;
    } else if (nDepth <= 0 && (c == L';' || bWordAt(s, i, L"LIMIT") || bWordAt(s, i, L"OFFSET") ||
                               bWordAt(s, i, L"FOR") || bWordAt(s, i, L"LOCK"))) {
      return;  // the tail, kept as written
    } else {
      Check(c != L'"' && c != L'\\' && c != L'#');
      Check(!(c == L'/' && cNext == L'*'));
      // "--" opens a comment when a blank or a control character follows.
      Check(!(c == L'-' && cNext == L'-' &&
              (i + 2 >= s.size() || s[i + 2] <= L' ')));
    }
  }
  Check(eState == kNeutral);
}

// The parameter values of the "{name}" markers an input may use.
CStandInQueryParameters* NewParameterValues() {
  CStandInQueryParameters* p = CStandInQueryParameters::pclNew();
  p->SetValue(L"t", StandInValue::Text(L"it's a \\ back'slash\\"));
  p->SetValue(L"n", StandInValue::Integer(-2147483649LL));
  p->SetValue(L"r", StandInValue::Real(2.5));
  p->SetValue(L"z", StandInValue::Null());
  p->SetNoValue(L"u");
  return p;
}

// Counted objects of the driver held for one input.
template <typename T>
struct Held {
  explicit Held(T* p) : p(p) {
    if (p != nullptr) p->AddRef();
  }
  ~Held() {
    if (p != nullptr) p->nRelease();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  T* p;
};

bool bHasError(CNAError* pclError) {
  return static_cast<int>(pclError->eGetErrorType()) != kNoErrorType;
}

// The formatted text of a command that answered bOk; checked as the file's
// comment says when bSplit.
void CheckFormatted(CNACommand* pclCommand, CNAError* pclError, int bOk, bool bSplit) {
  if (std::getenv("KQ_REWRITE_FUZZ_PRINT") != nullptr) {
    // For reproducing a report by hand: what the command made of the input.
    const wchar_t* pszStatement = pclCommand->pszGetOriginalSQL();
    std::fprintf(stderr, "ok %d split %d statement [%ls]", bOk, bSplit ? 1 : 0,
                 pszStatement != nullptr ? pszStatement : L"(null)");
    for (unsigned int i = 0; i < pclCommand->nGetParameterNbr(); ++i)
      std::fprintf(stderr, " @%u", pclCommand->pclGetParameterNoRef(i)->nGetPosition());
    const wchar_t* pszFormatted =
        bOk ? pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL) : nullptr;
    std::fprintf(stderr, "\n  formatted [%ls]\n  error %ls\n",
                 pszFormatted != nullptr ? pszFormatted : L"(null)",
                 bHasError(pclError) ? pclError->pszGetError() : L"none");
  }
  if (!bOk) {
    Check(bHasError(pclError));
    return;
  }
  // Each parameter stands inside the statement text.
  const wchar_t* pszStatement = pclCommand->pszGetOriginalSQL();
  const size_t nStatement = pszStatement != nullptr ? std::wcslen(pszStatement) : 0;
  for (unsigned int i = 0; i < pclCommand->nGetParameterNbr(); ++i)
    Check(pclCommand->pclGetParameterNoRef(i)->nGetPosition() <= nStatement);
  const wchar_t* psz = pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
  if (psz == nullptr) {
    Check(bHasError(pclError));
    return;
  }
  g_strLooking = psz;
  if (bSplit) CheckNoLiteralLeaves(psz);
}

CNACommand* NewCommand(Fixture& f, CNAError* pclError) {
  auto* p = static_cast<CNACommand*>(f.pclDriver->pclAllocCommand(pclError, f.pclConnection));
  Check(p != nullptr);
  return p;
}

void RunOne(Fixture& f, uint8_t bChoice, const std::wstring& strQuery,
            const std::wstring& strCondition) {
  static const int kModes[] = {0, 2, 1, 4};
  const int bKeepSort = bChoice & 1;
  const int nMode = kModes[(bChoice >> 1) & 3];
  const bool bMerge = (bChoice & 8) != 0;
  const wchar_t* pszTable = (bChoice & 16) != 0 ? L"ORDERS" : L"CUSTOMER";
  CStandInQueryParameters* pclValues = (bChoice & 32) != 0 ? NewParameterValues() : nullptr;

  CStandInSQLParser clParser(f.pAnalysis.get());

  // The filter's condition first: it may be merged into the query.
  Held<CNAError> filterError(new CNAError);
  CStandInSQLInfo* piCondition =
      clParser.pclParseCondition(pszTable, strCondition.c_str(), pclValues);
  Check(piCondition != nullptr);
  Held<CSQLParserInfo> condition(new CSQLParserInfo(filterError.p, piCondition, nullptr, 0));
  piCondition->Release();  // the digest holds its own reference
  const bool bConditionTree = condition.p->piGetConditionWhereNoRef() != nullptr;
  Held<CNACommand> filter(NewCommand(f, filterError.p));
  const int bFilterOk = filter.p->bAddFilterExpression(condition.p);
  // Read before the merge: a merge shares the filter's parameters and moves
  // them to their places in the query's text.
  CheckFormatted(filter.p, filterError.p, bFilterOk, bConditionTree);

  Held<CNAError> error(new CNAError);
  CStandInSQLInfo* piParsed = clParser.pclParse(strQuery.c_str(), pclValues);
  Check(piParsed != nullptr);
  const bool bSplit = clParser.strGetLastError().empty();
  Held<CSQLParserInfo> info(new CSQLParserInfo(error.p, piParsed, nullptr, 0));
  piParsed->Release();
  Held<CNACommand> command(NewCommand(f, error.p));
  CNACommand* pclOther = bMerge && bFilterOk ? filter.p : nullptr;
  const int bOk = command.p->bFormatCondition(info.p, pclOther, bKeepSort, nMode);
  // A query rewritten as a whole keeps its own text between the pieces it
  // writes (its literals among them): only the other modes are read.
  const bool bAsAWhole = nMode == 1 || (nMode & 4) != 0;
  CheckFormatted(command.p, error.p, bOk,
                 bSplit && !bAsAWhole && (pclOther == nullptr || bConditionTree));

  if (pclValues != nullptr) pclValues->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  Fixture& f = GetFixture();
  if (nSize == 0 || nSize > kMaxInput) return -1;
  const std::wstring strText = Widen(pData + 1, nSize - 1);
  const size_t nNul = strText.find(L'\0');
  const std::wstring strQuery = strText.substr(0, nNul);
  const std::wstring strCondition = nNul == std::wstring::npos ? strText : strText.substr(nNul + 1);
  if (strCondition.find(L'\0') != std::wstring::npos) return -1;  // one NUL at most

  g_strLooking = L"query " + strQuery + L"\ncondition " + strCondition;
  const Counts before = CountsNow(f);
  RunOne(f, pData[0], strQuery, strCondition);
  Check(CountsNow(f) == before);
  return 0;
}
