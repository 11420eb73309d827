// CNAConnectionDescription: one connection of the driver to a database server
// as the driver keeps it: the server's description of the connection (an
// INAConnectionDescription handed in), the identification text by which the
// driver shares connections, the connection string, the values of the
// extended keywords ("KQ Cache Size", "KQ Lock Timeout", "SSL Key" ...), the
// server-dependent settings that the SQL builder and the value conversions
// consult, and the SQL dialect hooks (declared here, written in
// driver/sql_dialect.cc). The back end (mariadb/mysql_connection.h) derives
// from it and supplies bOpen, bIsOpen, bClose and the native type table.
//
// Extended information: "name=value" pairs separated by ";". A keyword is read
// only where a pair begins, so a keyword spelt inside another's value (a
// password holding "KQ Lock Timeout=5") is never taken for it; blanks around
// "=" are allowed; a keyword without "=" is not one; a number that does not
// read gives what strtol reads from its start (0 when nothing). Each keyword
// read is removed from the text that pszGetExtendedInfo answers.
//
// Secrets: the password is only passed on (into the connection string and to
// the back end when it connects); the identification, as the driver builds
// it, never holds it in clear. No text of this class that may reach a message
// or a dump holds the password: the provider text is printed with the values
// of "password"/"pwd" masked (sql_dialect.h).
//
// Ownership: a CInterf: counted references, destroyed by the release that
// takes the count to 0. The connection holds one reference on the server's
// description (its slot 5 in the constructor, slot 6 in the destructor) and
// keeps nothing else of it: every value is asked again when needed.
//
// Threads: none of its own. Connections are created, opened, shared and
// released under the driver lock; the process-wide statics (the generator,
// m_csClientLibrary, m_csClientVersion) rely on that serialisation.
#ifndef KQ230_DRIVER_CONNECTION_DESCRIPTION_H_
#define KQ230_DRIVER_CONNECTION_DESCRIPTION_H_

#include <cstdint>

#include "core/counted_string.h"
#include "core/wide_string.h"
#include "driver/reference_counted.h"
#include "kq230/item_type.h"

class CAny;
class CNAError;
class CNAItemServices;
class CNAMapConvertType;
class CNATransactionBase;
class CTStringConcatAW;
class CXError;
class CXTime;
class INAConnectionDescription;
class INAItemDescription;
class ISQLParserInformation;

// Cursor location asked by "KQ Cursor Location" or the server's cursor options.
enum eCURSORLOCATION : int { CL_DEFAULT = 0, CL_CLIENT = 1, CL_SERVER = 2 };

// Server kinds: every connection of this system is kind 5 once the back end
// constructed it; 0 is the generic base.
inline constexpr int kServerKindNone = 0;
inline constexpr int kServerKindMariaDB = 5;

// Code-page words of a connection: not set yet, and wide text.
inline constexpr int kCodePageUnset = -1;
inline constexpr int kCodePageWide = -2;

class CNAConnectionDescription : public CInterf {
 public:
  // The identification text that the driver built (copied) and the server's
  // description (one reference taken; may not be null).
  // REQUIRES: piHost non-null; the locale service is bound (keyword search).
  CNAConnectionDescription(const wchar_t* pszIdentification, INAConnectionDescription* piHost);
  ~CNAConnectionDescription() override;

  CNAConnectionDescription(const CNAConnectionDescription&) = delete;
  CNAConnectionDescription& operator=(const CNAConnectionDescription&) = delete;

  // ---- Supplied by the back end
  // Connects (the back end's sequence). 1, or 0 with the error filled.
  virtual int bOpen(CNAError* pclError) = 0;
  virtual int bIsOpen() const = 0;
  // Ends the native connection; 1 unless the client library faulted.
  virtual int bClose(CNAError* pclError) = 0;

