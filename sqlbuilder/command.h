// CNACommand: one SQL statement under construction. It keeps the statement's
// text as the driver writes it, the parameters bound into that text, the
// output columns (defines) that a SELECT fills, the kind of statement, the
// parsed query it came from, and a second, formatted text in which every
// parameter is written out as an SQL literal of the connection's dialect.
// Statements run the formatted text; the data access creates commands, sets
// their kind and row limit. The driver makes commands through
// CNADriver::pclAllocCommand.
//
// Where the operations live: this file and command.cc (object, texts,
// defines, formatted text, dump); command_parameters.cc (parameters, their
// literals, LIKE patterns); command_clauses.cc (clause location, row limits,
// names through the dialect); command_expression.cc (a parsed query written
// again: the located-pieces walk, the expression walk, tokens of unsplit
// queries, a condition merged into WHERE, computed columns, other dialects'
// function names); command_rewrite.cc (the clause writers of that walk:
// FROM, joins, select list, aliases, INSERT/UPDATE, GROUP BY, ORDER BY).
//
// Every value reaches the server as a literal written here, and every name
// is quoted through the connection's writers: nothing of a value or a name is
// ever pasted into the text by hand. LIKE patterns have one representation
// from the caller to the server: the parameter's escape character (the
// backslash when it has none) marks a literal "%", "_" or escape character;
// the formatted text always carries the pattern with "!" as its escape
// character and an explicit ESCAPE '!' clause, so the pattern means the same
// in every sql_mode ("!" needs no escaping in a literal, with or without
// NO_BACKSLASH_ESCAPES).
//
// Positions: a parameter's position is a wide-character index into the
// statement text, the length of that text when the parameter was added. The
// command counts that length as the text grows: the primary form of a UTF-8
// or 8-bit connection counts bytes, and rebuilding the wide form to measure
// it at each parameter would make a statement of k parameters cost k times
// its length.
//
// Ownership: counted as CInterf. The command holds one reference on its
// error object, its connection, its parsed query, each parameter and each
// define; it owns its four texts and its NULL-exclusion list.
// Threads: none of its own; a command belongs to one statement or data
// access and is used under the driver lock.
#ifndef KQ230_SQLBUILDER_COMMAND_H_
#define KQ230_SQLBUILDER_COMMAND_H_

#include <cstdint>

#include "core/counted_string.h"
#include "core/growable_array.h"
#include "core/mixed_width_concat.h"
#include "core/string_concat.h"
#include "core/wide_string.h"
#include "driver/reference_counted.h"
#include "items/define.h"
#include "items/item_types.h"
#include "items/na_operator.h"
#include "items/sql_element.h"
#include "kq230/sql_parser_interface.h"
#include "sqlbuilder/parameter.h"

class CAny;
class CColumnNullValueExcluded;
class CNAColumn;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNADefine;
class CNAError;
class CNARecord;
class CNAVariant;
class CSQLParserInfo;
class IExpOpExpression;
class IInfoFrom;
class IInfoRubrique;
class INADataSourceDescription;
class INAItemDescription;
class INAQueryParametersValue;
struct CTabValParser;

// Kinds of statement of a command.
enum eNACOMMANDKIND : int {
  NA_CMD_NONE = 0,
  NA_CMD_SELECT = 1,
  NA_CMD_UPDATE = 2,
  NA_CMD_INSERT = 3,
  NA_CMD_HOST5 = 4,
  NA_CMD_NO_RESULT = 6,
  NA_CMD_OTHER = 8,
  NA_CMD_HOST7 = 9,
  NA_CMD_SET = 10,
};

// The command's kind for the host's query type of a parsed query: 0 gives 8,
// 1 and 2 give 1, 3 gives 2, 4 gives 3, 5 gives 4, any other value 8.
int eConvertTypeQuery(eTYPEREQUETE eType);

class CNACommand : public CInterf {
 public:
  // Value classes of parameters (a mask): how the formatted text writes
  // them. 0: none (a prepared statement), -1: every class (a text run
  // directly).
  enum ePARAMTYPECONV : int {
    NA_PTC_NONE = 0,
    NA_PTC_INTEGER = 1,
    NA_PTC_REAL = 2,
    NA_PTC_TEXT = 4,
    NA_PTC_DATE = 8,
    NA_PTC_BINARY = 16,
    NA_PTC_BOOLEAN = 32,
    NA_PTC_MONEY = 64,
    NA_PTC_ALL = -1,
  };
  // How bAdd takes the other command's parameters: 1 cloned, else shared.
  enum eADDMMODE : int { NA_ADD_SHARE = 0, NA_ADD_CLONE = 1 };

  // The escape character of every LIKE pattern of the formatted text.
  static constexpr wchar_t kLikeEscape = L'!';

  // One reference on each (the error may be null, the connection not); the
  // texts take the connection's code pages.
  // REQUIRES: pclConnection non-null.
  CNACommand(CNAError* pclError, CNAConnectionDescription* pclConnection);
  ~CNACommand() override;
  CNACommand(const CNACommand&) = delete;
  CNACommand& operator=(const CNACommand&) = delete;

