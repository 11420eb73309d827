// The server's SQL parser as the driver sees it: a parsed query
// (ISQLParserInformation), its parts (IInfoRequete: output columns, FROM
// tables, ORDER BY and GROUP BY items, UPDATE assignments, INSERT items, join
// conditions) and its expression trees (IExpOpExpression), every piece
// located in the query text.
//
// The parser library is the server's; the driver calls these objects through
// their tables of virtual operations, so the slot order is the contract:
// never reorder, insert or remove an operation. Slot numbers are given in the
// comments (counting from 0). Slots the driver calls have the parser's role
// names. Slots marked "ours" are operations of our own parser layer (the
// driver's needs that the parser's published roles leave unnamed: clause
// ends, positions, the join list, the UPDATE value, parameter names); slots
// marked "reserved" are the parser's and are never called (their bodies here
// only fill the table).
//
// Positions: character indexes from 0 into the wide query text; a position
// (_stPositionSQL) holds the first and the last character (inclusive) of a
// piece; start and end both 0 mark a piece that is not located.
//
// References (the contract the parser's objects meet):
//   ISQLParserInformation, IInfoRubrique, IInfoOrderBy: the caller adds a
//     reference by a locked increment of the 32-bit word right after the
//     table of operations (AddRefLocked below); slot 2 drops one, and the
//     object dies at 0.
//   IInfoFrom: slot 0 adds, slot 1 drops.
//   IExpOpExpression, IInfoListeJointure: slot 0 adds, slot 1 drops; every
//     operation that hands one out gives the caller one reference.
//   IInfoRequete, IInfoAffectation, IInfoInsertion, IInfoGroupe (the
//     parser's), CTabValParser: not counted; they live as long as the parsed
//     query (or the parts) that hands them out.
//   Data-source and item descriptions handed out carry one external reference
//     for the caller.
//
// Exceptions: piGetItemDescription (slot 21), GetPhysicalName (slot 33) and
// the output columns' table names that the alias search reads may raise an
// exception of any type; the driver catches them.
//
// Texts: zero-terminated wide texts owned by the object, valid while it
// lives; "" rather than null unless the operation says otherwise.
// Threads: one thread at a time; the driver calls under its lock. The
// reference words are changed with locked additions all the same, since the
// server may hold the same objects.
#ifndef KQ230_SQL_PARSER_INTERFACE_H_
#define KQ230_SQL_PARSER_INTERFACE_H_

#include <cstdint>

#include "kq230/tab_val_parser.h"

class CAny;
class INADataSourceDescription;
class INAItemDescription;
class IInfoRequete;
class IInfoRubrique;
class IInfoFrom;
class IExpOpExpression;

// Version the parser answers (slot 0 of ISQLParserInformation); the driver's
// handshake accepts a partner above 35.
inline constexpr int kSQLParserVersion = 36;

// Query kinds (ISQLParserInformation::eGetTypeRequete). 3 and 4 are the
// parser's published values; the others are ours: 0 a text that the parser
// did not split into parts (or a bare condition), 1 a SELECT, 2 not given by
// our parser, 5 a DELETE.
enum eTYPEREQUETE : int {
  TYPEREQUETE_INCONNUE = 0,
  TYPEREQUETE_SELECT = 1,
  TYPEREQUETE_SELECT_AUTRE = 2,
  TYPEREQUETE_UPDATE = 3,
  TYPEREQUETE_INSERT = 4,
  TYPEREQUETE_DELETE = 5,
};

// Sort direction of an ORDER BY item (IInfoOrderBy::eGetSensTri).
enum eSENSTRI : int {
  SENSTRI_ASCENDANT = 0,
  SENSTRI_DESCENDANT = 1,
};