  // ---- Dialect hooks (base behaviour in driver/sql_dialect.cc). Those not
  // built yet answer 0 (and, where they take an error, user error 8 with the
  // debug text "<hook>: not built yet").
  virtual int bSupportOrderByMemo() { return 0; }
  virtual int bOrderByIndiceAllowed() const { return 1; }
  virtual int bTransactionEndCloseParse() { return 0; }
  virtual int bTreatEmptyDateAsNULL() { return 1; }
  virtual int bTreat0000DateAsNULL();
  virtual int bSupportItemTime() { return 0; }
  virtual int bSupportItemDate() { return 0; }
  virtual int bNULLBeforeNotNULL() { return 1; }
  virtual int bSupportInsertReturning() { return 0; }
  virtual int bCanPrepareQuery() const { return 1; }
  virtual int bIndexNamesCommonOnDatabase() const { return 0; }
  virtual int vbNotNullSupported(INAItemDescription* piItem);
  // Base: bOpen.
  virtual int bOpenCreate(CNAError* pclError);
  virtual const wchar_t* pszGetNoLockHint() { return m_csRecordLockHint.pszGet(); }
  virtual int bTransactionBeginDirect(CNAError* pclError);
  virtual int bTransactionCommitDirect(CNAError* pclError);
  virtual int bTransactionRollBackDirect(CNAError* pclError);
  // A new closed transaction level of this connection, no reference taken;
  // null when none can be made. The generic connection has none (the table
  // layer's transaction is made by the back end).
  virtual CNATransactionBase* pclAllocTransaction();
  // "LOCK TABLE " + table through bExecuteQueryNoResult. The MariaDB back end
  // replaces it: that statement is no MariaDB syntax.
  virtual int bSQLBloque(CNAError* pclError, const wchar_t* pszTable);
  virtual int bSQLBloque(CNAError* pclError, ISQLParserInformation* piQuery);
  // query + " FOR UPDATE" through bExecuteQueryIgnoreResult.
  virtual int bSQLBloqueRequete(CNAError* pclError, const wchar_t* pszQuery);
  // Base: user error 8, the text as item name, type 7; 0.
  virtual int bDiagnose(CNAError* pclError, CAny* pValue, const wchar_t* pszText,
                        unsigned int nOption);
  // Fills pclError from the connection's last native error under the code
  // (nFile, nSite) of the caller. Base: 0.
  virtual int bInitError(CNAError* pclError, unsigned int nFile, unsigned int nSite);
  // The native-access error type of a native error number. Base: 0.
  virtual int eGetNAErrorType(unsigned int nNativeError);
  virtual int bConvertValueToString(CNAError* pclError, CTStringConcatAW* pclOut,
                                    const CAny* pValue, int eItemType, int eItemType2,
                                    int bDateFlag, int nUnused);
  virtual int bCastCAnyIntoDBType(CNAError* pclError, CAny* pValue, int eItemType,
                                  int eItemType2, int nFlag);
  virtual int nGetOrderByMaxExpressionNbr();
  // Adds to a module error the connection's native information: client and
  // server versions (items 22, 23) and one debug line per parameter, the
  // provider masked, never the password.
  virtual void AddInfoNativeXError(CXError* pclXError);
  virtual int bDBTypeToString(CTString* pOut, int nType) const;
  virtual int bDBTypeUnkwnownByDB(int nType) const;
  // Runs SQL that gives no result. Base: through a statement of the
  // driver's handle-level SQL interface; the back end runs it itself.
  virtual int bExecuteQueryNoResult(CNAError* pclError, const wchar_t* pszQuery);
  // Base: bExecuteQueryNoResult.
  virtual int bExecuteQueryIgnoreResult(CNAError* pclError, const wchar_t* pszQuery);
  // Runs the query through a statement of the driver's handle-level SQL
  // interface and places column nColumn (from 0) of its first row in
  // *pValue (no row: untouched, 1).
  virtual int bGetRequestedValue(CNAError* pclError, CAny* pValue, int nColumn,
                                 const wchar_t* pszQuery);
  // bGetRequestedValue, then the value as text (language type PSTRW) into
  // *pstrValue; a NULL value or one that does not convert leaves it
  // unchanged. The hook's result.
  int bGetRequestedValueString(CNAError* pclError, CXYString<wchar_t>* pstrValue, int nColumn,
                               const wchar_t* pszQuery);
  virtual int _bEscapeString(CNAError* pclError, CTStringConcatAW* pclOut,
                             unsigned short nType, unsigned char* pData, unsigned int nSize);
  virtual int _bBoolToString(CNAError* pclError, CTStringConcatAW* pclOut, int bValue);
  virtual int _bDateToString(CNAError* pclError, CTStringConcatAW* pclOut, const CAny* pValue,
                             int eItemType, int bFlag);
  virtual void _CancelRecordLock(CNATransactionBase*) {}
  // Adjusts the native type map once it is made (the back end's).
  virtual void _InitZB2NativeType() = 0;
  // Decomposes the server version text into major, minor and release; 1.
  virtual int _bDecomposeServerVersion(CNAError* pclError);

