// Sortable index keys: a language value turned into bytes whose unsigned
// order (memcmp) is the order of the values, for the record cache's in-memory
// indexes.
//
// CConvertKey takes a CAny, casts a private copy to the key's language type and
// hands the copy's bytes to CZBConvertKey, whose encoders know one byte layout
// per key item type. The layouts are a format: every key that any part of the
// driver builds for the same value must be identical byte for byte, so never
// change one without changing every reader.
//
//   item type       value                       key bytes                    length
//   1, 12           8-bit text                  mapped or copied text        as mapped
//   2, 19           signed 8-bit (19: boolean)  top bit inverted             1
//   3 / 4 / 5, 16   signed 16 / 32 / 64 bits    big-endian, top bit inverted 2 / 4 / 8
//   6 / 7           float / double              floating key                 4 / 8
//   8, 18           unsigned 8 bits             the byte                     1
//   9 / 10, 23 / 11 unsigned 16 / 32 / 64 bits  big-endian                   2 / 4 / 8
//   14              money (CMoney)              MonetaireVersCleZB           10
//   15              date-time (CDateTimeBase)   date word, ms, big-endian    8
//   17              binary                      lower-case hex, "0"-filled   2 x bytes
//   20, 21          wide text                   16-bit units                 as written
//   22              decimal                     the decimal object's key     32
//   24              combination                 bytes as they are            copied
//   others          none                        nothing                      0
// Floating key: sign clear -> sign bit set, bytes most significant first;
// sign set -> every byte inverted.
//
// Ownership: no state. A key buffer is the caller's; the allocating form of
// CConvertKey::nConvertKeyAndGetSize hands over a block from XMALLOC_pNew_
// that the caller frees with XMALLOC_Del_.
// Threads: the encoders touch only their arguments and constant tables; wide
// texts with a sort mapping and decimals call the server's services, and 8-bit
// texts with a mapping its locale information, as thread-safe as those are.
#ifndef KQ230_VALUES_INDEX_KEY_H_
#define KQ230_VALUES_INDEX_KEY_H_

#include <cstdint>

#include "kq230/zb_for_na.h"

class CAny;

// Key item types: the numbering of the encoders.
enum eITEMTYPE : unsigned int {
  KEY_ITEM_NONE = 0,
  KEY_ITEM_STRA = 1,         // 8-bit text
  KEY_ITEM_I1 = 2,
  KEY_ITEM_I2 = 3,
  KEY_ITEM_I4 = 4,
  KEY_ITEM_I8 = 5,
  KEY_ITEM_R4 = 6,
  KEY_ITEM_R8 = 7,
  KEY_ITEM_UI1 = 8,
  KEY_ITEM_UI2 = 9,
  KEY_ITEM_UI4 = 10,
  KEY_ITEM_UI8 = 11,
  KEY_ITEM_STRA_2 = 12,      // 8-bit text, second numbering
  KEY_ITEM_BUFFER = 13,      // no encoder: empty key
  KEY_ITEM_CY = 14,          // money
  KEY_ITEM_DATETIME = 15,
  KEY_ITEM_DUREE = 16,       // duration: signed 64 bits
  KEY_ITEM_BIN = 17,
  KEY_ITEM_CARA = 18,        // character: unsigned 8 bits
  KEY_ITEM_BOOL = 19,        // boolean: signed 8 bits
  KEY_ITEM_PSTRW = 20,       // wide text
  KEY_ITEM_DSTRW = 21,       // wide text
  KEY_ITEM_DECIMAL = 22,
  KEY_ITEM_UI4_2 = 23,       // unsigned 32 bits, second numbering
  KEY_ITEM_COMBINATION = 24,
};
// The last item type that has a layout.
inline constexpr unsigned int kKeyItemLast = KEY_ITEM_COMBINATION;

