// CBrowseSession: kqhost's command interpreter. It plays the server's part
// for one table of one connection: opens it as the server does
// (INADriver::piGetTableDesc for the description, INADriver::piGetTable, then
// INATable::bHOuvre), browses and searches it through INATable, and prints
// each record it reads as the mariadb client prints a row with --batch
// --skip-column-names (host/harness/batch_row_printer.h).
//
// Commands, one a line (blank lines and lines that begin with '#' do
// nothing):
//   context N            the calling server context's identifier (1 at first)
//   open TABLE           opens the table in the current context (another
//                        table's object is closed and released first)
//   close                closes it in the current context and releases it
//   first|last|next|prev ITEM   reads in the item's order (bHLitxxx 0-3)
//   all ITEM             first, then next up to the end
//   allback ITEM         last, then previous up to the start
//   seek ITEM VALUE      generic search of a text value (bHRecherche)
//   seekexact ITEM VALUE exact search
//   recnum               the current record's number (llGetRecNum)
//   read N               reads record N (bHLit)
//   save ITEM            saves the position and prints its number
//   return N             returns to saved position N
//   free N               frees saved position N
// A record read prints as one row; a read past either end prints
// "out of range"; a search then prints "found" or "not found"; a failure
// prints "error USER NATIVE: message" (the driver's user error, the native
// or database server's code or 0, the user message of the driver's error; never
// the connection's password). kqhost's own refusals (an unknown command, no
// open table) print "error 0 0: ...". Output is flushed after every command.
//
// Values: host code sees language values only as CAny pointers. Searches
// make their value through the stand-in's value maker
// (host/parser/standin_value_maker.h) and memos are read back through a
// value reader (below); whoever links the driver's value library installs
// both. Without them, searches and memo items answer an error.
//
// Ownership: the session borrows the driver object and the connection
// description (both must outlive it); it holds the table object, its
// description and items, and releases them on close and in its destructor.
// Threads: one thread.
#ifndef KQ230_HOST_HARNESS_BROWSE_SESSION_H_
#define KQ230_HOST_HARNESS_BROWSE_SESSION_H_

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/harness/batch_row_printer.h"
#include "host/harness/standin_objects.h"
#include "kq230/connection_description_interface.h"
#include "kq230/item_description_interface.h"
#include "kq230/na_driver_interface.h"
#include "kq230/na_table_interface.h"

class CAny;
class INAError;

// Reads a language value back as bytes, for the memos of a row.
class IBrowseValueReader {
 public:
  // 1 with *pstrBytes the value (UTF-8 for a text, the bytes of a binary
  // value), 0 when the value is NULL, -1 when its type has no such form.
  virtual int nReadBytes(const CAny* pValue, std::string* pstrBytes) = 0;

 protected:
  ~IBrowseValueReader() = default;
};

// Installs the process's value reader (null: none); answers the previous one.
IBrowseValueReader* BrowseSetValueReader(IBrowseValueReader* piReader);
IBrowseValueReader* BrowseGetValueReader();

// The error line of a failure: "error USER NATIVE: message", without the
// newline. The native code comes from the dump's "EIT_NATIVECODE : <n>"
// (else its "EIT_BASECODE : <n>", the database server's code), the
// message from the line after "User message:" (else the dump's first line);
// every occurrence of pszSecret (the password; null or empty: none) is
// masked. With pstrDump, the whole dump too, masked the same way.
std::string strErrorLine(INAError* piError, const wchar_t* pszSecret,
                         std::string* pstrDump = nullptr);

class CBrowseSession final : private CBatchRowPrinter::IMemoSource {
 public:
  // Answers go to pOut; the whole dump of each driver error (the password
  // masked) to pLog, when given.
  CBrowseSession(INADriver* piDriver, INAConnectionDescription* piConnection, std::FILE* pOut,
                 std::FILE* pLog = nullptr);
  ~CBrowseSession();
  CBrowseSession(const CBrowseSession&) = delete;
  CBrowseSession& operator=(const CBrowseSession&) = delete;

  // Runs one command line. False when it failed (an error line was printed).
  bool bRun(const std::string& strLine);
  // Runs every line of pIn; the number of commands that failed.
  int nRunAll(std::FILE* pIn);

 private:
  struct _stItem {
    INAItemDescription* pi;
    unsigned int nIndex;  // in the description, as bGetBLOB counts items
  };

  INAContext* _piContext();
  bool _bOpen(const std::string& strTable);
  void _Close();
  bool _bNeedTable();
  // One read in a direction, then its row or "out of range". *pbOut tells
  // whether the read went past an end.
  bool _bReadDirection(const std::wstring& strItem, eNA_PARSEDIRECTION eDirection, bool* pbOut);
  bool _bSeek(const std::wstring& strItem, const std::string& strValue, bool bGeneric);
  // The current record's row, or "out of range" (when bSayOut).
  bool _bPrintCurrent(const wchar_t* pszItem, bool bSayOut, bool* pbOut);
  bool _bTableFailure();
  bool _bDriverFailure();
  bool _bFailure(INAError* piError);
  bool _bRefuse(const std::string& strWhy);
  void _Line(const std::string& str);
  int nReadMemo(INAItemDescription* piItem, std::string* pstrBytes,
                std::string* pstrError) override;

  INADriver* m_piDriver;
  INAConnectionDescription* m_piConnection;
  std::FILE* m_pOut;
  std::FILE* m_pLog;
  std::map<unsigned int, std::unique_ptr<CStandInContext>> m_mapContexts;
  unsigned int m_dwContextID = 1;
  INADataSourceDescription* m_piSource = nullptr;
  INATable* m_piTable = nullptr;
  std::vector<_stItem> m_aItems;
  // The open table's name.
  std::wstring m_strTable;
  // The item of the last read, for the commands that name none.
  std::wstring m_strLastItem;
  CBatchRowPrinter m_clPrinter;
};

// A wide text of the driver as UTF-8 (a unit that is no character reads as
// U+FFFD); null gives "".
std::string strHostUtf8(const wchar_t* psz);

#endif  // KQ230_HOST_HARNESS_BROWSE_SESSION_H_