  // ---- Names (driver/sql_dialect.cc). The quote strings enclose names.
  // Whether name must be quoted: not when no quote is set, not when it is
  // already a well-formed quoted name (opening quote, body with every inner
  // closing quote doubled, closing quote); yes otherwise.
  int _bNeedFormatName(CNAError* pclError, const wchar_t* pszName);
  // opening + name (each inner closing quote doubled) + closing, or the name
  // when it needs no quoting. 1.
  int bFormatItemName(CNAError* pclError, const wchar_t* pszName, CTString* pOut);
  // Each "."-separated part quoted on its own (a "." inside a quoted part
  // belongs to it); a name that needs no quoting is copied. 1.
  int bFormatTableName(CNAError* pclError, const wchar_t* pszName, CTString* pOut);
  // The text between the quotes of a quoted name, doubled quotes undone; other
  // names unchanged. pOut may hold pszName itself.
  void UnFormatItemName(const wchar_t* pszName, CTString* pOut);
  int bExtractOwner(const wchar_t* pszOwner, const wchar_t* pszName, CTString* pOwner,
                    CTString* pTable);
  static void DecomposeTableName(CTString* pFirst, CTString* pSecond, CTString* pTable,
                                 const wchar_t* pszName);
  static int s_bNeedFormat_Oracle(const wchar_t* pszName);
  static int s_bReservedSQLWord(const wchar_t* pszWord);

  // ---- Type names and expressions (driver/sql_type_names.cc)
  // The item's date or time as text comparable with the record form of its
  // item type, written into *pclOut as an expression of the dialect over
  // pszExpression: YYYYMMDD for NA_IT_DATE8, HHMM / HHMMSS and the fraction
  // digits for NA_IT_HEURE by its size, YYYYMMDDHHMMSSmmm for
  // NA_IT_DATETIME. 1 for those; any other item gets the expression unchanged
  // and 0. piOther is not read.
  int bConvertExpressionToString(CNAError* pclError, CTStringConcatAW* pclOut,
                                 const wchar_t* pszExpression, INAItemDescription* piItem,
                                 INAItemDescription* piOther);
  // The item type, record size, integer digits and decimals of a server type
  // name ("int(10) unsigned", "varchar(40)", "decimal(12,2)") and its
  // character set or collation name (may be null). Sizes are bounded: a
  // declared length that is missing, malformed, negative or unclosed counts
  // as 1, a huge one is capped, and anything past 65535 is a memo. Always 1;
  // a name it does not know is a text memo. Outputs may not be null.
  int bSQLTypeNameToNAType(CNAError* pclError, eNA_ITEMTYPE* peItemType, int* pnSize,
                           int* pnIntegerDigits, int* pnDecimals, const wchar_t* pszTypeName,
                           const wchar_t* pszCharset);
  // The declared length after pszPrefix in the upper-cased pszName: the
  // digits between "(" and ")" (blanks allowed around them), at most
  // kMaxDeclaredLength; 1 when there is no such well-formed number.
  static int _nGetSizeInTypeDecl(const wchar_t* pszName, const wchar_t* pszPrefix);
  static constexpr int kMaxDeclaredLength = 0x0FFFFFFF;  // doubled twice, still an int
  // The SQL type text that creates a column holding the item's values. A
  // Unicode item on a connection that refuses them: user error 46 (point
  // 1.11). A decimal on MariaDB: "NUMERIC(p,s)" (bounds in the code).
  // Otherwise the connection's native type map answers; an item type it has
  // no entry for is user error 8 naming it. 1, or 0 with the error.
  int bGetMatchingSQLType(CNAError* pclError, INAItemDescription* piItem,
                          CXYString<wchar_t>* pOut);
  // The value of a default text as the server reports it for the item: null,
  // "NULL" (any case; also the empty text on kind 1) give NULL of the item's
  // language type, an empty text its empty value; a quoted literal ('it''s')
  // is unquoted and unescaped, a bit literal (b'101') becomes its number, and
  // the rest is read as database text of the item. An expression that is no
  // value of the item (current_timestamp()) is the conversion error (53);
  // *pValue then holds NULL of the item's type. 1, or 0 with the error.
  int bConvertStringToDefaultValue(CAny* pValue, const wchar_t* pszText,
                                   INAItemDescription* piItem, CNAError* pclError);
  // The connection's native type map: made on first use through the item
  // layer's services of the driver object (the generic defaults), then
  // adjusted once by the back end's _InitZB2NativeType. Null, with user error
  // 8 in pclError, without a driver object or its services; with an
  // out-of-memory error when no map can be had. Owned by the connection.
  CNAMapConvertType* pclGetNativeTypeMap(CNAError* pclError);

