#include "host/harness/browse_session.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "host/parser/standin_value_maker.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/na_error_interface.h"

namespace {

IBrowseValueReader* g_piValueReader = nullptr;


// UTF-8 command words as wide text; a malformed byte reads as U+FFFD.
std::wstring Wide(const std::string& str) {
  std::wstring strOut;
  const auto* p = reinterpret_cast<const unsigned char*>(str.c_str());
  const auto* pEnd = p + str.size();
  while (p < pEnd) {
    unsigned int c = *p++;
    int nMore = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (c >= 0x80 && nMore == 0) {
      strOut += L'\uFFFD';
      continue;
    }
    if (nMore > 0) c &= 0x3Fu >> nMore;
    for (; nMore > 0 && p < pEnd && (*p & 0xC0) == 0x80; --nMore) c = (c << 6) | (*p++ & 0x3F);
    strOut += nMore == 0 ? static_cast<wchar_t>(c) : L'\uFFFD';
  }
  return strOut;
}

// A whole decimal number of the command line, in the range given.
bool bNumber(const std::string& str, long long llMin, long long llMax, long long* pll) {
  if (str.empty()) return false;
  errno = 0;
  char* pEnd = nullptr;
  const long long ll = std::strtoll(str.c_str(), &pEnd, 10);
  if (errno != 0 || pEnd == nullptr || *pEnd != 0 || ll < llMin || ll > llMax) return false;
  *pll = ll;
  return true;
}

// Masks every occurrence of strSecret in *pstr.
void Mask(std::string* pstr, const std::string& strSecret) {
  if (strSecret.empty()) return;
  for (size_t n = pstr->find(strSecret); n != std::string::npos; n = pstr->find(strSecret, n + 3))
    pstr->replace(n, strSecret.size(), "***");
}

// Dumps end their lines with "\r\n"; the client's lines have no carriage return.
std::vector<std::string> Lines(const std::string& str) {
  std::vector<std::string> aLines;
  std::string strLine;
  std::istringstream in(str);
  while (std::getline(in, strLine)) {
    if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
    aLines.push_back(strLine);
  }
  return aLines;
}

}  // namespace

