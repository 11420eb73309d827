// The MariaDB form of the connection's string literals (the _bEscapeString
// hook): every text or binary value that a search, a filter or a write sends
// to the server passes here.
//
// WHY HEXADECIMAL FOR A BACKSLASH OR A ZERO. The server reads a backslash in
// a quoted literal as an escape unless the session's sql_mode holds
// NO_BACKSLASH_ESCAPES, and a program may change that mode with its own SET
// at any moment, through any query the driver passes on. A literal written
// for the wrong mode either changes the value ('a\n' read as a line feed) or
// leaves the literal early (a text ending in a backslash escapes the closing
// quote, and with multiple statements on, what follows runs as SQL). Tracking
// the mode would mean reading the session state after every reply and
// trusting that nothing changed it unseen (a stored procedure, an init
// command, a reconnection). Instead every literal is written in a form that
// both modes read alike:
//   - a text holding neither a backslash nor a zero byte (in the bytes sent):
//     '...' with each quote doubled; nothing else in it is special in either
//     mode;
//   - any other text: its bytes as a hexadecimal literal after the
//     connection's character-set introducer (_utf8mb4 X'5C27'), which keeps
//     the value a text of the connection's character set and collation, and
//     which holds no quote, backslash or zero at all.
// The text is first converted to the connection's code page and judged on
// those bytes (core/sql_literal.h), so that no conversion after the escaping
// can make a backslash, and a double-byte character whose second byte is 0x5C
// is sent whole inside a hexadecimal literal, never cut.
//
// Binary values (BIN, BUFFER, MEMOIMG) are written whole as X'...', zero
// bytes included. No literal ever puts a zero byte into the SQL text.
#include "mariadb/mysql_connection.h"

#include <cstring>

#include "core/error_object.h"
#include "core/locale_compare.h"
#include "core/mixed_width_concat.h"
#include "core/sql_literal.h"
#include "core/string_concat.h"
#include "driver/na_error.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/command.h"

namespace {

constexpr int kUtf8 = 65001;

bool bIsBinaryType(unsigned short nType) {
  return nType == VX_BIN || nType == VX_BUFFER || nType == VX_MEMOIMG;
}

bool bIsWideType(unsigned short nType) {
  return nType == VX_DSTRW || nType == 20 || nType == VX_CARW || nType == VX_PSTRW;
}

int nResolve(int nCodePage) { return nCodePage == -1 ? STR_nGetCurrentCodePage() : nCodePage; }

}  // namespace

int CMySQLConnection::_nLiteralCodePage() const {
  const int nCodePage = nGetConnectionCodePage();
  // The client library takes no wide text: a wide builder's text reaches it
  // as UTF-8.
  if (nCodePage == kCodePageWide) return kUtf8;
  if (nCodePage == kCodePageUnset) return nResolve(nGetLanguageCodePage());
  return nCodePage;
}

const char* CMySQLConnection::_pszCharsetIntroducer(int nCodePage) const {
  if (nCodePage == kUtf8) {
    // The session runs utf8mb4 from 5.5.3 on (SET NAMES at the opening), the
    // three-byte utf8 before; a server not known yet is taken as current.
    const int nMajor = nGetServerVersionMajor();
    const int nMinor = nGetServerVersionMinor();
    const bool bUtf8mb4 = nMajor < 0 || nMajor > 5 ||
                          (nMajor == 5 && (nMinor > 5 || (nMinor == 5 && nGetServerVersionRelease() >= 3)));
    return bUtf8mb4 ? "utf8mb4" : "utf8";
  }
  // The server's latin1 is code page 1252.
  if (nCodePage == 1252) return "latin1";
  return nullptr;
}