  // ---- Literals, casts, dates (driver/sql_literals.cc)
  // The hooks bConvertValueToString, bCastCAnyIntoDBType, _bEscapeString,
  // _bBoolToString and _bDateToString (declared with the hooks above) write
  // a language value as an SQL literal into a builder whose whole text they
  // replace; their base behaviour is written there:
  //   - NULL (the flag, or type 0) is "NULL"; with a target item type the
  //     value is first cast to it (a cast the language refuses leaves the
  //     value as it is); numbers are written unquoted, after a check that
  //     their text is a number (a decimal comma becomes a point); texts and
  //     binaries go through _bEscapeString; dates and times through
  //     _bDateToString (text that is no date or time: user error 43, points
  //     1.8 and 1.9).
  //   - _bEscapeString (base, for the generic kinds): quotes doubled, "N'"
  //     for the wide texts of kinds 1 and 2, binaries whole as X'...'. It
  //     takes exactly nSize bytes (a terminator is not counted; a trailing
  //     zero character of a wide text is dropped). The MariaDB back end
  //     replaces it.
  //   - bCastCAnyIntoDBType: 1 when the value is of the target's language
  //     type or needs no cast; on a refusal the value is unchanged and the
  //     error is CNAError::SetAnyError with the cast's code (file 1, site 14,
  //     15 or 16). Without the item layer's services: user error 8.
  // The value's text as the language writes it (cast to DSTRW); an empty
  // string when the cast fails. 1.
  int bCopyString(CNAError* pclError, CXYString<wchar_t>* pOut, const CAny* pValue);
  // Text forms of a parsed date or time, and of a literal text: with bFlag
  // set the escape-clause form "{d ...}", "{t ...}", "{ts ...}".
  // "'YYYY-MM-DD'", "'HH:MM:SS.mmm'" (kinds 7, 8, 11: no milliseconds),
  // "'YYYY-MM-DD HH:MM:SS.mmm'". Each empties the builder first. 1, or 0
  // when memory was refused.
  int _bDateToString(CNAError* pclError, CTStringConcatAW* pclOut, const CXTime& clTime,
                     int bFlag);
  int _bDateToString(CNAError* pclError, CTStringConcatAW* pclOut, const wchar_t* pszLiteral,
                     int bFlag);
  int _bTimeToString(CNAError* pclError, CTStringConcatAW* pclOut, const CXTime& clTime,
                     int bFlag);
  int _bDateTimeToString(CNAError* pclError, CTStringConcatAW* pclOut, const CXTime& clTime,
                         int bFlag);
  int _bDateTimeToString(CNAError* pclError, CTStringConcatAW* pclOut,
                         const wchar_t* pszLiteral, int bFlag);
  // Appends up to 9 time digits as "HH:MM:SS", then pszSeparator and the
  // digits after the sixth (a ":" after the second and the fourth digit).
  // Digits beyond 9, and everything from the first character that is no
  // digit, are left out. 1, or 0 when memory was refused.
  static int s_bTimeToStringIncomplete(CNAError* pclError, CTStringConcatAW* pclOut,
                                       const wchar_t* pszDigits, const wchar_t* pszSeparator);
  // Two upper-case hexadecimal digits per byte; no byte gives "".
  static void s_BinaryToStringHexa(const unsigned char* pData, unsigned int nSize, CTString* pOut);
  // The 8-bit form into pszOut of nOutSize characters (2 x nSize + 1 needed):
  // the length written, or -1 (pszOut "" when it has room) when it does not fit.
  static int s_BinaryToStringHexa(const unsigned char* pData, unsigned int nSize, char* pszOut,
                                  unsigned int nOutSize);
  // Appends the digits to the builder. 1, or 0 with an out-of-memory error.
  static int s_bBinaryToStringHexa(CNAError* pclError, const unsigned char* pData,
                                   unsigned int nSize, CTStringConcatAW* pclOut);
  // Clears the nSize bytes of pBuffer, then turns each pair of hexadecimal
  // digits (either case) into one byte, stopping at the end of the text, at a
  // last digit without its partner, or when the buffer is full. The count of
  // bytes written, or -1 when a character that is no hexadecimal digit comes
  // first (the bytes before it are written). A null text writes nothing.
  static int s_StringHexaToBinary(const wchar_t* pszText, unsigned char* pBuffer,
                                  unsigned int nSize);
  static int s_StringHexaToBinary(const char* pszText, unsigned char* pBuffer, unsigned int nSize);