// The operator of an expression node. Codes named by the driver's rules are
// fixed (comparisons 9-14, grouping functions 27-31, LIKE 32, IS NULL 33,
// column 47, literal 48, sub-query 58, inexpressible 73, concatenation 88,
// and the function ranges that CSQLParserInfo::s_bIsFunction lists); the
// others are ours, chosen outside those ranges where the node is not a
// function.
enum eOPEXPRESSION : int {
  OPEXP_OR = 0,
  OPEXP_NOT = 1,          // one operand, the negated condition
  OPEXP_AND = 2,
  OPEXP_PARENTHESES = 3,  // one operand: "(" expression ")"
  OPEXP_PLUS = 4,
  OPEXP_MOINS = 5,
  OPEXP_IFNULL = 7,       // IFNULL / COALESCE / NVL (a function)
  OPEXP_EGAL = 9,
  OPEXP_DIFFERENT = 10,
  OPEXP_INFERIEUR = 11,
  OPEXP_INFERIEUR_EGAL = 12,
  OPEXP_SUPERIEUR = 13,
  OPEXP_SUPERIEUR_EGAL = 14,
  OPEXP_MULTIPLIE = 15,
  OPEXP_DIVISE = 16,
  OPEXP_MOINS_UNAIRE = 17,  // one operand
  OPEXP_IN = 18,            // operand 0 the tested value, then a sub-query or a list
  OPEXP_NOT_IN = 19,
  OPEXP_IS_NOT_NULL = 20,
  OPEXP_NOT_LIKE = 21,      // escape character as for LIKE
  OPEXP_LISTE = 22,         // "(" a, b, ... ")" of an IN
  OPEXP_ETOILE = 23,        // the "*" of COUNT(*)
  OPEXP_COUNT = 27,
  OPEXP_SUM = 28,
  OPEXP_AVG = 29,
  OPEXP_MIN = 30,
  OPEXP_MAX = 31,
  OPEXP_LIKE = 32,
  OPEXP_IS_NULL = 33,
  OPEXP_SUBSTRING = 44,
  OPEXP_UPPER = 45,
  OPEXP_LOWER = 46,
  OPEXP_COLONNE = 47,
  OPEXP_LITTERAL = 48,
  OPEXP_LTRIM = 52,
  OPEXP_RTRIM = 53,
  OPEXP_LENGTH = 55,
  OPEXP_SOUS_REQUETE = 58,
  OPEXP_INEXPRIMABLE = 73,
  OPEXP_CONCAT = 88,        // "a || b" and CONCAT(a, b)
  OPEXP_FONCTION = 170,     // any other function, written as the query writes it
};

// Engine type codes (eZBTYPES) that the stand-in's nodes and columns answer
// (IInfoRubrique::eGetZBType, IExpOpExpression::eGetZBType); the table of
// CNADataSourceDescription::g_eGetNAItemType turns them into item types.
enum eZBTYPES : int;

// A located piece: first and last character (inclusive). The second and
// fourth values are the parser's own (not used by the driver; our parser
// gives 0).
struct _stPositionSQL {
  int32_t nDebut;
  int32_t nReserve1;
  int32_t nFin;
  int32_t nReserve2;
};
static_assert(sizeof(_stPositionSQL) == 16, "four int32 values");

// Locked increment of the reference word that follows an object's table of
// operations (ISQLParserInformation, IInfoRubrique, IInfoOrderBy).
// REQUIRES: piObject is one of those objects.
inline void SQLParserAddRefLocked(void* piObject) {
  int32_t* pnWord = reinterpret_cast<int32_t*>(reinterpret_cast<unsigned char*>(piObject) +
                                               sizeof(void*));
  __atomic_add_fetch(pnWord, 1, __ATOMIC_SEQ_CST);
}

// The list of join conditions of a query (IInfoRequete::piGetListeJointure).
class IInfoListeJointure {
 public:
  virtual int AddRef() = 0;    // 0 (ours): the new count
  virtual int Release() = 0;   // 1: the new count; dies at 0
  virtual int nGetNbJointure() = 0;  // 2
  // 3: join condition i (an ON condition), one reference for the caller;
  // null outside 0 .. count - 1.
  virtual IExpOpExpression* piGetJointure(int i) = 0;