  // ---- Virtual operations (after CInterf's three)
  virtual int bNeedToReplaceStar() { return 1; }
  // The statement text is empty.
  virtual int bIsEmpty();
  virtual unsigned int nGetParameterNbr() const;
  // Releases every define, empties the statement and formatted texts,
  // releases every parameter unless bKeepParameters, row limit and offset
  // back to -1. Kind, parsed query, define mode, NULL-exclusion list and
  // dump stay.
  virtual void ResetCommand(int bKeepParameters);
  // Appends another command: its text (bComplete), its parameters moved by
  // the current length (shared or cloned by eMode), its defines. Stops at
  // the first failing step.
  virtual int bAdd(CNACommand* pclOther, eADDMMODE eMode);
  virtual int bAddParameter(CNAConvertVariant* pclValue, eOPEXPRESSION eOperator,
                            unsigned int nFlags, CNAColumn* pclColumn, const wchar_t* pszName,
                            wchar_t cEscape, CNAParameter::eNAPARAMETERINOUT eDirection);
  // Each column of the record that the define mode defines, through
  // bAddSelectColumn; stops at the first failure.
  virtual int bAddSelectColumns(CNARecord* pclRecord, int nSelectMode);
  // The column's select name into the list, then its define.
  virtual int bAddSelectColumn(CNAColumn* pclColumn, int nSelectMode);
  // The column (pszTable may be null or empty, pszName not) joined as
  // _FormatTableAndItemName writes it, wrapped by the connection's
  // conversion of a date or time item to its record text
  // (CNAConnectionDescription::bConvertExpressionToString), into *pOut. An
  // item with no such conversion gets the column plain. 1, or 0 with the
  // error in the command's error object and *pOut emptied (a name the
  // writers refuse, memory). eKind, eOperator and piParent are for
  // dialects: the base does not read them (command_operands.cc).
  // REQUIRES: piItem and pOut non-null.
  virtual int _bFormatAndConvertItemInClause(CNASqlElt::eSQLELT eKind, INAItemDescription* piItem,
                                             const wchar_t* pszTable, const wchar_t* pszName,
                                             CTString* pOut, eOPEXPRESSION eOperator,
                                             IExpOpExpression* piParent);
  // NA_IT_TEXTE when a column of item type eType must be compared as text
  // in this clause under this operator (a date or time whose literal is
  // text; a time on a connection without time items), else NA_IT_EMPTY
  // (0). Never for IS NULL. piNode is not read by the base.
  virtual eNA_ITEMTYPE eGetFormatExpressionColonne(CNASqlElt::eSQLELT eKind, eNA_ITEMTYPE eType,
                                                   eOPEXPRESSION eOperator,
                                                   IExpOpExpression* piNode);
  virtual int _bAddParameterFormated(CNAParameter* pclParameter, ePARAMTYPECONV eMode,
                                     unsigned int* pnRead);
  virtual int _bAddParameterFormated(CNAParameter* pclParameter, eNA_ITEMTYPE eDatabase,
                                     eNA_ITEMTYPE eAnalysis, ePARAMTYPECONV eMode,
                                     unsigned int* pnRead);
  virtual int _bAddParameterFormatedLike(CNAParameter* pclParameter, eNA_ITEMTYPE eDatabase,
                                         eNA_ITEMTYPE eAnalysis, ePARAMTYPECONV eMode,
                                         unsigned int* pnRead);
  virtual void vAddEscapeLike(eNA_ITEMTYPE) {}
  virtual int vbAddEscapedLikeValue(CNAParameter* pclParameter, CAny* pValue,
                                    eNA_ITEMTYPE eDatabase, eNA_ITEMTYPE eAnalysis,
                                    unsigned int* pnRead);
  virtual void vAddEscapeLikeIfNeeded(CNAParameter* pclParameter, const wchar_t* pszLiteral,
                                      unsigned int* pnRead);
  virtual int _bBuildFormatedSQL(ePARAMTYPECONV eMode);
  // Hooks of the expression walk for dialects that rework operators and
  // functions; the base writes the query's own text and skips nothing.
  virtual int _vbFormatExpressionOperatorEntreOperande(CSQLParserInfo*, const wchar_t*,
                                                       IExpOpExpression*, CNASqlElt::eSQLELT,
                                                       unsigned int*, CTStringConcatAW*) {
    return 1;
  }
  virtual int _vbSkipOperande(IExpOpExpression*, IExpOpExpression*, unsigned int) { return 0; }
  virtual void _vConvertirFonction(CTStringConcatAW*, IExpOpExpression*, IExpOpExpression*,
                                   CNASqlElt::eSQLELT, int) {}
  // "{" and "}", bounded by the buffer's size (nothing for size 0).
  virtual void _GetMotifVariableDebut(wchar_t* pszOut, unsigned int nSize);
  virtual void _GetMotifVariableFin(wchar_t* pszOut, unsigned int nSize);
  virtual void _FormatTableClauseFROM(CSQLParserInfo* pclInfo, INADataSourceDescription* piSource,
                                      const IInfoFrom* piFrom, CTString* pOut);
  virtual void _FormatTableAliasClauseFROM(CSQLParserInfo* pclInfo, const IInfoFrom* piFrom,
                                           CTString* pOut);