  // ---- Native errors
  // AddInfoNativeXError on the error's main error (nothing for null).
  void AddInfoNative(CNAError* pclError);

  // ---- Values asked of the server's description (no copy kept)
  const wchar_t* pszGetUserName() const;
  // Passed on to the client library only: never into a message.
  const wchar_t* pszGetPassword() const;
  // The data source: the server's address.
  const wchar_t* pszGetDataBase() const;
  const wchar_t* pszGetDescription() const;
  int eGetAccess() const;
  const wchar_t* pszGetProvider() const;
  int lGetCursorOptions() const;
  const wchar_t* pszGetDefaultDataBase() const;
  const wchar_t* pszGetLogicalConnectionName() const;
  // The name in the server's connection object (slot 18): see the stand-in
  // harness for where it lies; null when the server gives none.
  const wchar_t* pszGetConnectionName() const;
  INAConnectionDescription* piGetHostDescription() const { return m_piHost; }

  // ---- Values of the connection
  int nGetID() const { return m_nID; }
  const wchar_t* pszGetIdentification() const { return m_csIdentification.pszGet(); }
  // The extended information left once the recognised keywords were removed.
  const wchar_t* pszGetExtendedInfo() const { return m_csExtendedInfo.pszGet(); }
  // "Provider=...;ExtendedInformation=...;Data source=...;user id=...;
  // password=..." (holds the password: for the client side only, never for a
  // message).
  const wchar_t* pszGetConnectionString() const;
  int bAutoCloseEnabled() const;
  void SetAutoClose(int bAllowed) { m_bAutoClose = bAllowed; }
  // The mark of a connection opened through the handle-level SQL interface
  // (statements/driver_sql.h), which is never shared with another opening.
  // Set for the data access to decide on caching by; nothing reads it yet.
  int bOpenedBySQLInterface() const { return m_bOpenedBySQLInterface; }
  void SetOpenedBySQLInterface(int bOpened) { m_bOpenedBySQLInterface = bOpened; }
  // The open flag of the transaction (0 without one). A transaction that
  // ended when the connection was lost counts as open until the program
  // commits or rolls it back.
  int _bTransactionOpened() const;
  int bResumeCurrentTransaction(CNAError* pclError);
  int bActiveCurrentTransaction(CNAError* pclError, int bActive);