 protected:
  ~IInfoListeJointure() = default;
};

// A node of an expression tree.
class IExpOpExpression {
 public:
  virtual int AddRef() = 0;    // 0 (ours): the new count
  virtual int Release() = 0;   // 1: the new count; dies at 0
  virtual eOPEXPRESSION eGetOperateur() = 0;  // 2
  // 3, 4: first and second operand, one reference for the caller; null when
  // none.
  virtual IExpOpExpression* piGetOperandeGauche() = 0;
  virtual IExpOpExpression* piGetOperandeDroit() = 0;
  // 5 (ours): number of operands.
  virtual int nGetNbOperande() = 0;
  // 6 (ours): the name of a parameter node ("{name}" of the query, a
  // literal node whose value the server gives at run time); null for any
  // other node.
  virtual const wchar_t* pszGetNomParametre() = 0;
  // 7 (ours): a literal's text as the query writes it, quotes removed and
  // doubled quotes undoubled; null for any other node.
  virtual const wchar_t* pszGetTexteLitteral() = 0;
  virtual void Reserve8() {}
  virtual void Reserve9() {}
  virtual void Reserve10() {}
  // 11: a column node's item name as written (null for another node).
  virtual const wchar_t* pszGetNomRubrique() = 0;
  // 12: copies a literal's value into *pclValeur; 0 when the node has no
  // value that can be given (not a literal, a parameter without value).
  virtual int bGetValeur(CAny* pclValeur) = 0;
  virtual void Reserve13() {}
  virtual void Reserve14() {}
  virtual void Reserve15() {}
  virtual void Reserve16() {}
  virtual void Reserve17() {}
  virtual void Reserve18() {}
  virtual void Reserve19() {}
  virtual void Reserve20() {}
  virtual void Reserve21() {}
  virtual void Reserve22() {}
  virtual void Reserve23() {}
  // 24: position of the node's own element: a column's name with its
  // qualifier, a literal, a function's name, an operator's symbol or
  // keyword, a sub-query's text within its parentheses.
  virtual _stPositionSQL stGetPositionElement() = 0;
  // 25: the table name or alias that qualifies a column node; "" when none.
  virtual const wchar_t* pszGetNomFichier() = 0;
  virtual void Reserve26() {}
  // 27: position of the whole expression, operands included.
  virtual _stPositionSQL stGetPosition() = 0;
  // 28: the column carries the outer-join mark.
  virtual int bJointureExterne() = 0;
  virtual void Reserve29() {}
  virtual void Reserve30() {}
  virtual void Reserve31() {}
  virtual void Reserve32() {}
  virtual void Reserve33() {}
  // 34: the engine type code of a column node (of its result for another
  // node, 0 when unknown).
  virtual eZBTYPES eGetZBType() = 0;
  // 35: the escape character of a LIKE node; 0 when none.
  virtual wchar_t cGetEscape() = 0;
  virtual void Reserve36() {}
  // 37: operand *pnCursor (the caller sets the cursor to 0 first; each call
  // moves it on), one reference for the caller; null past the last.
  virtual IExpOpExpression* piEnumOperande(int* pnCursor) = 0;
  virtual void Reserve38() {}
  virtual void Reserve39() {}
  virtual void Reserve40() {}
  virtual void Reserve41() {}
  virtual void Reserve42() {}
  virtual void Reserve43() {}
  virtual void Reserve44() {}
  virtual void Reserve45() {}
  virtual void Reserve46() {}
  virtual void Reserve47() {}
  virtual void Reserve48() {}
  virtual void Reserve49() {}
  // 50: the parsed query of a sub-query node, one reference for the caller
  // (dropped through its slot 2); null for any other node.
  virtual class ISQLParserInformation* piGetSousRequete() = 0;