  // ---- Kind and parsed query
  // 1 and 2 give 1, 3 gives 2, 4 gives 3, 5 gives 4, 6 gives 6, 7 gives 9,
  // any other value 8.
  void SetQueryType(eTYPEREQUETE eType);
  int eGetQueryType() const { return m_eKind; }
  void _SetQueryKind(int eKind) { m_eKind = eKind; }
  // Stores the parsed query (one reference; null allowed) and derives the
  // kind from it (see command.cc).
  void _SetSQLParserInfo(CSQLParserInfo* pclInfo);
  CSQLParserInfo* pclGetSQLParserInfoNoRef() const { return m_pclParserInfo; }
  int bGetQueryRewrite() const { return m_bQueryRewrite; }
  void _SetQueryRewrite(int bRewrite) { m_bQueryRewrite = bRewrite; }
  int bGetLiteralBinding() const { return m_bLiteralBinding; }
  void _SetLiteralBinding(int bBind) { m_bLiteralBinding = bBind; }
  int bIsServerKind5() const { return m_bServerKind5; }
  int nGetDefineMode() const { return m_nDefineMode; }
  void SetDefineMode(int nMode) { m_nDefineMode = nMode; }
  // Appends the text as bComplete does; the define mode becomes 3.
  int bSetInternalQuery(const wchar_t* pszText, unsigned int nLength);

  // ---- Row limit and offset (-1: none)
  // A change drops a formatted text written before it (unless the text is
  // being rewritten in place), so that the next run carries the new LIMIT.
  int64_t llGetRowLimit() const { return m_llRowLimit; }
  void SetRowLimit(int64_t ll) {
    if (ll != m_llRowLimit && !m_bQueryRewrite) ResetFormatedSQL();
    m_llRowLimit = ll;
  }
  int64_t llGetRowOffset() const { return m_llRowOffset; }
  void SetRowOffset(int64_t ll) {
    if (ll != m_llRowOffset && !m_bQueryRewrite) ResetFormatedSQL();
    m_llRowOffset = ll;
  }

  // ---- Inverted order: the browse's SELECT sorts its rows against the
  // browse direction (descending); the statement's moves read it.
  int bGetInvertedOrder() const { return m_bInvertedOrder; }
  void SetInvertedOrder(int bInverted) { m_bInvertedOrder = bInverted ? 1 : 0; }

  // ---- Texts
  // Appends nLength characters ((unsigned)-1: up to the terminator; then the
  // text may not be null). While the query-rewrite flag is set and the
  // formatted text is not empty, the text goes to the formatted text too.
  // Always 1. A text the connection's code page cannot hold is appended (the
  // positions stay right) but marks the command: its formatted text is then
  // refused (see pclGetFormatedSQL) until ResetCommand.
  int bComplete(const wchar_t* pszText, unsigned int nLength = static_cast<unsigned int>(-1));
  void _CompleteFormatedSQL(const wchar_t* pszText, int nLength = -1);
  // One space into the formatted text when it is not empty, does not end in
  // a space and cNext is not a space.
  void _AddSpaceBetween(wchar_t cNext);
  const wchar_t* pszGetOriginalSQL();
  const char* pszGetOriginalSQLA();
  // The formatted text, built first (in eMode) when it is empty; null when a
  // parameter could not be written, or, with user error 44 naming the
  // character, when a text of the statement (outside its literals) holds a
  // character the connection's code page cannot hold: such a statement is
  // never sent with "?" in its place. An existing formatted text is returned
  // whatever mode is asked.
  const wchar_t* pszGetFormatedSQL(ePARAMTYPECONV eMode);
  const wchar_t* pszGetFormatedSQLW(ePARAMTYPECONV eMode) { return pszGetFormatedSQL(eMode); }
  const char* pszGetFormatedSQLA(ePARAMTYPECONV eMode);
  CTStringConcatAW* pclGetFormatedSQL(ePARAMTYPECONV eMode);
  void ResetFormatedSQL();
  // Inserts into the statement text (and, while rewriting, the formatted
  // text); parameters at or after the place move by the text's length.
  void Insert(unsigned int nPosition, const wchar_t* pszText);
  // Replaces nCount characters at nPosition (those that remain when fewer are
  // left); parameters at or after the place move by the difference.
  void Replace(unsigned int nPosition, unsigned int nCount, const wchar_t* pszText);
  // Cuts the statement text to nLength characters. nParameter < 0:
  // parameters from the last backwards while at or after the cut are
  // released; nParameter >= 0: every parameter from that index on.
  void Tronque(unsigned int nLength, int nParameter);
  // " RETURNING " and the text. 1, or 0 when the text could not grow.
  int bAddReturning(const wchar_t* pszText);
  // " " and the connection's record-lock hint when it has one. 1, or 0 when
  // the text could not grow.
  int bAddRecordLock();
  int bCompleteWithNumber(int n);
  // The statement text's length in wide characters (kept as it changes).
  unsigned int nGetTextLength() const { return m_nTextLength; }

