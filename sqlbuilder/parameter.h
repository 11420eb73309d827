// CNAParameter: one bind parameter of a command (sqlbuilder/command.h): the
// value holder with the value to send, the place in the command's statement
// text where the value is written, the kind of parameter (flags below), its
// name, the column or item it is compared with, the LIKE escape character of
// its pattern, the comparison it is an operand of and its direction. The
// command writes it into its formatted text as an SQL literal; statements
// bind it. The driver makes parameters through CNADriver::pclAllocParameter.
//
// The position counts wide characters of the statement text: the length of
// that text when the parameter was added. The parameter itself occupies no
// character of the statement text.
//
// Ownership: counted as CInterf. The parameter holds one counted reference on
// its value holder (a holder may be shared by a parameter and its clones) and
// on its column, and one external reference on its item description.
// Threads: none of its own; a parameter belongs to one command, used under
// the driver lock.
#ifndef KQ230_SQLBUILDER_PARAMETER_H_
#define KQ230_SQLBUILDER_PARAMETER_H_

#include "core/string_concat.h"
#include "core/wide_string.h"
#include "driver/reference_counted.h"
#include "items/item_types.h"

class CAny;
class CNAColumn;
class CNAConvertVariant;
class CNAError;
class INAItemDescription;
class INAQueryParametersValue;
enum eOPEXPRESSION : int;

// Kinds of parameter (bits of the flags word).
inline constexpr unsigned int kNAParamFile = 0x1;         // the holder holds a file name
inline constexpr unsigned int kNAParamFileText = 0x10;    // with 0x1: a text file
inline constexpr unsigned int kNAParamUser = 0x10000;     // a named parameter of the query
inline constexpr unsigned int kNAParamCursor = 0x20000;   // bound to a cursor: no value
inline constexpr unsigned int kNAParamLike = 0x40000;     // the pattern of a LIKE
inline constexpr unsigned int kNAParamLiteral = 0x80000;  // a literal of a parsed condition

class CNAParameter : public CInterf {
 public:
  // Direction bits.
  enum eNAPARAMETERINOUT : int {
    NA_PARAM_NONE = 0,
    NA_PARAM_IN = 1,
    NA_PARAM_OUT = 2,
    NA_PARAM_INOUT = 3,
    NA_PARAM_RETURN = 4,
  };

  // Holder (one reference taken; may be null), position, flags and name
  // (null: none). No column, no item, escape 0, operator -1, direction IN.
  CNAParameter(CNAConvertVariant* pclValue, unsigned int nPosition, unsigned int nFlags,
               const wchar_t* pszName);
  ~CNAParameter() override;
  CNAParameter(const CNAParameter&) = delete;
  CNAParameter& operator=(const CNAParameter&) = delete;

  // ---- Virtual operation after CInterf's three
  // A new parameter from the driver with the same holder (shared, counted),
  // position, flags and name, then the same column, item and escape
  // character; operator and direction stay at their initial values. One
  // reference for the caller; null when the driver gives none.
  virtual CNAParameter* pclGetClone();

  // ---- Column and item
  // Replaces the column (the new one counted first, then the old released)
  // and sets the item to the new column's analysis item (none for null).
  void SetColum(CNAColumn* pclColumn);
  // Replaces the item: one external reference taken on the new, the old's
  // released.
  void SetItem(INAItemDescription* piItem);
  CNAColumn* pclGetColumnNoRef() const { return m_pclColumn; }
  INAItemDescription* piGetItemNoRef() const { return m_piItem; }

  // ---- Item questions (0 without item)
  int bIsDate() const;          // NA_IT_DATE6, NA_IT_HEURE, NA_IT_DATE8, NA_IT_DATETIME
  int bIsText() const;          // NA_IT_TEXTE, NA_IT_MEMOTEXTE, NA_IT_UNICODE, NA_IT_MEMOUNICODE
  int bIsTextUnicode() const;   // NA_IT_UNICODE, NA_IT_MEMOUNICODE
  // The column's ignore-case flag for the whole key, else the item's; 0
  // without either.
  int bCaseInSensitiveLIKE() const;
  // (database type, analysis type): from the column (answer 1); without
  // column from the holder, answering whether either is non-zero.
  int bGetVXTypeInfo(eNA_ITEMTYPE* peDatabase, eNA_ITEMTYPE* peAnalysis) const;
  // Item type, database type code, size (-1 for a memo, else the logical size
  // of component 0), precision and scale, from the holder's database item or,
  // without one, the column's imported item. None: 0 with the type code,
  // precision and scale at 0. Answers whether the type code is non-zero.
  int bGetDBType(eNA_ITEMTYPE* peType, int* pnDBType, int* pnSize, int* pnPrecision,
                 int* pnScale) const;

  // ---- Value
  // Flag 0x1: the holder's value, read as a wide file name, is replaced by
  // the file's content (a text memo with 0x10, else binary); on success flag
  // 0x1 is cleared so that the file is loaded once. The failure (the file's
  // error) goes to pclError. 1 without flag 0x1.
  int bLoadFile(CNAError* pclError);
  // The server's direction for the parameter's name is 2 or 3.
  int bIsParamOUT(INAQueryParametersValue* piValues) const;
  // The holder takes the value (converted to its type).
  int bSetValue(const CAny* pValue);
  // The same object, or equal position, flags, holder value, column names,
  // item names (both absent or equal exactly), escape character and
  // direction.
  int bEqualsParameter(const CNAParameter* pclOther) const;
  // Replaces the builder's text with the direction: "(", the present ones of
  // IN, OUT, RETURN joined by "|", ")".
  void TypeParam2String(CXYStringConcat<wchar_t>* pOut) const;

  // ---- Fields
  CNAConvertVariant* pclGetValueNoRef() const { return m_pclValue; }
  unsigned int nGetPosition() const { return m_nPosition; }
  void SetPosition(unsigned int nPosition) { m_nPosition = nPosition; }
  unsigned int nGetFlags() const { return m_nFlags; }
  void SetFlags(unsigned int nFlags) { m_nFlags = nFlags; }
  bool bHasFlag(unsigned int nFlag) const { return (m_nFlags & nFlag) != 0; }
  const wchar_t* pszGetName() const { return m_csName.pszGet(); }
  wchar_t cGetEscapeLike() const { return m_cEscape; }
  void SetEscapeLike(wchar_t c) { m_cEscape = c; }
  eOPEXPRESSION eGetOperator() const { return m_eOperator; }
  void SetOperator(eOPEXPRESSION eOperator) { m_eOperator = eOperator; }
  eNAPARAMETERINOUT eGetDirection() const { return m_eDirection; }
  void SetDirection(eNAPARAMETERINOUT eDirection) { m_eDirection = eDirection; }

 private:
  eNA_ITEMTYPE _eItemType() const;

  CNAConvertVariant* m_pclValue;
  unsigned int m_nPosition;
  unsigned int m_nFlags;
  CNAColumn* m_pclColumn = nullptr;
  CTString m_csName;
  INAItemDescription* m_piItem = nullptr;
  wchar_t m_cEscape = 0;
  eOPEXPRESSION m_eOperator;
  eNAPARAMETERINOUT m_eDirection = NA_PARAM_IN;
};

#endif  // KQ230_SQLBUILDER_PARAMETER_H_