// Key flags (the flags of __nConvertKey and CConvertKey).
inline constexpr unsigned int KEY_FLAG_WEIGHTS = 0x01;      // wide: fast sort table weights
inline constexpr unsigned int KEY_FLAG_BIG_ENDIAN = 0x02;   // wide: units byte-swapped
inline constexpr unsigned int KEY_FLAG_NO_ACCENT = 0x20;    // texts: sort mapping without accents
inline constexpr unsigned int KEY_FLAG_NO_PUNCT = 0x40;     // texts: without white space, punctuation
inline constexpr unsigned int KEY_FLAG_IGNORE_CASE = 0x80;  // texts: ignore case
inline constexpr unsigned int KEY_FLAG_DESCENDING = 0x400;  // every key byte inverted

// Source flags of __nConvertKey: the wide text is in 4-byte characters
// (wchar_t); without it, in 16-bit units.
inline constexpr unsigned int KEY_SOURCE_WIDE32 = 0x10;

// The size of a decimal key.
inline constexpr unsigned int kDecimalKeySize = 32;

// The fast sort table: for each UTF-16 unit, its sort weight stored so that
// the 16-bit entry, written to memory, is the weight big-endian. Lower case
// sorts just before upper case, accented letters right after their base letter.
// Generated at build time (values/sort_table_gen.cc).
extern const uint16_t tabUCS2FastSort[65536];

// The encoders. Each writes into pKey and touches nothing else; those without
// a key size write exactly the width of their layout.
class CZBConvertKey {
 public:
  CZBConvertKey() = delete;

  // The server's database-engine interface whose text-sorting service maps
  // the keys of texts with a sort mapping (case, punctuation, accents). The
  // driver object hands it over as the server gives it and takes it back when
  // it goes (driver/na_driver.h); null: texts are keyed unmapped. Not owned.
  // Threads: written while the driver starts and stops, under the driver lock.
  static void SetZBForNA(IZBForNA* piZB);
  static IZBForNA* piGetZBForNA();

  // REQUIRES (fixed-width encoders): pKey holds the layout's width.
  static void _I1_to_Key(void* pKey, const int8_t* pValue);
  static void _UI1_to_Key(void* pKey, const uint8_t* pValue);
  static void _I2_to_Key(void* pKey, const int16_t* pValue);
  static void _UI2_to_Key(void* pKey, const uint16_t* pValue);
  static void _I4_to_Key(void* pKey, const int32_t* pValue);
  static void _UI4_to_Key(void* pKey, const uint32_t* pValue);
  static void _I8_to_Key(void* pKey, const int64_t* pValue);
  static void _UI8_to_Key(void* pKey, const uint64_t* pValue);
  // The floating key of nSize (4 or 8) bytes of an IEEE value in memory order;
  // other sizes write nothing. Negative zero keys as zero.
  static void __Rx_to_Key(void* pKey, const void* pValue, unsigned int nSize);
  static void _R4_to_Key(void* pKey, const float* pValue);
  static void _R8_to_Key(void* pKey, const double* pValue);
  // pValue: the 8 bytes of a CDateTimeBase (day, month, 16-bit year, 32-bit
  // milliseconds, little-endian).
  static void _DateTime_to_Key(void* pKey, const void* pValue);
  // pValue: the 10 bytes of a CMoney; the key is MonetaireVersCleZB's.
  static void _CY_to_Key(void* pKey, const void* pValue);
  // The decimal object's 32-byte key of a decimal given in the data form of
  // IVXDecimal's first operation. Answers 1; 0 when the decimal factory is not
  // bound or makes no object (the key is then 32 zero bytes).
  static int _Decimal_to_Key(void* pKey, const void* pValue, int nPrecision, int nScale);