  // ---- Select list and defines
  int _bAddColumnInSelect(const wchar_t* pszText);
  int bAddSelectAdditionnalColumn(const wchar_t* pszText, CNAConvertVariant* pclValue);
  int bAddSelectAdditionnalColumn(const wchar_t* pszText, unsigned short nVXType);
  int bAddSelectAdditionalColumnInQueryFormat(const wchar_t* pszText, CNAConvertVariant* pclValue);
  const wchar_t* pszGetSelectList() { return m_clSelectList.pszGetW(); }
  int AddDefine(CNAColumn* pclColumn);
  int AddDefine(const wchar_t* pszName, CNAConvertVariant* pclValue);
  unsigned int nGetDefineNbr() const;
  CNADefine* pclGetDefineNoRef(unsigned int n) const;

  // ---- Trace: built once, then kept for the command's life.
  const wchar_t* pszGetCommandDump();

  // ---- NULL exclusion
  int _bInitColumnNullValueExcluded();
  int bColumnValuesNullSelected(const CNAColumn* pclColumn);
  int bCopyColumnValuesNullSelected(CColumnNullValueExcluded* pclSource);
  int bCombineColumnValuesNullSelected(eNAOperator eOperator, CColumnNullValueExcluded* pclOther);
  CColumnNullValueExcluded* pclGetNullValueExcludedNoRef() const { return m_pclNullExcluded; }
  IInfoRubrique* piGetComputedColumn() const { return m_piComputedColumn; }
  void _SetComputedColumn(IInfoRubrique* pi) { m_piComputedColumn = pi; }

  // ---- Parameters (command_parameters.cc)
  CNAParameter* pclGetParameterNoRef(unsigned int n) const;
  // Appends with one counted reference. 1, or 0 when memory was refused.
  int bAddParameter(CNAParameter* pclParameter);
  // A holder for the column and the value, then the virtual bAddParameter.
  int bAddParameter(const CAny* pValue, eOPEXPRESSION eOperator, unsigned int nFlags,
                    CNAColumn* pclColumn, wchar_t cEscape,
                    CNAParameter::eNAPARAMETERINOUT eDirection);
  int bAddParameterReturn(CNAConvertVariant* pclValue);
  int _bAddParameters(CRefArray<CNAParameter>* pclParameters, unsigned int nBase,
                      eADDMMODE eMode);
  void _OffsetParameter(unsigned int nFrom, unsigned int nOffset);
  int nGetUserParamIndice(const CNAParameter* pclParameter) const;
  CNAParameter* pclGetParameterByNameNoRef(const wchar_t* pszName) const;
  CNAConvertVariant* _vpclAllocVariant();
  CNAConvertVariant* _vpclGetNewVariant(CNAColumn* pclColumn, const CAny* pValue);
  // Refreshes the values of the user parameters from the server before a
  // prepared statement runs. A user parameter for which the server has no
  // value is an error naming it (the previous value is never reused).
  int bUpdateParametersValues();
  int _bUpdateParameterValue(CNAParameter* pclParameter);
  int _bUpdateParameterValue(INAQueryParametersValue* piValues, CNAParameter* pclParameter);
  static int VXType2eParamType(unsigned short nVXType);
  int _bNeedParameterConversionToString(const CNAVariant* pclValue, ePARAMTYPECONV eMode) const;
  int _bNeedParameterConversionToString(const CNAParameter* pclParameter,
                                        ePARAMTYPECONV eMode) const;
  // The text as a LIKE pattern that matches it literally: "%", "_" and the
  // escape character (0: the backslash) get the escape character before
  // them. The result is the raw pattern, to be written as a LIKE parameter
  // with that escape character; it is never a literal body (the literal
  // writer quotes it). 1, or 0 with user error 12 when memory is refused.
  int bEscapeLIKEParamAsZBParam(CXYString<wchar_t>* pOut, const wchar_t* pszText, wchar_t cEscape);
  int bEscapeLIKEParamAsZBParam(CXYString<char>* pOut, const char* pszText, char cEscape);
  // A LIKE pattern written with the escape character cFrom (0: backslash)
  // rewritten with the command's escape character "!". 1, or 0 when memory
  // was refused.
  static int s_bTranslateLikePattern(const wchar_t* pszPattern, unsigned int nLength,
                                     wchar_t cFrom, CTString* pOut);
  // The same, counted: a character 0 in the pattern stays in it. Appends.
  static int s_bTranslateLikePattern(const wchar_t* pszPattern, unsigned int nLength,
                                     wchar_t cFrom, CXYStringConcat<wchar_t>* pOut);

