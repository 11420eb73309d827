// sqlprobe: test equipment that puts the driver's value conversions and its
// MariaDB connection within reach of scripts. It links the code as the tests
// do, bound in process to the stand-in server, takes the process locale from
// the environment (LC_ALL, LANG ...), opens the driver's MariaDB connection to
// the server described by the file that KQ_MARIADB_ENV names, then reads one
// command a line from standard input and answers one line each:
//
//   OK<TAB>result
//   ERR<TAB>user error number<TAB>text      (0: the probe refused the input)
//
// Fields are separated by TAB; in a field (and in an answer's text) \\, \t,
// \n, \r and \xNN stand for those bytes. Texts are UTF-8.
//
//   dbtext<TAB>item type<TAB>item size<TAB>decimal digits<TAB>text
//     The text as a cell fetched by the UTF-8 connection (the conversion
//     holder's database text, in the connection's code page) into the fixed
//     raw slot of an item of that type and size; a decimal item has
//     38 - decimal digits before the point. Result: the slot in hexadecimal.
//   sqltype<TAB>item type<TAB>item size<TAB>integer digits<TAB>decimal digits
//     The SQL type text that the connection's final type map gives the item.
//   limit<TAB>row limit<TAB>row offset<TAB>text, limited<TAB>text
//     Row limits of a SELECT command (tests/tools/sqlprobe_limit.h).
//   where<TAB>table<TAB>column<TAB>eq|begins<TAB>language type<TAB>value,
//   name<TAB>table|item<TAB>name
//     A command's WHERE text and names (tests/tools/sqlprobe_command.h).
//   search<TAB>table<TAB>column<TAB>item type<TAB>item size<TAB>kind<TAB>value[<TAB>value2]
//     The statement SELECT column FROM table WHERE + the condition a record
//     search writes, kind eq|begins|next|prev|filter
//     (tests/tools/sqlprobe_search.h).
//   declare<TAB>logical table<TAB>physical table[<TAB>column<TAB>item type<TAB>item size]...
//     Adds a file to the stand-in parser's analysis, kept between commands.
//   query<TAB>mode<TAB>text
//     The text parsed by the stand-in parser over that analysis and
//     rewritten by CNACommand::bFormatCondition in that mode (0, 1, 4), sort
//     kept: the formatted text, every value class written out. Mode -1
//     rewrites as mode 0 and answers the statement text with its parameter
//     list instead (tests/tools/sqlprobe_query.h).
//   autoid<TAB>physical table<TAB>column
//     The column's next value as the table's automatic identifier, TAB, its
//     current maximum or NULL (tests/tools/sqlprobe_autoid.h).
//
// Bad input (an unknown command, a wrong number of fields, a bad number or
// escape, an item the descriptions refuse) is an ERR line, never a crash. A
// connection that cannot be opened makes every command an ERR line with the
// connection's error.
#include <dlfcn.h>

#include <clocale>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "driver/function_loader.h"
#include "driver/na_error.h"
#include "host/harness/host_harness.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "items/sql_type_map.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_driver.h"
#include "tests/mariadb/client_library.h"
#include "tests/mariadb/host_connection_fake.h"
#include "tests/mariadb/server_env.h"
#include "tests/support/bound_framework.h"
#include "tests/tools/sqlprobe_autoid.h"
#include "tests/tools/sqlprobe_command.h"
#include "tests/tools/sqlprobe_fields.h"
#include "tests/tools/sqlprobe_limit.h"
#include "tests/tools/sqlprobe_query.h"
#include "tests/tools/sqlprobe_search.h"
#include "values/value_calc.h"
#include "values/value_conversion.h"

namespace {

// The largest slot the probe lays out.
constexpr int kMaxSlot = 1 << 20;

// A refused command: the user error number and the text.
struct Refusal {
  unsigned int nError;
  std::string text;
};

std::string Hex(const unsigned char* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(kDigits[p[i] >> 4]);
    out.push_back(kDigits[p[i] & 0xF]);
  }
  return out;
}

// The driver's error as a refusal: its user error number and its text (the
// user message of its dump when the dump has one, else the whole dump).
Refusal FromError(const CNAError& clError, const char* pszWhenEmpty) {
  std::string text = sqlprobe::Utf8(clError.pszGetError());
  static const char kUserMessage[] = "User message:\r\n";
  const size_t nStart = text.find(kUserMessage);
  if (nStart != std::string::npos) {
    const size_t nFrom = nStart + sizeof kUserMessage - 1;
    const size_t nEnd = text.find("\r\n\r\n", nFrom);
    text = text.substr(nFrom, nEnd == std::string::npos ? std::string::npos : nEnd - nFrom);
  }
  if (text.empty()) text = pszWhenEmpty;
  return {clError.nGetUserErrorCode(), text};
}

