// CKQMFile: a typed product file (CKQFile) that holds numbered texts. After
// the typed header come the message file's version and the relative offset of
// a sorted index of message numbers with the offsets of their texts; the
// object loads the index once, finds a number by binary search and reads the
// one text it needs, converting it from the file's 8-bit code page.
//
// Layout (little-endian; H is the size the typed header announces):
//   H          4        version V (texts in Windows-1252 when V <= 1, else UTF-8)
//   H + 4      4        relative offset R of the index
//   I = H+8+R  4        number of entries N
//   I + 4      12 * N   entries: message number (4), text offset from B (8),
//                       sorted by number as unsigned values
//   B = I+4+12N         text records: one skipped byte, length L (4), L bytes
//
// Counts, offsets and lengths come from the file and are never trusted: they
// are computed in 64 bits and checked against the file's size before anything
// is allocated or read, so a corrupt file fails (result 0, the failure
// recorded on the stream's error object) instead of allocating short or
// reading past a buffer. A failed index load is not retried until Purge.
//
// Ownership: the object owns its index; texts are copied out.
// Threads: one thread at a time per object.
#ifndef KQ230_PLATFORM_MESSAGE_FILE_H_
#define KQ230_PLATFORM_MESSAGE_FILE_H_

#include <cstdint>

#include "platform/typed_file.h"

class CTString;

class CKQMFile : public CKQFile {
 public:
  // One index entry.
  struct STOffsetRessource {
    uint32_t nNumero;
    int64_t llOffset;
  };
  static constexpr unsigned int kEntryBytes = 12;

  CKQMFile();
  ~CKQMFile() override;

  // Opens the file (format 0, read, no lock, existing), reads both headers,
  // loads the index and closes the file in every case. 1 when all succeeded.
  int bVerifieFormat(const wchar_t* pszPath);
  // The text of a number converted to wide text; 0 when it is not in the
  // index or cannot be read. REQUIRES: the file is open.
  int bLoadString(unsigned int nNumero, CTString* pclText);
  // The text converted into the buffer of nSize characters, cut to nSize - 1
  // and terminated (nSize >= 1); answers the text's length in bytes L (not the
  // characters written); 0 when the text cannot be found or read.
  // REQUIRES: the file is open.
  int nLoadString(unsigned int nNumero, wchar_t* pszBuffer, int nSize);
  // Frees the index and forgets the headers' values (the code page stays).
  void Purge();
  // The absolute position B + offset of a text, 0 when not in the index, the
  // index cannot be loaded or the entry's offset is negative or past what
  // 64 bits hold.
  long long __oGetOffsetRessource(unsigned int nNumero);
  // Loads the index once (see above).
  int _bChargeIndex();
  static int __nCompareRessource(const STOffsetRessource* pA, const STOffsetRessource* pB);

  int bReadHeader(long long* pnPosition) override;

  uint32_t dwGetVersion() const { return m_dwVersion; }
  unsigned int nGetCodePage() const { return m_nCodePage; }
  uint32_t nGetNbEntries() const { return m_nNbEntries; }

 private:
  // The entry of a number, or false.
  bool _bFind(unsigned int nNumero, STOffsetRessource* pEntry) const;
  // The text's bytes in a new block (XMALLOC_Del_), zero-terminated, and L.
  unsigned char* _pbyReadText(unsigned int nNumero, uint32_t* pnLength);
  // Records a refused count, offset or length on the stream's error object.
  void _RecordCorruption(const wchar_t* pszWhat, unsigned long long nValue);

  uint32_t m_dwOffsetIndex = 0;
  long long m_llPosIndex = 0;
  uint32_t m_nNbEntries = 0;
  unsigned char* m_pbyIndex = nullptr;  // N raw 12-byte entries
  uint32_t m_dwVersion = 0;
  unsigned int m_nCodePage = 65001;
  int m_bIndexTried = 0;
  bool m_bIndexLoaded = false;
};

#endif  // KQ230_PLATFORM_MESSAGE_FILE_H_
