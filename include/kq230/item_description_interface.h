// INAItemDescription: the description of one item of a data source (a
// column of a table or of a query result, or a key), the same interface
// whichever side made it: the server describes its own items with it and
// reads the driver's item descriptions through it. Also the server's
// enumeration and combination objects that an item may carry
// (IEnumerationVM, ICombinaisonVM), as far as an item holds them.
//
// Called through the table of virtual operations: the slot order is the
// contract; never reorder, insert or remove an operation. The five version
// operations come first; overloads sit in their declaration order. Slot
// numbers are given in the comments (counting from 0).
//
// Sizes and offsets are 32-bit on this boundary; the driver computes them in
// 64 bits and refuses an item or record that would not fit, so a value read
// here is never a wrapped one.
//
// Texts: zero-terminated wide texts owned by the item, valid while it lives;
// null where the operation says so.
// Ownership: counted through slots 5 and 6; no virtual destructor in the
// interface: only its maker deletes it. Objects handed out by an operation
// (components) carry one reference for the caller.
// Threads: the driver and the server call it under the driver's lock.
#ifndef KQ230_ITEM_DESCRIPTION_INTERFACE_H_
#define KQ230_ITEM_DESCRIPTION_INTERFACE_H_

#include "kq230/item_type.h"

class CAny;
class CXError;
template <class T>
class CXYString;
class INAContext;
class INADataSourceDescription;
class INALink;  // a link between two descriptions (not offered by the driver)

// The server's enumeration and combination objects. An item holds one
// reference on each it carries: slot 0 takes a reference, slot 1 drops one;
// both answer the new count. Slots 2 and 3 turn a language value into the
// item's record form and back (the record buffer calls them); what the form
// is belongs to the server. A refusal answers 0 and fills the error given.
class IEnumerationVM {
 public:
  virtual int nAddRef() = 0;   // slot 0
  virtual int nRelease() = 0;  // slot 1
  // The 4-byte code of a value (*pnCode untouched on refusal).
  virtual int vbValueToCode(const CAny* pValue, int* pnCode, CXError* pclError) = 0;  // slot 2
  // The value of the 4-byte code at pCode (any alignment).
  virtual int vbCodeToValue(const void* pCode, CAny* pValue, CXError* pclError) = 0;  // slot 3

 protected:
  ~IEnumerationVM() = default;
};

class ICombinaisonVM {
 public:
  virtual int nAddRef() = 0;   // slot 0
  virtual int nRelease() = 0;  // slot 1
  // The record form of a value: nSize bytes written at pBytes (any
  // alignment), whatever is not the value's written too.
  virtual int vbValueToBytes(const CAny* pValue, void* pBytes, unsigned int nSize,
                             CXError* pclError) = 0;  // slot 2
  // The value of the nSize bytes at pBytes.
  virtual int vbBytesToValue(const void* pBytes, unsigned int nSize, CAny* pValue,
                             CXError* pclError) = 0;  // slot 3

 protected:
  ~ICombinaisonVM() = default;
};

class INAItemDescription {
 public:
  // Slots 0-4: the version head.
  virtual int nGetVersion() = 0;                  // 0
  virtual int nGetCompatSince() = 0;              // 1
  virtual int nGetNAVersion() { return -1; }      // 2
  virtual int nGetNACompatSince() { return -1; }  // 3
  virtual void NAVersion_EmptySlot_3() {}         // 4

  // One external reference more; answers the item itself.
  virtual INAItemDescription* ExternalAddRef() = 0;  // 5
  // One external reference less; the new count.
  virtual int nExternalRelease() = 0;  // 6