 protected:
  ~IExpOpExpression() = default;
};

// An output column of a query.
class IInfoRubrique {
 public:
  virtual void Reserve0() {}
  virtual void Reserve1() {}
  virtual int Release() = 0;  // 2: the new count; dies at 0
  // 3: the logical name of the column's table (an alias resolved); "" for a
  // computed column.
  virtual const wchar_t* pszGetNomFichier() = 0;
  // 4: the column's name in the result (its alias, else its name; for a
  // computed column without alias its text).
  virtual const wchar_t* pszGetNom() = 0;
  // 5: the column's name in its table; for a computed column its name in the
  // result.
  virtual const wchar_t* pszGetNomOriginal() = 0;
  // 6 (ours): the column's text as the query writes it (without its alias).
  virtual const wchar_t* pszGetTexte() = 0;
  // 7 (ours): position of the column's text (without its alias); not located
  // for the columns that a "*" stands for and for hidden columns.
  virtual _stPositionSQL stGetPosition() = 0;
  virtual void Reserve8() {}
  virtual void Reserve9() {}
  // 10: 1 for a computed expression, 0 for a table column.
  virtual int bCalcul() = 0;
  virtual void Reserve11() {}
  virtual void Reserve12() {}
  // 13, 14: size and engine type code (of a computed column's result).
  virtual int nGetTaille() = 0;
  virtual eZBTYPES eGetZBType() = 0;
  virtual void Reserve15() {}
  virtual void Reserve16() {}
  virtual void Reserve17() {}
  virtual void Reserve18() {}
  virtual void Reserve19() {}
  // 20: a computed column's expression, one reference for the caller; null
  // for a table column.
  virtual IExpOpExpression* piGetExpression() = 0;
  virtual void Reserve21() {}
  // 22: the name by which the column's FROM table is known in the query: its
  // alias when it has one, else its name; "" for a computed column.
  virtual const wchar_t* pszGetNomTableAlias() = 0;
  // 23: 0 for a column that the query needs but does not show (an ORDER BY
  // item outside the select list).
  virtual int bVisible() = 0;

  // The reference word (see the file comment).
  int32_t m_nRefParser = 1;

 protected:
  ~IInfoRubrique() = default;
};

// A table of the FROM clause.
class IInfoFrom {
 public:
  virtual int AddRef() = 0;   // 0: the new count
  virtual int Release() = 0;  // 1: the new count; dies at 0
  virtual const wchar_t* pszGetNomTable() = 0;  // 2: its logical name
  // 3: its alias; its name when it has none.
  virtual const wchar_t* pszGetAlias() = 0;
  // 4 (ours): position of the table's name.
  virtual _stPositionSQL stGetPosition() = 0;
  // 5 (ours): position of its alias; start 0 when it has none.
  virtual _stPositionSQL stGetPositionAlias() = 0;

 protected:
  ~IInfoFrom() = default;
};

// An ORDER BY item.
class IInfoOrderBy {
 public:
  virtual void Reserve0() {}
  virtual void Reserve1() {}
  virtual int Release() = 0;  // 2: the new count; dies at 0
  virtual eSENSTRI eGetSensTri() = 0;  // 3
  // 4: index (from 0) of its output column; an item that names no output
  // column gets a hidden one; a number outside the select list gives an index
  // outside the output columns.
  virtual int nGetIndiceRubriqueOUT() = 0;
  // 5 (ours): position of the item (without its direction word).
  virtual _stPositionSQL stGetPosition() = 0;

  // The reference word (see the file comment).
  int32_t m_nRefParser = 1;

 protected:
  ~IInfoOrderBy() = default;
};