// Counted objects of the driver held for one command.
template <typename T>
struct Held {
  explicit Held(T* p) : p(p) {}
  ~Held() {
    if (p != nullptr) p->nRelease();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  T* p;
};

class Probe {
 public:
  Probe() {
    std::string why;
    kq230::test_support::MariadbServer server;
    if (!kq230::test_support::ReadMariadbServer(nullptr, &server, &why)) {
      m_refusal = {0, why};
      return;
    }
    // The back end's driver object: the connection makes its type map
    // through the item layer's services that it holds.
    m_pclDriver = new CMySQLDriver;
    m_host.user = Wide(server.user);
    m_host.password = Wide(server.password);
    m_host.defaultDatabase = Wide(server.database);
    m_host.dataSource = L"localhost";
    m_host.extended = L"Unix Socket=" + Wide(server.socket);
    m_pcl = new CMySQLConnection(L"Connection=sqlprobe", &m_host);
    m_pcl->AddRef();
    CNAError clError;
    if (m_pcl->bOpen(&clError) != 1) m_refusal = FromError(clError, "the connection did not open");
  }
  ~Probe() {
    if (m_pcl != nullptr) {
      CNAError clError;
      m_pcl->bClose(&clError);
      m_pcl->nRelease();
    }
    delete m_pclDriver;
    CMySQLConnection::g_TermNativeLibrary();
    CNAFunctionLoader::g_Term();
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  // The answer line to one command line (without its end of line).
  std::string Answer(const std::string& line) {
    std::vector<std::string> fields;
    std::string why;
    if (!sqlprobe::bSplitFields(line, &fields, &why)) return Err({0, why});
    Refusal refusal{0, ""};
    std::string result;
    bool bOk = false;
    if (fields[0] == "dbtext") {
      bOk = bDBText(fields, &result, &refusal);
    } else if (fields[0] == "sqltype") {
      bOk = bSQLType(fields, &result, &refusal);
    } else if (sqlprobe::bIsLimitCommand(fields[0]) ||
               sqlprobe::bIsCommandWriterCommand(fields[0]) ||
               sqlprobe::bIsSearchCommand(fields[0]) ||
               sqlprobe::bIsAutoIdCommand(fields[0])) {
      if (bConnected(&refusal)) {
        sqlprobe::Answer answer;
        if (sqlprobe::bIsLimitCommand(fields[0]))
          answer = sqlprobe::RunLimitCommand(m_pcl, fields);
        else if (sqlprobe::bIsCommandWriterCommand(fields[0]))
          answer = sqlprobe::RunCommandWriterCommand(m_pcl, fields);
        else if (sqlprobe::bIsAutoIdCommand(fields[0]))
          answer = sqlprobe::RunAutoIdCommand(m_pcl, fields);
        else
          answer = sqlprobe::RunSearchCommand(m_pcl, fields);
        bOk = answer.bOk;
        if (bOk) result = answer.text; else refusal = {answer.nError, answer.text};
      }
    } else if (sqlprobe::bIsQueryCommand(fields[0])) {
      if (!sqlprobe::bQueryCommandNeedsConnection(fields[0]) || bConnected(&refusal)) {
        const sqlprobe::Answer answer = m_queries.Run(m_pcl, fields);
        bOk = answer.bOk;
        if (bOk) result = answer.text; else refusal = {answer.nError, answer.text};
      }
    } else {
      refusal = {0, "unknown command"};
    }
    return bOk ? "OK\t" + sqlprobe::Escape(result) : Err(refusal);
  }

 private:
  static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
  static std::string Err(const Refusal& r) {
    return "ERR\t" + std::to_string(r.nError) + "\t" + sqlprobe::Escape(r.text);
  }

  // Four numbers after the command, or a refusal.
  static bool bNumbers(const std::vector<std::string>& fields, size_t nCount, int* pn,
                       Refusal* pRefusal) {
    for (size_t i = 0; i < nCount; ++i) {
      if (!sqlprobe::bDecimal(fields[i + 1], &pn[i])) {
        *pRefusal = {0, "field " + std::to_string(i + 2) + " is not a number"};
        return false;
      }
    }
    return true;
  }

  // An item of the command's type, size and digits; null with a refusal.
  static CNAItemDescription* pclItem(int nType, int nSize, int nInteger, int nDecimal,
                                     Refusal* pRefusal) {
    if (nSize > kMaxSlot) {
      *pRefusal = {0, "item size past " + std::to_string(kMaxSlot)};
      return nullptr;
    }
    CNAItemDescription* pclItem = new CNAItemDescription;
    pclItem->AddRef();
    if (!pclItem->bInit(L"probe", L"probe", L"probe", 1, nSize, nType, 0, 0, 0, nInteger, nDecimal,
                        nullptr, nullptr)) {
      pclItem->nRelease();
      *pRefusal = {0, "no item of that type and size"};
      return nullptr;
    }
    return pclItem;
  }

  bool bConnected(Refusal* pRefusal) const {
    if (m_pcl != nullptr && m_pcl->bIsOpen()) return true;
    *pRefusal = m_refusal;
    return false;
  }

  bool bDBText(const std::vector<std::string>& fields, std::string* pResult, Refusal* pRefusal) {
    if (fields.size() != 5) {
      *pRefusal = {0, "dbtext takes 4 fields"};
      return false;
    }
    int an[3];
    if (!bNumbers(fields, 3, an, pRefusal) || !bConnected(pRefusal)) return false;
    const int nType = an[0], nSize = an[1], nDecimal = an[2];
    const int nInteger = nDecimal >= 0 && nDecimal < 38 ? 38 - nDecimal : 0;
    Held<CNAItemDescription> item(pclItem(nType, nSize, nInteger, nDecimal, pRefusal));
    if (item.p == nullptr) return false;
    Held<CNAError> error(new CNAError);
    error.p->AddRef();
    Held<CNAConvertVariant> holder(new CNAConvertVariant(error.p, m_pcl));
    holder.p->AddRef();
    std::vector<unsigned char> slot(static_cast<size_t>(nSize));
    const unsigned short nVX = ConverteItemToVXType(item.p->eNAGetItemType(), 0);
    bool bOk = holder.p->bInitTypeVariant(NA_VT_BUFFER, slot.empty() ? nullptr : slot.data(),
                                          static_cast<unsigned int>(slot.size()), nVX) != 0;
    if (bOk) {
      holder.p->SetItemDesc(item.p, nullptr);
      const std::string& text = fields[4];
      bOk = holder.p->bSetValueDB(text.data(), static_cast<unsigned int>(text.size()),
                                  static_cast<unsigned int>(m_pcl->nGetConnectionCodePage())) != 0;
      holder.p->SetItemDesc(nullptr, nullptr);
    }
    if (!bOk) {
      *pRefusal = FromError(*error.p, "the holder refused the text");
      return false;
    }
    *pResult = Hex(slot.data(), slot.size());
    return true;
  }

  bool bSQLType(const std::vector<std::string>& fields, std::string* pResult, Refusal* pRefusal) {
    if (fields.size() != 5) {
      *pRefusal = {0, "sqltype takes 4 fields"};
      return false;
    }
    int an[4];
    if (!bNumbers(fields, 4, an, pRefusal) || !bConnected(pRefusal)) return false;
    Held<CNAItemDescription> item(pclItem(an[0], an[1], an[2], an[3], pRefusal));
    if (item.p == nullptr) return false;
    CNAError clError;
    CNAMapConvertType* pclMap = m_pcl->pclGetNativeTypeMap(&clError);
    if (pclMap == nullptr) {
      *pRefusal = FromError(clError, "no type map");
      return false;
    }
    stNATypeItemFacts st;
    st.eItemType = item.p->eNAGetItemType();
    st.nItemSize = item.p->nGetItemSize();
    st.nLogicalSize = item.p->nGetLogicalSize(0);
    st.nIntegerPart = item.p->nGetIntegerPart();
    st.nDecimalPart = item.p->nGetDecimalPart();
    CXYString<wchar_t> out;
    const bool bOk = pclMap->bFormat(st, &out) != 0;
    if (bOk) *pResult = sqlprobe::Utf8(out.pszGet());
    out.ReleaseDynStr();
    if (!bOk) *pRefusal = {0, "the type map has no entry for item type " + fields[1]};
    return bOk;
  }

  kqtest::HostConnectionFake m_host;
  // The stand-in parser's analysis of the query commands.
  sqlprobe::QueryCommands m_queries;
  CMySQLDriver* m_pclDriver = nullptr;
  CMySQLConnection* m_pcl = nullptr;
  Refusal m_refusal{0, "the connection did not open"};
};

}  // namespace

int main() {
  std::setlocale(LC_ALL, "");
  kq230::test_support::KeepClientLibraryForTheProgram();
  kqtest::BoundFramework binding;
  if (!binding.bStarted()) {
    std::fprintf(stderr, "sqlprobe: the framework did not start against the stand-in\n");
    return 2;
  }
  void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_NOLOAD);
  if (hVM == nullptr || bInitVXConvFromVM(static_cast<HINSTANCE>(hVM), 2, 2) != 1 ||
      bInitVXCalcFromVM(hVM, 2, 2) != 1) {
    std::fprintf(stderr, "sqlprobe: the value conversions did not bind to the stand-in\n");
    if (hVM != nullptr) dlclose(hVM);
    return 2;
  }
  {
    Probe probe;
    std::string line;
    while (std::getline(std::cin, line)) {
      std::cout << probe.Answer(line) << '\n' << std::flush;
    }
  }
  dlclose(hVM);
  return 0;
}
