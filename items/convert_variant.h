// CNAConvertVariant: the value holder the driver makes for every column of a
// record, every parameter and every define. It knows where its value lives:
//   mode 0  empty: no value;
//   mode 1  in its language value (CAny);
//   mode 2  not read yet (a memo the column has not fetched): reads as mode 1;
//           every write turns it into mode 1;
//   mode 3  in a fixed raw buffer of someone else's (the column's slot of the
//           record buffer), never freed by the holder;
//   mode 4  in a caller's buffer by reference (raw setters keep the pointer);
//   mode 5  in a zero-filled buffer of its own, freed when the mode changes.
// It converts any language value or plain value it is given into its own
// language type and storage (raising user error 53 when that cannot be done,
// the value then unchanged), gives the value back as a language value,
// compares and copies holders, and prepares the bytes that go to and come
// from the database. The database text of values (bSetValueDB with text,
// bSetValueFromDB, bSetValueDB of a language value) lives in
// items/database_text.cc.
//
// Raw buffers (modes 3 to 5) hold the record form of the value: numbers in
// their natural width, 8-bit texts zero-terminated, wide texts as UTF-16
// (the record encoding of Unicode items, whose sizes and keys count 2-byte
// units) with a 2-byte terminator, dates and times of NA_IT_DATE8 and
// NA_IT_HEURE items as the 8-bit texts YYYYMMDD and HHMMSSmmm, date-times as
// the date word and the milliseconds word. Every copy into a raw buffer is
// bounded by the capacity, and room for a terminator never goes below 0.
//
// Ownership: the holder counts one reference on its error object and one
// external reference on each item description; the connection is borrowed
// (it outlives the holders of its data accesses). Counted as CInterf.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_CONVERT_VARIANT_H_
#define KQ230_ITEMS_CONVERT_VARIANT_H_

#include "items/na_variant.h"

class CDateTime;
class CNAConnectionDescription;
class CNAError;
class CNAZBRecord;
class CVXBIN;
class INAItemDescription;
struct _SYSTEMTIME;

enum eNAVARTYPE : int {
  NA_VT_EMPTY = 0,
  NA_VT_ANY = 1,
  NA_VT_NOT_READ = 2,
  NA_VT_BUFFER = 3,
  NA_VT_REFERENCE = 4,
  NA_VT_OWN_BUFFER = 5,
};

class CNAConvertVariant : public CNAVariant {
 public:
  // Empty holder (mode 0). One reference is taken on pclError (may be null).
  CNAConvertVariant(CNAError* pclError, CNAConnectionDescription* pclConnection);
  ~CNAConvertVariant() override;

  // ---- Overrides of CNAVariant's slots
  int vbChangeVXType(unsigned short nType, int bNoFill) override;
  int vbGetValue(CAny* pOut) const override { return bGetValue(pOut); }
  int vbIsEmpty() const override { return m_eMode == NA_VT_EMPTY; }
  const void* vpGetData() const override { return pGetData(); }
  unsigned int vnGetSize() const override { return nGetSize(); }
  CNAConnectionDescription* pclGetCnx() override { return m_pclConnection; }

  // ---- Hooks (base behaviour; nothing in the driver overrides them yet)
  virtual int _bConvertDataToZB() { return 1; }
  virtual int _bConvertDataToDB() { return 1; }
  virtual int _bInitBufferDB_Ptr();
  virtual int _bInitBufferDB_Any();
  virtual int _bInitTypeBind() { return 1; }

  // ---- Setting up
  void _SetVarType(eNAVARTYPE eMode);
  void ResetVariant() { _SetVarType(NA_VT_EMPTY); }
  // Mode, buffer (modes 3, 4) and its size, language type. False when a mode-5
  // buffer cannot be had (out-of-memory error on the holder's error).
  int bInitTypeVariant(eNAVARTYPE eMode, unsigned char* pBuffer, unsigned int nSize,
                       unsigned short nVXType);
  // Mode 5 with a zero-filled buffer of nSize bytes.
  int bInitTypeVariantBuffer(unsigned short nVXType, unsigned int nSize);
  int _bInitBufferZB(unsigned char* pBuffer, unsigned int nSize);
  // Mode 1 under the language type.
  void InitTypeVariantAny(unsigned short nVXType, unsigned int nSize);
  // Holds the analysis and the database item (one external reference each);
  // a new analysis item retypes the value to the item's language type.
  void SetItemDesc(INAItemDescription* piAnalysis, INAItemDescription* piDatabase);
  // NULL of the current type; a raw buffer is zeroed.
  void SetNull();
  // Marks a mode-1 value as not read yet (mode 2): a memo the column has not
  // fetched.
  void SetNotRead() {
    if (m_eMode == NA_VT_ANY) m_eMode = NA_VT_NOT_READ;
  }