// A GROUP BY item; the driver copies the seven values into its own
// CInfoGroupe, which adds two destructors after them.
class IInfoGroupe {
 public:
  // 0: the qualifier as written ("" when none).
  virtual const wchar_t* vpszGetAlias() = 0;
  // 1: 1 when the item is written with a table qualifier.
  virtual int bIsAvecTable() = 0;
  // 2: the logical name of the item's table (an alias resolved); "" when
  // unknown.
  virtual const wchar_t* pszGetNomTable() = 0;
  // 3: the item name when it names a table column; "" when it names an
  // output column by its alias.
  virtual const wchar_t* pszGetNomRubrique() = 0;
  virtual _stPositionSQL stGetPosition() = 0;  // 4
  // 5: the table as the query writes it (qualifier, else the name by which
  // the column's FROM table is known; "" when none).
  virtual const wchar_t* pszGetNomFichier() = 0;
  // 6: the name as written, without qualifier.
  virtual const wchar_t* pszGetNomRubriqueAlias() = 0;

 protected:
  ~IInfoGroupe() = default;
};

// An UPDATE assignment "column = value".
class IInfoAffectation {
 public:
  // 0: the assigned column (a column node), one reference for the caller.
  virtual IExpOpExpression* piGetColonne() = 0;
  // 1 (ours): the assigned value's expression, one reference for the caller.
  virtual IExpOpExpression* piGetValeur() = 0;

 protected:
  ~IInfoAffectation() = default;
};

// An INSERT item: one column of the column list with its value.
class IInfoInsertion {
 public:
  // 0: the value expression (null when the INSERT gives no value for it),
  // one reference for the caller.
  virtual IExpOpExpression* piGetValeur() = 0;
  // 1: the column (a column node), one reference for the caller.
  virtual IExpOpExpression* piGetColonne() = 0;

 protected:
  ~IInfoInsertion() = default;
};

// The parts of a query. The enumerators take a cursor that the caller sets
// to 0 first; each call gives the element at the cursor and moves it on;
// null past the last. No reference is added.
class IInfoRequete {
 public:
  virtual IInfoRubrique* piEnumRubrique(int* pnCursor) = 0;  // 0
  virtual int nGetRubriqueNbr() = 0;                          // 1 (ours)
  virtual int nGetFromNbr() = 0;                              // 2 (ours)
  virtual int nGetOrderByNbr() = 0;                           // 3 (ours)
  virtual int nGetGroupeNbr() = 0;                            // 4
  // 5 (ours): the join conditions, one reference for the caller; null when
  // the query has no JOIN ... ON.
  virtual IInfoListeJointure* piGetListeJointure() = 0;
  virtual IInfoFrom* piEnumFrom(int* pnCursor) = 0;        // 6
  virtual IInfoOrderBy* piEnumOrderBy(int* pnCursor) = 0;  // 7
  virtual IInfoGroupe* piEnumGroupe(int* pnCursor) = 0;    // 8
  virtual void Reserve9() {}
  virtual void Reserve10() {}
  virtual void Reserve11() {}
  virtual void Reserve12() {}
  virtual void Reserve13() {}
  virtual void Reserve14() {}
  virtual IInfoAffectation* piEnumAffectation(int* pnCursor) = 0;  // 15
  virtual IInfoInsertion* piEnumInsertion(int* pnCursor) = 0;      // 16

 protected:
  ~IInfoRequete() = default;
};