  // ---- Clause location and names (command_clauses.cc)
  // Whether every one of the nLength characters can reach the server in the
  // code page (wide -2, not yet known -1, 65001, or an 8-bit code page): a
  // character the code page lacks would be sent as "?" and change the
  // statement. A surrogate or a value past U+10FFFF never fits. 1, or 0 with
  // the first character that does not fit in *pnRefused (when given).
  static int s_bTextFitsCodePage(const wchar_t* pszText, int nLength, int nCodePage,
                                 unsigned int* pnRefused);
  // Adds to pclError (nothing when null) user error 44 refusing the
  // character nCharacter, which the connection's code page cannot hold:
  // message 28640, debug line at the command's file and nSite.
  static void s_RaiseTextOutsideCodePage(CNAError* pclError,
                                         CNAConnectionDescription* pclConnection,
                                         unsigned int nCharacter, int nSite);
  static int s_bEspaceSQL(wchar_t c);
  static int s_bSeparateur(wchar_t c);
  static int s_nGetClauseStart(CNAConnectionDescription* pclConnection, const wchar_t* pszText,
                               const wchar_t* pszKeyword, int nStart);
  static int s_bQueryResultsetLimited(CNAConnectionDescription* pclConnection,
                                      const wchar_t* pszText);
  static int s_bIsQuerySet(const wchar_t* pszText);
  static int s_bRequeteTerminePar(const wchar_t* pszText, const wchar_t* pszSuffix);
  static int s_nGetPosSuiteRequete(const wchar_t* pszText, const wchar_t* pszWord);
  static int s_bSuiteRequeteCommencePar(const wchar_t* pszText, const wchar_t* pszWord);
  static int s_bSuiteRequeteCommenceParMot(const wchar_t* pszText, const wchar_t* pszWord);
  static int s_bGetItemNameAndPos(CTString* pName, unsigned int* pnStart, unsigned int* pnEnd,
                                  const wchar_t* pszText, unsigned int nPosition);
  void _RemplaceTopParLimit();
  void _RemplaceLimitParTop();
  int bFormatEndOfQuery();
  // The parsed query's own ORDER BY written again: "\r\nORDER BY " and its
  // items in their order, separated by ",". An item is the output column's
  // name through the connection's writer with bFormatedNames (for a text
  // that reads the query's rows from outside it, where its own expressions
  // mean nothing), else its text as the query wrote it. Each item keeps its
  // direction on an ascending browse and takes the opposite on a
  // descending one (" DESC" written when the result is descending).
  // Nothing, and 1, without parsed query or without ORDER BY items. 0 with
  // user error 44 in the command's error object when an item's text lies
  // outside the query's text (a parser out of step with it): an item left
  // out would change the order; the command keeps what was written.
  int bFormatORDERBY(int bFormatedNames, int bAscending);
  int _bGetClausePos(unsigned int* pnStart, unsigned int* pnEnd, CSQLParserInfo* pclInfo,
                     CNASqlElt::eSQLELT eKind);
  int _nGetClauseStart(CSQLParserInfo* pclInfo, CNASqlElt::eSQLELT eKind);
  int _nGetClauseStop(CSQLParserInfo* pclInfo, CNASqlElt::eSQLELT eKind);
  // Names through the connection's writers (doubled inner quotes, NUL
  // refused). 1, or 0 with the error in the command's error object.
  int _FormatTableName(const wchar_t* pszName, CTString* pOut);
  int _FormatItemName(const wchar_t* pszName, CTString* pOut);
  void _GetOriginalTableNameAndItemName(CSQLParserInfo* pclInfo, CTString* pTable,
                                        CTString* pItem);
  void _GetFormatedOriginalTableNameAndItemName(CSQLParserInfo* pclInfo, CTString* pTable,
                                                CTString* pItem);
  INAItemDescription* _pclGetOriginalItemDesc(CSQLParserInfo* pclInfo, const wchar_t* pszAlias,
                                              const wchar_t* pszItem);
  static IInfoRubrique* _piGetInfoRubriqueFromAlias(ISQLParserInformation* piParser,
                                                    const wchar_t* pszTable,
                                                    const wchar_t* pszName);

  // ---- Column operands (command_operands.cc)
  // The text of a column in a condition of clause eKind, under operator
  // eOperator (-1: none) of piParent (may be null): the table (may be null
  // or empty) and the item through the connection's writers, converted to
  // text by _bFormatAndConvertItemInClause when piItem (may be null) is a
  // date or time that eGetFormatExpressionColonne says is compared as text.
  // 1, or 0 with the error in the command's error object and *pOut empty: a
  // name the writers refuse (empty, NUL, outside the code page) is never
  // written as it stands.
  // REQUIRES: pOut non-null.
  int FormatExpressionItemName(CTString* pOut, CNASqlElt::eSQLELT eKind, eOPEXPRESSION eOperator,
                               IExpOpExpression* piParent, INAItemDescription* piItem,
                               const wchar_t* pszTable, const wchar_t* pszName);
  // eGetFormatExpressionColonne's rule for the date and time types.
  eNA_ITEMTYPE _eGetFormatExpressionColonneForDateTime(CNASqlElt::eSQLELT eKind, eNA_ITEMTYPE eType,
                                                      eOPEXPRESSION eOperator,
                                                      IExpOpExpression* piNode);
  // The item alone when pszTable is null or empty, else table "." item, each
  // through its writer. *pOut is replaced. 1, or 0 with the error in the
  // command's error object and *pOut empty (an empty item name is refused
  // too: "t." is no column).
  // REQUIRES: pOut non-null.
  int _FormatTableAndItemName(CTString* pOut, const wchar_t* pszTable, const wchar_t* pszName);