  // ---- Item queries
  eNA_ITEMTYPE eNAGetItemTypeAnalyse() const;
  eNA_ITEMTYPE eNAGetItemTypeDatabase() const;
  eNA_ITEMTYPE eNAGetItemType() const;
  eNA_ITEMTYPE eNAGetItemTypeDatabaseEx() const;
  unsigned short eGetVXTypeDB() const;
  int bIsMemo() const { return bIsItemMemo(eNAGetItemType()); }
  int bIsMemoBinaire() const { return bIsItemMemoBinaire(eNAGetItemType()); }
  const wchar_t* pszGetTableName() const;
  const wchar_t* pszGetItemName() const;
  int bUnicodeDB() const;
  static int s_bTextToBool(const char* psz);
  static int s_bTextToBool(const wchar_t* psz);
  INAItemDescription* piGetItemAnalyse() const { return m_piItemAnalyse; }
  INAItemDescription* piGetItemDatabase() const { return m_piItemDatabase; }

  // ---- State
  eNAVARTYPE eGetVarType() const { return m_eMode; }
  unsigned short nGetVXType() const { return m_clValue.nGetTypeCode(); }
  bool bIsNull() const { return m_clValue.bIsNull(); }
  // The raw buffer (modes 3 to 5), its capacity and used length.
  unsigned char* pbyGetBuffer() const { return m_pbyBuffer; }
  unsigned int nGetCapacity() const { return m_nCapacity; }
  unsigned int nGetUsedLength() const { return m_nUsedLength; }
  CNAError* pclGetError() const { return m_pclError; }
  // The connection's language code page (1252 without a connection or while
  // it is not known).
  int nGetLanguageCodePage() const;

  // ---- Reading
  const void* pGetData() const;
  unsigned int nGetSize() const;
  unsigned int nGetUtilDataSize() const;
  int bGetValue(CAny* pOut) const;
  int bGetDecimalInfo(int* pnDigits, int* pnDecimals) const;

  // ---- Setting (mode 2 becomes 1 first). Each answers true unless it says
  // otherwise; a false answer leaves the value as it was.
  int bSetValue(const unsigned char* p, unsigned int n);
  int bSetValue(CVXBIN* pBin);
  // The central conversion; false with user error 53 when v cannot become the
  // holder's type.
  int bSetValue(const CAny* pv);
  // Typed setters (language types of CNAVariant's table; CDateTime 26). Modes
  // 0 and 4 have nowhere to store a value of their own: false.
  int bSetValue(const CMoney& clMoney);
  int bSetValue(double d);
  int bSetValue(float f);
  int bSetValue(long long ll);
  int bSetValue(unsigned long long ull);
  int bSetValue(int n);
  int bSetValue(unsigned int n);
  int bSetValue(short n);
  int bSetValue(unsigned short n);
  int bSetValue(char c);
  int bSetValue(unsigned char c);
  int bSetValue(bool b);
  int bSetValue(CDateTime* pclDateTime);
  // Wide text of n characters (-1: up to the terminator).
  int bSetValue(const wchar_t* psz, unsigned int n);
  // 8-bit text of the language code page, n bytes (-1: up to the terminator).
  int bSetValue(const char* psz, unsigned int n);
  // 8-bit text of n bytes in code page nCodePage.
  int _bSetValue(const char* psz, unsigned int n, unsigned int nCodePage);
  int bSetValue(_SYSTEMTIME* pst);
  // The record form of NA_IT_BINAIRE: 16-bit length, bytes, zeros.
  int bSetValueBinaryString(const unsigned char* p, unsigned int n);
  void CompleteSpaces(int n);
  int bLoadFile(const wchar_t* pszPath, CNAError* pclError, int bBinary);

  int bCopyVariant(const CNAConvertVariant* pclSrc);
  int nCmp(const CNAConvertVariant* pclOther) const;
  int bEqualsNAVariant(const CNAConvertVariant* pclOther) const;
  int bEqualsNAVariant(const CAny* pv) const { return CNAVariant::bEqualsNAVariant(pv); }
  CNAConvertVariant* pclGetCloneVariant() const;

  // ---- Database form
  int bInitBufferDB();
  int nGetTypeBind();
  int bGetBufferDB(unsigned char** ppData, unsigned int* pnSize, unsigned int** ppnLength);
  int bSetValueDB(const unsigned char* p, unsigned int n);
  int bConvertDataToDB();
  int bConvertDataToZB(CNAZBRecord* pclRecord);
  int _bAllocBufferDB(unsigned int n);
  void _ReleaseValDB();
  unsigned int nGetLengthIndicator() const { return m_nLengthIndicator; }
  int nGetBufferDBState() const { return m_nBufferDBState; }