  // Two lower-case hex digits per byte, as many bytes as whole pairs fit in
  // nKeySize, the rest of the key "0". Answers the hex digits written.
  static int _nBin_to_Key(void* pKey, unsigned int nKeySize, const void* pValue,
                          unsigned int nBytes);
  // min(nKeySize, nValueSize) bytes copied; answers that count.
  static int _nCombination_to_Key(void* pKey, unsigned int nKeySize, const void* pValue,
                                  unsigned int nValueSize);
  // A wide text of nValueSize bytes (16-bit units, or 4-byte characters with
  // KEY_SOURCE_WIDE32) into a key of nKeySize bytes; answers the key length in
  // bytes. A sort mapping (0x40, 0x20, or 0x80 with 0x01 or 0x02) goes to the
  // server's text-sorting service; without a bound service the key is the
  // unmapped one.
  static int _nUNICODE_to_Key(void* pKey, unsigned int nKeySize, const void* pValue,
                              unsigned int nValueSize, unsigned int nFlags,
                              unsigned int nSourceFlags);
  // An 8-bit text of nValueSize bytes into a key of nKeySize bytes, copied or
  // mapped (0x40, 0x80, 0x20) through the locale information of nCharset;
  // answers the key length.
  static int _nSTR_to_Key(void* pKey, unsigned int nKeySize, const char* pValue,
                          unsigned int nValueSize, unsigned int nFlags, unsigned int nCharset);

  // The key size a value of nSize bytes needs: texts 1 and 12 size + 1, binary
  // 2 x size, wide texts 2 x size + 2, decimal 32, every other type size.
  static unsigned int nCalculateKeySize(eITEMTYPE eType, unsigned int nSize);
  // The same for a language type, mapped to its item type first.
  static unsigned int nCalculateKeySize(unsigned short nVXType, unsigned int nSize);
  // The item type of a language type; -1 (as an unsigned int) for one without.
  static eITEMTYPE eGetItemType(unsigned short nVXType);

  // Writes the key of a value of nValueSize bytes into pKey (nKeySize bytes)
  // by the layout of eType; answers the key length: 0 for a type without an
  // encoder (KEY_ITEM_BUFFER, above 24), for a null value, or for a value
  // shorter than its type's width. A fixed-width layout wider than the key
  // gives only its first nKeySize bytes. Descending keys (0x400) are the
  // caller's: this writes ascending keys.
  // REQUIRES: pKey holds nKeySize bytes; pValue holds nValueSize bytes.
  static int __nConvertKey(void* pKey, unsigned int nKeySize, const void* pValue,
                           unsigned int nValueSize, eITEMTYPE eType, unsigned int nFlags,
                           int nPrecision, int nScale, unsigned int nCharset,
                           unsigned int nSourceFlags);
};

// Keys of dynamic values.
class CConvertKey {
 public:
  CConvertKey() = delete;

  // Writes the key of pValue, cast to nType (0: its own type), into pKey of
  // nKeySize bytes; answers the key length. The value itself is never
  // changed. A NULL or untyped value is keyed as an empty text cast to nType;
  // a value whose cast fails gives the empty key of nType. nFlags: the key
  // flags (0x400 descending inverts the whole buffer). nIntDigits and
  // nDecDigits give the precision and scale of decimals.
  static int nConvertKeyAndGetSize(CAny* pValue, unsigned char* pKey, unsigned int nKeySize,
                                   unsigned short nType, unsigned short nFlags, int nIntDigits,
                                   int nDecDigits);
  // The same into a new buffer of CZBConvertKey::nCalculateKeySize(type,
  // data size) bytes from XMALLOC_pNew_, stored in *ppKey (null first, and
  // null when the allocation fails, then the answer is 0). The caller frees it
  // with XMALLOC_Del_.
  static int nConvertKeyAndGetSize(CAny* pValue, unsigned char** ppKey, unsigned short nType,
                                   unsigned short nFlags, int nIntDigits, int nDecDigits);
  // The common body; nKeySize 0 means allocate.
  static int _nConvertKeyAndGetSize(CAny* pValue, unsigned char** ppKey, unsigned int nKeySize,
                                    unsigned short nType, unsigned short nFlags, int nIntDigits,
                                    int nDecDigits);
  // Inverts every bit of n bytes.
  static void __InvertKey(unsigned char* p, unsigned int n);
};

#endif  // KQ230_VALUES_INDEX_KEY_H_