  // ---- Parsed queries rewritten (command_expression.cc)
  // A parsed query is rewritten by copying its text in stretches between
  // the pieces that the parser located, with a copy point (*pnCopy: the
  // index up to which the query text has been dealt with) that only moves
  // forward, and replacing only table names, column names, literals,
  // function names and sub-queries. Literals become parameters of this
  // command while the literal-binding flag is set.
  //
  // The whole parsed query into the statement text; pclOther (null: none)
  // is a condition ANDed into the WHERE clause; bKeepSort keeps (rewrites)
  // the ORDER BY clause, else it is dropped; nMode 1 (or bit 4) copies the
  // query as a whole (query-rewrite flag set).
  int bFormatCondition(CSQLParserInfo* pclInfo, CNACommand* pclOther, int bKeepSort, int nMode);
  // The located-pieces walk over the first nLength characters of pszText.
  int bFormatConditionReq(CSQLParserInfo* pclInfo, CNACommand* pclOther, int nMode,
                          const wchar_t* pszText, unsigned int nLength, int bRewrite,
                          int bKeepSort, unsigned int* pnCopy);
  // A query the parser did not split: its text with its name references
  // and markers (_bAddClause in WHERE mode).
  virtual int bComplete(ISQLParserInformation* piParser);
  // Copies the whole text, turning markers into parameters and writing name
  // references through the dialect; each token once, at its own place.
  int _bAddClause(CTabValParser* pTokens, const wchar_t* pszText, ISQLParserInformation* piParser,
                  int bWhereMode);
  // A tree into the statement text; for the WHERE clause a non-empty
  // pclOther is merged in (AND).
  int bAddTreeExpression(CSQLParserInfo* pclInfo, CSQLParserInfo* pclOuter, const wchar_t* pszText,
                         IExpOpExpression* piParent, IExpOpExpression* piTree,
                         CNASqlElt::eSQLELT eKind, unsigned int* pnCopy, CNACommand* pclOther);
  int bFormatSubExpression(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                           IExpOpExpression* piParent, IExpOpExpression* piTree,
                           CNASqlElt::eSQLELT eKind);
  // The WHERE tree of a filter condition's digest.
  int bAddFilterExpression(CSQLParserInfo* pclInfo);
  // One node and its operands. *ppiItem: the current item description
  // (one external reference owned by the walk; may be null).
  int _bExpressionToSQL(CSQLParserInfo* pclInfo, CSQLParserInfo* pclOuter, const wchar_t* pszText,
                        IExpOpExpression* piParent, IExpOpExpression* piNode,
                        CNASqlElt::eSQLELT eKind, unsigned int* pnCopy, CTStringConcatAW* pOut,
                        INAItemDescription** ppiItem, eNA_ITEMTYPE eLiteralType,
                        unsigned int nIndex);
  int _bDoExpressionArgument(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                             IExpOpExpression* piParent, IExpOpExpression* piNode,
                             CNASqlElt::eSQLELT eKind, unsigned int* pnCopy, CTStringConcatAW* pOut,
                             int bOpening, unsigned int nIndex);
  int _bDoExpressionOperator(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                             IExpOpExpression* piParent, IExpOpExpression* piNode,
                             CNASqlElt::eSQLELT eKind, unsigned int* pnCopy,
                             CTStringConcatAW* pOut);
  int _bDoExpressionSousRequete(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                                IExpOpExpression* piNode, unsigned int* pnCopy);
  static _stPositionSQL _stGetPositionExpression(IExpOpExpression* piNode);
  // Function names and argument texts of other server kinds; nothing for
  // server kind 5.
  virtual void _FormatExpressionOperator(CSQLParserInfo* pclInfo, IExpOpExpression* piParent,
                                         IExpOpExpression* piNode, CNASqlElt::eSQLELT eKind,
                                         CTString* pOut);
  virtual void _FormatExpressionArgument(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                                         IExpOpExpression* piParent, IExpOpExpression* piNode,
                                         CNASqlElt::eSQLELT eKind, CTString* pOut, int bOpening,
                                         unsigned int* pnCopy, unsigned int nIndex);
  // Computed output columns: their expression in place of their name.
  int _bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, IInfoRubrique* piColumn,
                                        IExpOpExpression* piParent, CNASqlElt::eSQLELT eKind);
  // Through an auxiliary command into *pOut; nBase > 0: its parameters come
  // to this command moved by nBase; nBase 0: literals stay in the text.
  int bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, IInfoRubrique* piColumn,
                                       IExpOpExpression* piParent, CNASqlElt::eSQLELT eKind,
                                       CTString* pOut, unsigned int nBase);
  int bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, const wchar_t* pszName,
                                       CNASqlElt::eSQLELT eKind);
  static int s_bFormatExpressionColonneCalculee(CTString* pOut, CSQLParserInfo* pclInfo,
                                                const wchar_t* pszName, CNASqlElt::eSQLELT eKind,
                                                CNAError* pclError,
                                                CNAConnectionDescription* pclConnection);
  // Whether the computed column is being written by this command or by one
  // of the commands it writes for (a cycle of computed columns).
  int _bComputedColumnInChain(const IInfoRubrique* piColumn) const;
  void _SetComputedChainParent(const CNACommand* pclParent) { m_pclComputedChain = pclParent; }

  // ---- Clauses of a parsed query rewritten (command_rewrite.cc)
  int _bAddFromClause(const CNASqlElt* pclElement, unsigned int* pnCopy, const wchar_t* pszText,
                      CSQLParserInfo* pclInfo);
  int _bAddJoinClause(const CNASqlElt* pclElement, unsigned int* pnCopy, const wchar_t* pszText,
                      CSQLParserInfo* pclInfo);
  int _bFormatSELECTList(unsigned int* pnCopy, const wchar_t* pszText, CSQLParserInfo* pclInfo);
  int _bFormatAlias(unsigned int* pnCopy, const wchar_t* pszText);
  int _bFormatINSERTUPDATEList(unsigned int* pnCopy, const wchar_t* pszText,
                               CSQLParserInfo* pclInfo);
  int _bFormatGROUPBY(unsigned int* pnCopy, const wchar_t* pszText, CSQLParserInfo* pclInfo);
  int _bFormatORDERBY(CSQLParserInfo* pclInfo, unsigned int* pnCopy, const wchar_t* pszText,
                      int bRewrite, int bKeepDirection, int bUseText, int* pbStop);
  int _bAddItemInORDERBY(const IInfoRubrique* piColumn, int nIndex, const wchar_t* pszText,
                         _stPositionSQL stItem, int bUseText, int* pbUniqueNotNull);
  virtual void _FormatRubriqueAlias(unsigned int nPosition, const wchar_t* pszText,
                                    CSQLParserInfo* pclInfo, const IInfoRubrique* piColumn,
                                    CTString* pOut, int bWithTable, CNASqlElt::eSQLELT eKind);

  // ---- Operands of parsed expressions (command_operands.cc,
  // command_literals.cc)
  int _bDoExpressionColonne(CSQLParserInfo* pclInfo, CSQLParserInfo* pclOuter,
                            const wchar_t* pszText, IExpOpExpression* piParent,
                            IExpOpExpression* piNode, CNASqlElt::eSQLELT eKind,
                            unsigned int* pnCopy, CTStringConcatAW* pOut,
                            INAItemDescription** ppiItem);
  // A column with its physical table name (UPDATE targets).
  int _bDoExpressionColonne(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                            IExpOpExpression* piNode, unsigned int* pnCopy,
                            CTStringConcatAW* pOut);
  int _bExpressionColonneToSQL(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                               IExpOpExpression* piNode, unsigned int* pnCopy,
                               CTStringConcatAW* pOut);
  int _bFormatExpressionItemName(CSQLParserInfo* pclInfo, CSQLParserInfo* pclOuter,
                                 IExpOpExpression* piParent, IExpOpExpression* piNode,
                                 CNASqlElt::eSQLELT eKind, CTString* pOut,
                                 INAItemDescription** ppiItem, unsigned int nBase);
  virtual int _FormatExpressionItemName(CSQLParserInfo* pclInfo, IExpOpExpression* piParent,
                                        IExpOpExpression* piNode, CNASqlElt::eSQLELT eKind,
                                        INAItemDescription* piItem, const wchar_t* pszTable,
                                        const wchar_t* pszName, CTString* pOut);
  // Item names of an unparsed condition (_bAddClause in WHERE mode): *pItem
  // is left as it was when the parser knows no description of the pair.
  void _FormatItemNameInWHEREClause(ISQLParserInformation* piParser, const wchar_t* pszTable,
                                    CTString* pItem, CNAParameter* pclParameter);
  virtual void _FormatItemNameInWHEREClause(ISQLParserInformation* piParser,
                                            INAItemDescription* piItem, const wchar_t* pszTable,
                                            CTString* pItem, CNAParameter* pclParameter);
  virtual int _bShouldAddParameter(CSQLParserInfo* pclInfo, IExpOpExpression* piParent,
                                   IExpOpExpression* piNode, CNASqlElt::eSQLELT eKind,
                                   INAItemDescription* piItem);
  int _bDoExpressionLiteral(CSQLParserInfo* pclInfo, const wchar_t* pszText,
                            IExpOpExpression* piParent, IExpOpExpression* piNode,
                            CNASqlElt::eSQLELT eKind, INAItemDescription* piItem,
                            unsigned int* pnCopy, CTStringConcatAW* pOut,
                            eNA_ITEMTYPE eLiteralType);
  virtual void _FormatExpressionLiteral(CSQLParserInfo* pclInfo, IExpOpExpression* piParent,
                                        IExpOpExpression* piNode, CNASqlElt::eSQLELT eKind,
                                        INAItemDescription* piItem, CNAParameter* pclParameter,
                                        eNA_ITEMTYPE eLiteralType);
  void FormatExpressionLiteral(CNASqlElt::eSQLELT eKind, eOPEXPRESSION eOperator,
                               IExpOpExpression* piParent, INAItemDescription* piItem,
                               eNA_ITEMTYPE eLiteralType, CNAConvertVariant* pclValue);
  eNA_ITEMTYPE _eTypeParameter(CNASqlElt::eSQLELT eKind, IExpOpExpression* piNode,
                               unsigned int nIndex, eNA_ITEMTYPE eLiteralType,
                               INAItemDescription** ppiItem);
  void _TypeRetour(CNASqlElt::eSQLELT eKind, IExpOpExpression* piNode,
                   INAItemDescription** ppiItem);
  static int _bLastOperande(IExpOpExpression* piNode, unsigned int nIndex);
  int _bExpressionDateEmpty(CTStringConcatAW* pOut, unsigned int* pnCopy,
                            IExpOpExpression* piNode, const wchar_t* pszText, unsigned int nMark,
                            INAItemDescription* piItem);
  int _bCopyPreviousQueryContent(CTStringConcatAW* pOut, unsigned int* pnCopy,
                                 IExpOpExpression* piNode, const wchar_t* pszText);
  // The operand writers' access to their output builder, which is the
  // statement text as a rule: its length in wide characters (for the
  // statement text the count the command keeps, so that a mark taken here
  // matches parameter positions), an append, and a cut back to a mark (the
  // statement text through Tronque: parameters at or after the cut go).
  unsigned int _nGetBuilderLength(CTStringConcatAW* pOut);
  void _AddToBuilder(CTStringConcatAW* pOut, const wchar_t* pszText, int nLength = -1);
  void _CutBuilder(CTStringConcatAW* pOut, unsigned int nLength);
  // Appends pszText[*pnCopy, nTo) to pOut and moves *pnCopy to nTo, when
  // *pnCopy is below nTo (the copy point never moves back).
  void _CopyTo(CTStringConcatAW* pOut, unsigned int* pnCopy, const wchar_t* pszText,
               unsigned int nTo);

  // ---- Fields
  CNAError* pclGetError() const { return m_pclError; }
  CNAConnectionDescription* pclGetCnx() const { return m_pclConnection; }

 protected:
  // Reports an unusable name or value (NUL, a character the connection's
  // code page lacks) naming it; 0.
  int _nRefuse(const wchar_t* pszWhat, const wchar_t* pszName, int nSite);
  // The LIKE parameter's literal, pattern translated to "!", into pOut.
  int _bWriteLikeLiteral(CNAParameter* pclParameter, const CAny* pValue, eNA_ITEMTYPE eDatabase,
                         eNA_ITEMTYPE eAnalysis, CTStringConcatAW* pOut);
  // User error 44 with the message that names the parameter without value.
  void _RaiseParameterWithoutValue(const wchar_t* pszName);
  // Appends a literal builder's text to the formatted text.
  int _bAppendLiteral(CTStringConcatAW* pclLiteral);
  // Appends n wide characters to the statement text and counts those that
  // reached it (none when the append was refused memory or the conversion
  // gave nothing).
  void _AddToText(const wchar_t* pszText, int n);
  // Replaces the statement text by a wide text of n characters.
  void _SetText(const wchar_t* pszText, unsigned int n);
  // Marks the command when the text that enters the statement (or its
  // formatted text) holds a character the connection's code page cannot
  // hold; the first such character is kept.
  void _CheckCodePage(const wchar_t* pszText, int n);
  // User error 44 with the message that names the character kept.
  void _RaiseTextOutsideCodePage();

  CNAError* m_pclError;
  CNAConnectionDescription* m_pclConnection;
  int m_bQueryRewrite = 0;
  int m_eKind = NA_CMD_NONE;
  CSQLParserInfo* m_pclParserInfo = nullptr;
  CTStringConcatAW m_clText;
  // The statement text's length in wide characters: every change of the
  // text goes through _AddToText or _SetText, which keep it.
  unsigned int m_nTextLength = 0;
  // The first character of the texts given (outside literals) that the
  // connection's code page cannot hold; 0: none. Cleared by ResetCommand.
  unsigned int m_nOutsideCodePage = 0;
  CRefArray<CNAParameter> m_clParameters{50, 30};
  int m_bLiteralBinding = 1;
  int m_bServerKind5 = 0;
  CTStringConcatAW m_clSelectList;
  int m_nDefineMode = 3;
  CRefArray<CNADefine> m_clDefines{50, 30};
  int64_t m_llRowLimit = -1;
  int64_t m_llRowOffset = -1;
  int m_bInvertedOrder = 0;
  CTStringConcatAW m_clFormated;
  CTStringConcatAW m_clDump;
  IInfoRubrique* m_piComputedColumn = nullptr;
  // The command this auxiliary command writes a computed column for (null:
  // none); the chain of computed columns being written runs through it.
  const CNACommand* m_pclComputedChain = nullptr;
  CColumnNullValueExcluded* m_pclNullExcluded = nullptr;
};

#endif  // KQ230_SQLBUILDER_COMMAND_H_