  // ---- Transactions (driver/sql_dialect.cc). One transaction object per
  // connection, made at the first begin and kept (one reference).
  // Opens the connection, then begins the transaction; a begin while it is
  // open begins an inner level. 1, or 0 with the error filled.
  int bTransactionBegin(CNAError* pclError, const wchar_t* pszName);
  // Ends the named (or, with no name, the innermost) level. Without a
  // transaction object: user error 9 naming it. 1, or 0 with the error.
  int bTransactionCommit(CNAError* pclError, const wchar_t* pszName);
  int bTransactionRollBack(CNAError* pclError, const wchar_t* pszName);
  // The transaction object, no reference added; null before the first begin.
  CNATransactionBase* pclGetTransaction() const { return m_pclTransaction; }
  // The native connection was lost (server error nNative, its message)
  // while the transaction was open: the server has discarded its work, so
  // the transaction ends as aborted, and nothing reconnects until the
  // program ends it. Nothing happens without an open transaction.
  void _AbortTransaction(unsigned int nNative, const wchar_t* pszMessage);
  // The transaction ended as aborted and was not committed or rolled back
  // yet; *pnNative gets the native code of the loss (may be null).
  int _bTransactionAborted(unsigned int* pnNative) const;
  static const wchar_t* s_pszGetCursorLocation(int eLocation);
  // "Initial Catalog" of the extended information, else of the provider text,
  // else the server's default database; computed once, then kept.
  const wchar_t* pszGetDefaultDataBaseEx();
  const wchar_t* pszGetApplicationName();
  // Reads one keyword of the extended information (see the header comment),
  // removing it when bRemove. 1.
  int _bGetExtendedParameter(CTString* pValue, const wchar_t* pszKeyword, int bRemove);
  int _bGetExtendedParameter(CTString* pValue, int* pbFound, const wchar_t* pszKeyword,
                             int bRemove);
  // The keyword read from the provider text, without removal. 1.
  int bGetDataBaseHiddenInProvider(CTString* pValue, const wchar_t* pszKeyword) const;
  // 1 when the "KQ CLIENT LIBRARY" wanted is the one loaded (or none is
  // wanted); else user error 74 (file 1, site 17) and 0.
  int _bCheckClientLibraryWanted(CNAError* pclError);

  int64_t llGetCacheSize() const { return m_llCacheSize; }
  // Replaces the cache size the extended parameters gave (rows per window
  // of a browse; -2: about 1 MiB of rows).
  void SetCacheSize(int64_t llRows) { m_llCacheSize = llRows; }
  int eGetCursorLocation() const { return m_eCursorLocation; }
  int nGetConnectionTimeout() const { return m_nConnectionTimeout; }
  int nGetCommandTimeout() const { return m_nCommandTimeout; }
  int nGetLockTimeout() const { return m_nLockTimeout; }
  int bUnicodeSupport() const { return m_bUnicodeSupport; }
  int bUnicodeItemsAllowed() const { return m_bUnicodeItemsAllowed; }
  int nGetLanguageCodePage() const { return m_nLanguageCodePage; }
  int nGetConnectionCodePage() const { return m_nConnectionCodePage; }
  const CTString& csGetSSLMode() const { return m_csSSLMode; }
  const CTString& csGetSSLKey() const { return m_csSSLKey; }
  const CTString& csGetSSLCert() const { return m_csSSLCert; }
  const CTString& csGetSSLCA() const { return m_csSSLCA; }
  const CTString& csGetSSLCAPath() const { return m_csSSLCAPath; }
  const CTString& csGetSSLCipher() const { return m_csSSLCipher; }
  const CTString& csGetClientVersionWanted() const { return m_csClientVersionWanted; }
  const CTString& csGetClientLibraryWanted() const { return m_csClientLibraryWanted; }

  // ---- Server kind and version
  int nGetServerKind() const { return m_nServerKind; }
  const wchar_t* pszGetServerVersion() const { return m_csServerVersion.pszGet(); }
  int nGetServerVersionMajor() const { return m_nServerVersionMajor; }
  int nGetServerVersionMinor() const { return m_nServerVersionMinor; }
  int nGetServerVersionRelease() const { return m_nServerVersionRelease; }
  const wchar_t* pszGetOpeningQuote() const { return m_csOpeningQuote.pszGet(); }
  const wchar_t* pszGetClosingQuote() const { return m_csClosingQuote.pszGet(); }

  // Server-kind tables: the kind's column, or "other" for a kind outside them.
  int bSupportSubQuery() const;
  int bSupportLimitOrTop() const;
  int nGetVarCharMaxLen() const;
  int nGetNVarCharMaxLen() const;
  const wchar_t* pszGetVarCharType() const;
  const wchar_t* pszGetNVarCharType() const;
  const wchar_t* pszGetCLOBType() const;
  const wchar_t* pszGetNCLOBType() const;