// A parsed query.
class ISQLParserInformation {
 public:
  virtual int nGetVersion() = 0;      // 0 (ours): kSQLParserVersion
  virtual int nGetCompatSince() = 0;  // 1 (ours)
  virtual int Release() = 0;          // 2: the new count; dies at 0
  // 3 (ours): index of the ORDER keyword of the ORDER BY clause; 0 when none.
  virtual int nGetDebutOrderBy() = 0;
  // 4 (ours): the index at which further select-list columns are inserted
  // (just after the last column of the list); 1 when the list is a lone "*"
  // (standing for the index after the first "*" of the text); 0 for a query
  // without select list.
  virtual int nGetFinListeSelect() = 0;
  // 5: the text in which a condition's positions are given (the condition
  // text of a parsed condition, the query text otherwise).
  virtual const wchar_t* pszGetTexteCondition() = 0;
  // 6: the name references and parameter markers of the query text; never
  // null.
  virtual CTabValParser* piGetTabValParser() = 0;
  virtual const wchar_t* pszGetRequete() = 0;  // 7: the query's text
  // 8 (ours): last character of the ORDER BY clause (its last item, with its
  // direction word); -1 when none. With slots 15, 11 and 16, the four clause
  // ends that the tail of a query is copied after, asked in that order.
  virtual int nGetFinClauseOrderBy() = 0;
  // 9, 10: index of the WHERE keyword and last character of the WHERE
  // clause; 0 when none.
  virtual int nGetDebutWhere() = 0;
  virtual int nGetFinWhere() = 0;
  // 11 (ours): last character of the GROUP BY clause; -1 when none.
  virtual int nGetFinClauseGroupBy() = 0;
  // 12: the parts; null for a text that the parser did not split into parts.
  virtual IInfoRequete* piGetInfoRequete() = 0;
  // 13, 14: index of the HAVING keyword and last character of the HAVING
  // clause; 0 when none.
  virtual int nGetDebutHaving() = 0;
  virtual int nGetFinHaving() = 0;
  // 15, 16 (ours): last character of the HAVING, WHERE clause; -1 when none.
  virtual int nGetFinClauseHaving() = 0;
  virtual int nGetFinClauseWhere() = 0;
  // 17: the WHERE tree (a parsed condition's tree), one reference for the
  // caller; null when none.
  virtual IExpOpExpression* piGetConditionWhere() = 0;
  virtual void Reserve18() {}
  // 19: the parameter markers of a text that the parser did not split into
  // parts; null for a parsed query.
  virtual CTabValParser* piGetTabValParserMarqueur() = 0;
  virtual void Reserve20() {}
  // 21: the server's item description of a table column of the output, one
  // external reference; null for a computed column or an unknown one. May
  // raise an exception.
  virtual INAItemDescription* piGetItemDescription(const IInfoRubrique* piColonne) = 0;
  // 22: the item description of an item of a table (given by its name or an
  // alias of the query), one external reference; null when unknown.
  virtual INAItemDescription* piGetNAItemDescription(const wchar_t* pszTable,
                                                     const wchar_t* pszRubrique) = 0;
  // 23: the data-source description of a FROM table, one external reference;
  // null when unknown.
  virtual INADataSourceDescription* piGetFromDataSourceDescription(const IInfoFrom* piFrom) = 0;
  // 24: the data-source description of a table name (or an alias of the
  // query), one external reference; null when unknown.
  virtual INADataSourceDescription* piGetNADataSourceDescription(const wchar_t* pszTable) = 0;
  virtual void Reserve25() {}
  virtual eTYPEREQUETE eGetTypeRequete() = 0;  // 26
  // 27: the HAVING tree, one reference for the caller; null when none.
  virtual IExpOpExpression* piGetConditionHaving() = 0;
  virtual void Reserve28() {}
  virtual void Reserve29() {}
  virtual void Reserve30() {}
  virtual void Reserve31() {}
  virtual void Reserve32() {}
  // 33: the physical name of a logical table name. Writes it, zero-
  // terminated, into pszBuffer when it fits in nBufferChars characters with
  // its terminator, else writes an empty text (nothing past the buffer).
  // Answers the name's length in characters without terminator (0: the
  // parser knows no physical name for it). May raise an exception.
  // REQUIRES: pszBuffer holds nBufferChars > 0 characters.
  virtual int GetPhysicalName(const wchar_t* pszLogicalName, wchar_t* pszBuffer,
                              int nBufferChars) = 0;

  // The reference word (see the file comment).
  int32_t m_nRefParser = 1;

 protected:
  ~ISQLParserInformation() = default;
};

#endif  // KQ230_SQL_PARSER_INTERFACE_H_