std::string strHostUtf8(const wchar_t* psz) {
  std::string str;
  for (; psz != nullptr && *psz != 0; ++psz) {
    unsigned int c = static_cast<unsigned int>(*psz);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      str += static_cast<char>(c);
    } else if (c < 0x800) {
      str += static_cast<char>(0xC0 | (c >> 6));
      str += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      str += static_cast<char>(0xE0 | (c >> 12));
      str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      str += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      str += static_cast<char>(0xF0 | (c >> 18));
      str += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      str += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return str;
}

IBrowseValueReader* BrowseSetValueReader(IBrowseValueReader* piReader) {
  IBrowseValueReader* piPrevious = g_piValueReader;
  g_piValueReader = piReader;
  return piPrevious;
}

IBrowseValueReader* BrowseGetValueReader() { return g_piValueReader; }

std::string strErrorLine(INAError* piError, const wchar_t* pszSecret, std::string* pstrDump) {
  if (piError == nullptr) return "error 0 0: the driver gave no error object";
  const std::string strDump = strHostUtf8(piError->pszGetError());
  if (pstrDump != nullptr) {
    *pstrDump = strDump;
    Mask(pstrDump, strHostUtf8(pszSecret));
  }
  const std::vector<std::string> aLines = Lines(strDump);
  // The native code, else the database server's own code (the driver files
  // a server's refusal under the latter).
  long long llNative = 0, llBase = 0;
  bool bNative = false;
  std::string strMessage;
  static const char kNative[] = "EIT_NATIVECODE : <";
  static const char kBase[] = "EIT_BASECODE : <";
  for (size_t i = 0; i < aLines.size(); ++i) {
    const std::string& strLine = aLines[i];
    if (strLine.rfind(kNative, 0) == 0) {
      llNative = std::strtoll(strLine.c_str() + sizeof kNative - 1, nullptr, 10);
      bNative = true;
    } else if (strLine.rfind(kBase, 0) == 0) {
      llBase = std::strtoll(strLine.c_str() + sizeof kBase - 1, nullptr, 10);
    } else if (strMessage.empty() && strLine == "User message:" && i + 1 < aLines.size()) {
      strMessage = aLines[i + 1];
    }
  }
  if (strMessage.empty()) {
    for (const std::string& strLine : aLines) {
      if (!strLine.empty()) {
        strMessage = strLine;
        break;
      }
    }
  }
  std::string strLine = "error " + std::to_string(piError->dwGetErrorId()) + " " +
                        std::to_string(bNative ? llNative : llBase) + ": " + strMessage;
  Mask(&strLine, strHostUtf8(pszSecret));
  return strLine;
}

CBrowseSession::CBrowseSession(INADriver* piDriver, INAConnectionDescription* piConnection,
                               std::FILE* pOut, std::FILE* pLog)
    : m_piDriver(piDriver),
      m_piConnection(piConnection),
      m_pOut(pOut),
      m_pLog(pLog),
      m_clPrinter(CBatchRowPrinter::kCodePageWestern, this) {}

CBrowseSession::~CBrowseSession() { _Close(); }

INAContext* CBrowseSession::_piContext() {
  std::unique_ptr<CStandInContext>& p = m_mapContexts[m_dwContextID];
  if (p == nullptr) p = std::make_unique<CStandInContext>(m_dwContextID, 1);
  return p.get();
}

void CBrowseSession::_Line(const std::string& str) {
  std::fputs(str.c_str(), m_pOut);
  std::fputc('\n', m_pOut);
}

bool CBrowseSession::_bRefuse(const std::string& strWhy) {
  _Line("error 0 0: " + strWhy);
  return false;
}

bool CBrowseSession::_bFailure(INAError* piError) {
  std::string strDump;
  _Line(strErrorLine(piError, m_piConnection->pszGetPassword(), &strDump));
  if (m_pLog != nullptr) {
    std::string strText;
    for (const std::string& strLine : Lines(strDump)) strText += "  " + strLine + "\n";
    std::fprintf(m_pLog, "kqhost: the driver's error:\n%s", strText.c_str());
    std::fflush(m_pLog);
  }
  return false;
}

bool CBrowseSession::_bTableFailure() { return _bFailure(m_piTable->piGetLastError(_piContext())); }

bool CBrowseSession::_bDriverFailure() { return _bFailure(m_piDriver->piGetLastError()); }

bool CBrowseSession::_bNeedTable() {
  if (m_piTable != nullptr) return true;
  return _bRefuse("no table is open (open TABLE first)");
}

int CBrowseSession::nRunAll(std::FILE* pIn) {
  int nFailed = 0;
  std::string strLine;
  for (int c = std::fgetc(pIn);; c = std::fgetc(pIn)) {
    if (c == EOF || c == '\n') {
      if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
      if (!bRun(strLine)) ++nFailed;
      strLine.clear();
      if (c == EOF) break;
    } else {
      strLine += static_cast<char>(c);
    }
  }
  return nFailed;
}

bool CBrowseSession::bRun(const std::string& strLine) {
  // The command word, its first argument, and the rest of the line (a
  // searched value may hold blanks).
  size_t n = strLine.find_first_not_of(" \t");
  if (n == std::string::npos || strLine[n] == '#') return true;
  auto NextWord = [&strLine, &n]() {
    const size_t nEnd = std::min(strLine.find_first_of(" \t", n), strLine.size());
    std::string strWord = strLine.substr(n, nEnd - n);
    n = strLine.find_first_not_of(" \t", nEnd);
    if (n == std::string::npos) n = strLine.size();
    return strWord;
  };
  const std::string strCommand = NextWord();
  const std::string strArgument = NextWord();
  const std::string strRest = strLine.substr(n);
  bool bOk = true;
  bool bOut = false;
  long long ll = 0;
  if (strCommand == "context") {
    if (!bNumber(strArgument, 0, UINT_MAX, &ll) || !strRest.empty())
      bOk = _bRefuse("usage: context N");
    else
      m_dwContextID = static_cast<unsigned int>(ll);
  } else if (strCommand == "open") {
    bOk = strArgument.empty() || !strRest.empty() ? _bRefuse("usage: open TABLE")
                                                  : _bOpen(strArgument);
  } else if (strCommand == "close") {
    if (_bNeedTable()) {
      bOk = m_piTable->bHFerme(_piContext()) ? true : _bTableFailure();
      _Close();
    } else {
      bOk = false;
    }
  } else if (strCommand == "first" || strCommand == "last" || strCommand == "next" ||
             strCommand == "prev") {
    const eNA_PARSEDIRECTION eDirection = strCommand == "first"  ? NA_PARSE_FIRST
                                          : strCommand == "last" ? NA_PARSE_LAST
                                          : strCommand == "next" ? NA_PARSE_NEXT
                                                                 : NA_PARSE_PREVIOUS;
    if (strArgument.empty() || !strRest.empty())
      bOk = _bRefuse("usage: " + strCommand + " ITEM");
    else
      bOk = _bNeedTable() && _bReadDirection(Wide(strArgument), eDirection, &bOut);
  } else if (strCommand == "all" || strCommand == "allback") {
    const bool bForward = strCommand == "all";
    if (strArgument.empty() || !strRest.empty()) {
      bOk = _bRefuse("usage: " + strCommand + " ITEM");
    } else if ((bOk = _bNeedTable())) {
      const std::wstring strItem = Wide(strArgument);
      bOk = _bReadDirection(strItem, bForward ? NA_PARSE_FIRST : NA_PARSE_LAST, &bOut);
      while (bOk && !bOut)
        bOk = _bReadDirection(strItem, bForward ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS, &bOut);
    }
  } else if (strCommand == "seek" || strCommand == "seekexact") {
    if (strArgument.empty())
      bOk = _bRefuse("usage: " + strCommand + " ITEM VALUE");
    else
      bOk = _bNeedTable() && _bSeek(Wide(strArgument), strRest, strCommand == "seek");
  } else if (strCommand == "recnum") {
    if (!strArgument.empty())
      bOk = _bRefuse("usage: recnum");
    else if ((bOk = _bNeedTable()))
      _Line(std::to_string(m_piTable->llGetRecNum(_piContext())));
  } else if (strCommand == "read") {
    if (!bNumber(strArgument, LLONG_MIN, LLONG_MAX, &ll) || !strRest.empty()) {
      bOk = _bRefuse("usage: read N");
    } else if ((bOk = _bNeedTable())) {
      eNA_LOCKTYPE eLock = NA_LOCK_DEFAULT;
      bOk =
          m_piTable->bHLit(_piContext(), ll, NA_LOCK_DEFAULT, &eLock)
              ? _bPrintCurrent(m_strLastItem.empty() ? nullptr : m_strLastItem.c_str(), true, &bOut)
              : _bTableFailure();
    }
  } else if (strCommand == "save") {
    if (strArgument.empty() || !strRest.empty()) {
      bOk = _bRefuse("usage: save ITEM");
    } else if ((bOk = _bNeedTable())) {
      int nPosition = 0;
      const std::wstring strItem = Wide(strArgument);
      if (m_piTable->bHSauvePosition(_piContext(), strItem.c_str(), &nPosition, 0))
        _Line(std::to_string(nPosition));
      else
        bOk = _bTableFailure();
    }
  } else if (strCommand == "return") {
    if (!bNumber(strArgument, INT_MIN, INT_MAX, &ll) || !strRest.empty()) {
      bOk = _bRefuse("usage: return N");
    } else if ((bOk = _bNeedTable())) {
      // The driver may name the item of the position here: room for any
      // item name.
      std::vector<wchar_t> aItem(m_strLastItem.begin(), m_strLastItem.end());
      aItem.resize(aItem.size() + 1024, L'\0');
      if (m_piTable->bHRetourPosition(_piContext(), static_cast<int>(ll), aItem.data(), 0, 0)) {
        aItem.back() = L'\0';
        const std::wstring strItem(aItem.data());
        bOk = _bPrintCurrent(strItem.empty() ? nullptr : strItem.c_str(), true, &bOut);
      } else {
        bOk = _bTableFailure();
      }
    }
  } else if (strCommand == "free") {
    if (!bNumber(strArgument, INT_MIN, INT_MAX, &ll) || !strRest.empty())
      bOk = _bRefuse("usage: free N");
    else if ((bOk = _bNeedTable()))
      bOk =
          m_piTable->bHLiberePosition(_piContext(), static_cast<int>(ll)) ? true : _bTableFailure();
  } else {
    bOk = _bRefuse("unknown command \"" + strCommand + "\"");
  }
  std::fflush(m_pOut);
  return bOk;
}

bool CBrowseSession::_bOpen(const std::string& strTable) {
  const std::wstring strName = Wide(strTable);
  // The same table in another context: the server opens its one table
  // object there too.
  if (m_piTable != nullptr && strName == m_strTable) {
    if (!m_piTable->bHOuvre(_piContext(), _eNA_ACCESS(0), nullptr)) return _bTableFailure();
    return true;
  }
  _Close();
  m_piSource = m_piDriver->piGetTableDesc(strName.c_str(), m_piConnection);
  if (m_piSource == nullptr) return _bDriverFailure();
  m_piTable = m_piDriver->piGetTable(m_piConnection, m_piSource);
  if (m_piTable == nullptr) {
    _bDriverFailure();
    _Close();
    return false;
  }
  const int nItems = m_piSource->nGetNumItems();
  for (int i = 0; i < nItems; ++i) {
    INAItemDescription* pi = m_piSource->piNAGetItem(static_cast<unsigned int>(i));
    if (pi == nullptr) continue;
    // A composed key is no column of the row.
    if (pi->bIsComposedKey()) {
      pi->nExternalRelease();
      continue;
    }
    m_aItems.push_back({pi, static_cast<unsigned int>(i)});
  }
  if (!m_piTable->bHOuvre(_piContext(), _eNA_ACCESS(0), nullptr)) {
    _bTableFailure();
    _Close();
    return false;
  }
  m_strTable = strName;
  m_strLastItem.clear();
  return true;
}

void CBrowseSession::_Close() {
  for (const _stItem& st : m_aItems) st.pi->nExternalRelease();
  m_aItems.clear();
  if (m_piTable != nullptr) m_piTable->nExternalRelease();
  m_piTable = nullptr;
  if (m_piSource != nullptr) m_piSource->nExternalRelease();
  m_piSource = nullptr;
  m_strTable.clear();
}

bool CBrowseSession::_bReadDirection(const std::wstring& strItem, eNA_PARSEDIRECTION eDirection,
                                     bool* pbOut) {
  m_strLastItem = strItem;
  eNA_LOCKTYPE eLock = NA_LOCK_DEFAULT;
  *pbOut = false;
  if (!m_piTable->bHLitxxx(_piContext(), strItem.c_str(), eDirection, 0, NA_LOCK_DEFAULT, &eLock,
                           0)) {
    // A read past an end may answer 0 without an error: that is no failure.
    int bOut = 0;
    INAError* piError = m_piTable->piGetLastError(_piContext());
    if ((piError == nullptr || piError->dwGetErrorId() == 0) &&
        m_piTable->bHEnDehors(_piContext(), strItem.c_str(), &bOut) && bOut) {
      *pbOut = true;
      _Line("out of range");
      return true;
    }
    return _bTableFailure();
  }
  return _bPrintCurrent(strItem.c_str(), true, pbOut);
}

bool CBrowseSession::_bPrintCurrent(const wchar_t* pszItem, bool bSayOut, bool* pbOut) {
  INAContext* piContext = _piContext();
  int bOut = 0;
  if (!m_piTable->bHEnDehors(piContext, pszItem, &bOut)) return _bTableFailure();
  *pbOut = bOut != 0;
  if (bOut) {
    if (bSayOut) _Line("out of range");
    return true;
  }
  CNAZBRecordBase* pclRecord = nullptr;
  if (!m_piTable->bGetRecord(piContext, &pclRecord)) return _bTableFailure();
  if (pclRecord == nullptr) return _bRefuse("the driver gave no current record");
  std::vector<INAItemDescription*> aItems;
  for (const _stItem& st : m_aItems) aItems.push_back(st.pi);
  std::string strRow, strError;
  if (!m_clPrinter.bFormatRow(*pclRecord, aItems, &strRow, &strError))
    return _bRefuse("cannot print the record: " + strError);
  _Line(strRow);
  return true;
}

bool CBrowseSession::_bSeek(const std::wstring& strItem, const std::string& strValue,
                            bool bGeneric) {
  IStandInValueMaker* piMaker = StandInGetValueMaker();
  if (piMaker == nullptr) return _bRefuse("no value maker: this kqhost cannot make search values");
  CAny* pValue = piMaker->pclNew(StandInValue::Text(Wide(strValue)));
  if (pValue == nullptr) return _bRefuse("the value maker made no value");
  m_strLastItem = strItem;
  INAContext* piContext = _piContext();
  eNA_LOCKTYPE eLock = NA_LOCK_DEFAULT;
  const int bSearched = m_piTable->bHRecherche(piContext, strItem.c_str(), pValue, bGeneric ? 1 : 0,
                                               0, NA_LOCK_DEFAULT, &eLock, 0, 0);
  piMaker->Delete(pValue);
  if (!bSearched) return _bTableFailure();
  bool bOut = false;
  if (!_bPrintCurrent(strItem.c_str(), false, &bOut)) return false;
  int bFound = 0, bEvaluated = 0;
  if (!m_piTable->bEvalHTrouve(piContext, strItem.c_str(), &bFound, &bEvaluated))
    return _bTableFailure();
  _Line(bFound && !bOut ? "found" : "not found");
  return true;
}

int CBrowseSession::nReadMemo(INAItemDescription* piItem, std::string* pstrBytes,
                              std::string* pstrError) {
  IStandInValueMaker* piMaker = StandInGetValueMaker();
  IBrowseValueReader* piReader = BrowseGetValueReader();
  if (piMaker == nullptr || piReader == nullptr) {
    *pstrError = "no value maker or reader: this kqhost cannot read memos";
    return -1;
  }
  unsigned int nIndex = 0;
  for (const _stItem& st : m_aItems)
    if (st.pi == piItem) nIndex = st.nIndex;
  CAny* pValue = piMaker->pclNew(StandInValue::Null());
  if (pValue == nullptr) {
    *pstrError = "the value maker made no value";
    return -1;
  }
  int nResult = -1;
  if (!m_piTable->bGetBLOB(_piContext(), nIndex, pValue)) {
    *pstrError =
        strErrorLine(m_piTable->piGetLastError(_piContext()), m_piConnection->pszGetPassword());
  } else {
    nResult = piReader->nReadBytes(pValue, pstrBytes);
    if (nResult < 0) *pstrError = "the memo's value has no text or binary form";
  }
  piMaker->Delete(pValue);
  return nResult;
}