  // ---- Database text (items/database_text.cc)
  int bSetValueDB(const CAny* pv);
  int bSetValueDB(const char* pText, unsigned int n, unsigned int nCodePage);
  int bSetValueDB(const wchar_t* pText, unsigned int n);
  int bSetValueFromDB(const wchar_t* pText, unsigned int n);
  // The cell as the language reads its text: decoded to wide text, then the
  // language's cast to the holder's type. The road of every type without a
  // direct one (see _nSetValueDBDirect); public so that the direct roads can
  // be held to it byte for byte.
  int bSetValueDBAsLanguageText(const char* pText, unsigned int n, unsigned int nCodePage);

  // The conversion-failure error (user error 53: source language type, the
  // holder's item type, the source text) on the holder's error; answers 0.
  // pv cast to the holder's type by the language, then stored; user error
  // 53 with the value unchanged when the language refuses the cast.
  // REQUIRES: pv non-null, not NULL, of a type other than the holder's.
  int _bSetValueByCast(const CAny* pv);
  int _SetErrorConversionFailed(int nSourceVXType, const wchar_t* pszSource, int nMajor,
                                int nMinor);
  // The out-of-memory error on the holder's error; answers 0.
  int _SetErrorNoMemory();

 protected:
  // Copies n bytes into the raw buffer bounded by the capacity less the room
  // of a terminator of nTerminator bytes (clamped at 0), zeroes the rest.
  void _CopyToBuffer(const void* p, unsigned int n, unsigned int nTerminator);
  // The bytes of a value into the raw buffer: a binary item's slot holds
  // its 16-bit length before them (as the reading side expects); any other
  // slot takes them as _CopyToBuffer does.
  void _CopyBytesToBuffer(const void* p, unsigned int n);
  // The typed setters' rule: same type: stored in its natural width (false
  // in modes 0 and 4); another type, or a language value to hold: converted
  // from the value pfnMake builds from p. The value is built only on those
  // roads: a raw slot of the same type takes the bytes alone.
  using PfnMakeAny = void (*)(CAny* pOut, const void* p);
  int _bSetTyped(unsigned short nVXType, const void* p, unsigned int nBytes, PfnMakeAny pfnMake);
  // Wide text into a raw buffer as UTF-16 with its terminator.
  void _SetWideRaw(const wchar_t* psz, unsigned int n);
  // The database text of a BOOL, number or date/time holder (8-bit, n bytes;
  // ASCII is all these layouts use). pszSource, when given, is the text as
  // received, for the conversion error; otherwise p is decoded from
  // nCodePage for it. False with user error 53 when the text is not one of
  // the holder's layouts, the value then unchanged.
  int _bSetValueDBScalar(const char* p, unsigned int n, const wchar_t* pszSource,
                         unsigned int nCodePage, int nSourceVXType);
  // The start shared by the 8-bit cell roads: the database buffer, a NULL or
  // empty cell (the result), else -1.
  int _nSetValueDBStart(const char* pText, unsigned int n);
  // The direct roads of a fetched cell (n > 0 bytes of nCodePage) into the
  // holder's slot: decimals, Unicode texts and 8-bit texts written from the
  // cell's bytes with no heap call and no language value, exactly as the
  // general roads write them. Answers the setter's result, or -1 when the
  // cell or the holder is not one these roads take (nothing then changed).
  int _nSetValueDBDirect(const char* p, unsigned int n, unsigned int nCodePage);
  // Its pieces: a UTF-8 cell longer than the stack's conversion into an
  // 8-bit slot of code page 1252 (REQUIRES: well-formed, a slot), and a cell
  // into a wide language value (-1 where the text setter's own road is the
  // short one, or the cell is not one these roads read).
  int _nSetLongAnsiSlotDirect(const char* p, unsigned int n);
  int _nSetWideValueDirect(const char* p, unsigned int n, unsigned int nCodePage);

  CNAConnectionDescription* m_pclConnection = nullptr;
  INAItemDescription* m_piItemDatabase = nullptr;
  INAItemDescription* m_piItemAnalyse = nullptr;
  eNAVARTYPE m_eMode = NA_VT_EMPTY;
  unsigned char* m_pbyBuffer = nullptr;
  unsigned int m_nUsedLength = 0;
  unsigned int m_nCapacity = 0;
  unsigned char* m_pbyBufferDB = nullptr;
  unsigned int m_nBufferDBSize = 0;
  unsigned int m_nLengthIndicator = 0;
  int m_nTypeBind = 0;
  int m_nBufferDBState = 0;
  CNAError* m_pclError = nullptr;
};

#endif  // KQ230_ITEMS_CONVERT_VARIANT_H_