int CMySQLConnection::_bEscapeString(CNAError* pclError, CTStringConcatAW* pclOut,
                                     unsigned short nType, unsigned char* pData,
                                     unsigned int nSize) {
  pclOut->Vide();
  if (pData == nullptr) nSize = 0;
  if (bIsBinaryType(nType)) {
    pclOut->Add(L"X'");
    if (!s_bBinaryToStringHexa(pclError, pData, nSize, pclOut)) return 0;
    pclOut->Add(L"'");
    return pclOut->bEchec() ? 0 : 1;
  }
  if (nSize > 0x7FFFFFF0U) {
    if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
    return 0;
  }
  const int nCodePage = _nLiteralCodePage();
  const char* pszIntroducer = _pszCharsetIntroducer(nCodePage);
  const bool bSameBytes = !pclOut->bWideMode() && nResolve(pclOut->nGetMode()) == nCodePage;
  int bDone = 0;
  if (!bIsWideType(nType)) {
    // 8-bit text of the language's code page.
    const char* p = reinterpret_cast<const char*>(pData);
    const int nLanguage = nResolve(nGetLanguageCodePage());
    if (bSameBytes && nLanguage == nCodePage) {
      pclOut->_Invalidate();
      bDone = AddSqlStringLiteral(pclOut->_Ansi(), p, static_cast<int>(nSize), nCodePage,
                                  eSqlLiteralAnyMode, pszIntroducer);
    } else {
      CXYStringConcat<wchar_t> clWide(nSize + 1);
      if (nSize > 0 &&
          !clWide.AddAnsi(p, static_cast<int>(nSize), static_cast<unsigned int>(nLanguage))) {
        if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
        return 0;
      }
      return _bAddTextLiteral(pclError, pclOut, clWide.pszGet(),
                              static_cast<int>(clWide.nGetLength()), nCodePage, pszIntroducer);
    }
  } else {
    return _bAddTextLiteral(pclError, pclOut, reinterpret_cast<const wchar_t*>(pData),
                            static_cast<int>(nSize / sizeof(wchar_t)), nCodePage, pszIntroducer);
  }
  if (!bDone || pclOut->bEchec()) {
    if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
    return 0;
  }
  return 1;
}

int CMySQLConnection::_bAddTextLiteral(CNAError* pclError, CTStringConcatAW* pclOut,
                                       const wchar_t* pText, int n, int nCodePage,
                                       const char* pszIntroducer) {
  // A character the session's code page lacks would reach the server as "?":
  // another value than the program's. Refused, as names and statement texts
  // are (debug site 12 of the command's file: a literal).
  unsigned int nRefused = 0;
  if (!CNACommand::s_bTextFitsCodePage(pText, n, nCodePage, &nRefused)) {
    CNACommand::s_RaiseTextOutsideCodePage(pclError, this, nRefused != 0 ? nRefused : 0xFFFD, 12);
    return 0;
  }
  int bDone = 0;
  if (!pclOut->bWideMode() && nResolve(pclOut->nGetMode()) == nCodePage) {
    // The builder holds the bytes the server receives: escaped in them.
    bDone = AddSqlStringLiteral(*pclOut, pText, n, eSqlLiteralAnyMode, pszIntroducer);
  } else if (pclOut->bWideMode()) {
    pclOut->_Invalidate();
    bDone = AddSqlStringLiteral(pclOut->_Wide(), pText, n, nCodePage, eSqlLiteralAnyMode,
                                pszIntroducer);
  } else {
    // A builder in another code page than the connection's: the literal is
    // made for the connection's bytes, then handed over as wide text.
    CXYStringConcat<wchar_t> clLiteral(static_cast<unsigned int>(n) + 16);
    bDone = AddSqlStringLiteral(clLiteral, pText, n, nCodePage, eSqlLiteralAnyMode,
                                pszIntroducer) &&
            pclOut->Add(clLiteral.pszGet(), static_cast<int>(clLiteral.nGetLength()));
  }
  if (!bDone || pclOut->bEchec()) {
    if (pclError != nullptr) pclError->pclGetLastXError()->SetErrorNoMemory();
    return 0;
  }
  return 1;
}