  // ---- Statics
  // The version text cut at "."; the first three pieces read as "%d" (a
  // piece that does not read, or is missing, leaves its output). 1.
  static int g_bDecomposeVersion(CNAError* pclError, const CTString* pText, int* pnMajor,
                                 int* pnMinor, int* pnRelease);
  // The program's file name without directory and extension; false when the
  // program's path cannot be read.
  static int g_bGetExeName(CTString* pOut);
  static void s_DateStandardise(CTString* pText);

  // Connections made since the library started (the next one gets it + 1).
  static int m_gnCnxGenerator;
  // The client library loaded (its full path) and its version text; empty
  // until the first connection of the process loads it. Cleared by
  // g_ResetClientLibraryInfo when the library ends.
  static CTString& m_csClientLibrary;
  static CTString& m_csClientVersion;
  static void g_ResetClientLibraryInfo();

 protected:
  // For the back end's constructor and opening.
  void _SetServerKind(int nKind) { m_nServerKind = nKind; }
  void _SetQuotes(const wchar_t* pszOpening, const wchar_t* pszClosing);
  void _SetServerVersion(const wchar_t* pszText) { m_csServerVersion = pszText; }
  void _SetConnectionCodePage(int nCodePage) { m_nConnectionCodePage = nCodePage; }
  void _SetUnicodeSupport(int bSupport) { m_bUnicodeSupport = bSupport; }
  // Whether bGetMatchingSQLType accepts Unicode text items (1 by default).
  void _SetUnicodeItemsAllowed(int bAllowed) { m_bUnicodeItemsAllowed = bAllowed; }
  // The native type map while _InitZB2NativeType adjusts it (null before it
  // is made).
  CNAMapConvertType* _pclNativeTypeMap() const { return m_pclNativeTypeMap; }
  // Sets the language code page from the server's current character set.
  void _InitCodePageFromVX();
  void _CloseTransactions();
  // Raises the loss that aborted the transaction (its native code and
  // message) at the debug point (file 1, nSite); 0.
  int _nReportLostTransaction(CNAError* pclError, int nSite);
  // The placeholder answer of a hook not built yet: user error 8, debug
  // "<pszWhat>: not built yet"; 0.
  int _nNotBuiltYet(CNAError* pclError, const wchar_t* pszWhat);

 private:
  void _BuildConnexionString();
  void _ReadKeywords();

  int m_nID;
  INAConnectionDescription* m_piHost;
  CTString m_csIdentification;
  CTString m_csConnectionString;
  int m_bAutoClose = 1;
  CNATransactionBase* m_pclTransaction = nullptr;
  CTString m_csDefaultDataBase;
  int64_t m_llCacheSize = -2;
  int m_eCursorLocation = CL_DEFAULT;
  int m_bInternalTransactions = 1;
  CTString m_csExtendedInfo;
  int m_nConnectionTimeout = -1;
  int m_nCommandTimeout = -1;
  int m_nLockTimeout = -1;
  CTString m_csRecordLockHint;
  CNAMapConvertType* m_pclNativeTypeMap = nullptr;
  const CNAItemServices* m_pclTypeMapServices = nullptr;  // made the map; drops it
  int m_bUnicodeItemsAllowed = 1;
  int m_bUnicodeSupport = 1;
  int m_nLanguageCodePage = kCodePageUnset;
  int m_nConnectionCodePage = kCodePageUnset;
  CTString m_csSSLMode, m_csSSLKey, m_csSSLCert, m_csSSLCA, m_csSSLCAPath, m_csSSLCipher;
  CTString m_csClientVersionWanted;
  CTString m_csClientLibraryWanted;
  CTString m_csApplicationName;
  int m_nServerKind = kServerKindNone;
  CTString m_csServerVersion;
  int m_nServerVersionMajor = -1;
  int m_nServerVersionMinor = 0;
  int m_nServerVersionRelease = 0;
  CTString m_csOpeningQuote;
  int m_nOpeningQuoteLength = 0;
  CTString m_csClosingQuote;
  int m_nClosingQuoteLength = 0;
  int m_bOpenedBySQLInterface = 0;
};

#endif  // KQ230_DRIVER_CONNECTION_DESCRIPTION_H_