  virtual const wchar_t* pszGetName() = 0;  // 7
  virtual int nGetDimension() = 0;          // 8
  virtual int nGetItemSize() = 0;           // 9
  // The value's size as the server counts it: one element, or all elements
  // for n = -1.
  virtual int nGetLogicalSize(int n) = 0;       // 10
  virtual int nGetTotalSize() = 0;              // 11
  virtual eNA_ITEMTYPE eNAGetItemType() = 0;    // 12
  virtual int nGetPhysicalIndice() = 0;         // 13
  virtual int bIsKey() = 0;                     // 14
  virtual int bMemo() = 0;                      // 15
  virtual int bMemoText() = 0;                  // 16
  virtual int bMemoBinary() = 0;                // 17
  virtual int bNumerical() = 0;                 // 18
  virtual int bLiteral() = 0;                   // 19
  virtual int nGetKeyIndice() = 0;              // 20
  virtual int nGetNumComponents() = 0;          // 21
  virtual int bPrimary() = 0;                   // 22
  virtual int bUnique() = 0;                    // 23
  virtual int bDuplicates() = 0;                // 24
  virtual int bIsComposedKey() = 0;             // 25
  virtual int bGetAscendant(int n) = 0;         // 26
  virtual int bGetDescendant(int n) = 0;        // 27
  virtual int bGetIgnoreCase(int n) = 0;        // 28
  virtual int bGetIgnorePunctuation(int n) = 0; // 29
  virtual int bGetIgnoreAccent(int n) = 0;      // 30
  // Component n counted from 1, with one external reference for the caller;
  // null when there is no such component.
  virtual INAItemDescription* piGetItemComponent(int n) = 0;  // 31
  // Byte offset of element n in the record buffer.
  virtual int nGetOffset(int n) = 0;  // 32
  virtual void EmptySlot137() {}      // 33
  virtual CAny* pclGetDefaultValue(int n) = 0;         // 34
  virtual const wchar_t* pszGetExtendedInfo() = 0;     // 35
  virtual const wchar_t* pszGetCaption() = 0;          // 36
  virtual const wchar_t* pszGetDBType() = 0;           // 37
  virtual const wchar_t* pszGetXBaseIndexPath() = 0;   // 38
  virtual const wchar_t* pszGetXBaseKeyExpression() = 0;  // 39
  virtual int nGetIntegerPart() = 0;                   // 40
  virtual int nGetDecimalPart() = 0;                   // 41
  virtual const wchar_t* pszGetNameInSource() = 0;     // 42
  virtual const wchar_t* pszGetSourceName() = 0;       // 43
  virtual int nGetKeySize() = 0;                       // 44
  virtual void SetKeySize(unsigned int nSize) = 0;     // 45
  virtual int nGetComponentKeySize(int n) = 0;         // 46
  virtual void SetComponentKeySize(unsigned int nSize, int n) = 0;  // 47
  virtual int bUpdatable() = 0;                        // 48
  virtual void SetUpdatable(int bUpdatable) = 0;       // 49
  virtual INALink* piGetPrimaryLink(INAContext* piContext,
                                    INADataSourceDescription** ppiSource) = 0;  // 50
  virtual INALink* piGetForeignLink(unsigned int n, INAContext* piContext,
                                    INADataSourceDescription** ppiSource) = 0;  // 51
  virtual int nGetNumForeignLink() = 0;                 // 52
  virtual const wchar_t* pszGetUnicodeLocale() = 0;     // 53
  // Asked only of items whose nGetVersion() is above 8.
  virtual int vbConstraintNullAllowed() = 0;            // 54
  // Held objects, no reference added.
  virtual IEnumerationVM* vpiGetEnumerationVM() = 0;    // 55
  virtual ICombinaisonVM* vpiGetCombinaisonVM() = 0;    // 56
  virtual int vbGetDefaultExpression(unsigned int nOption, CXYString<wchar_t>& strExpression,
                                     int& nKind) = 0;   // 57
  virtual int vbIsComputedColumnAll() = 0;              // 58
  virtual const wchar_t* vpszGetComputedColumnExpression() = 0;  // 59
  virtual int vbComputedColumnPersist() = 0;            // 60
  virtual int vbIsComputedColumnExpressionUnicode() = 0;  // 61

 protected:
  ~INAItemDescription() = default;
};

// The server sees the table of operations and nothing else: on the 32-bit
// server an interface object is its one table pointer.
static_assert(sizeof(void*) != 4 || sizeof(INAItemDescription) == 4,
              "INAItemDescription is a bare table of operations");
static_assert(sizeof(void*) != 4 || sizeof(IEnumerationVM) == 4, "IEnumerationVM layout");
static_assert(sizeof(void*) != 4 || sizeof(ICombinaisonVM) == 4, "ICombinaisonVM layout");
static_assert(sizeof(eNA_ITEMTYPE) == 4, "an item type is a 32-bit int on the boundary");

#endif  // KQ230_ITEM_DESCRIPTION_INTERFACE_H_
