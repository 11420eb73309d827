// CSqlCharSplitter: where the database server's lexer sees character
// boundaries in 8-bit text of a code page, so that SQL escaping reads a quote
// or a backslash only where the server will.
//
// The double-byte character sets put bytes of the ASCII range in second
// position: "ソ" is 0x83 0x5C in Shift-JIS, and 0x5C is the backslash. The
// server reads such a pair as one character, so an escaper that took the
// 0x5C for a backslash would write one backslash too many, and the closing
// quote of the literal would then be escaped. The splitter reproduces the
// server's rule for the character sets that have such pairs (a lead byte
// followed by a valid second byte is one character, anything else one
// byte), with the server's own ranges:
//   932 (cp932/sjis): lead 81-9F, E0-FC; second 40-7E, 80-FC
//   936 (gbk): lead 81-FE; second 40-7E, 80-FE
//   949 (euckr): lead 81-FE; second 41-5A, 61-7A, 81-FE
//   950 (big5): lead A1-F9; second 40-7E, A1-FE (narrower than Windows' own
//       cp950: the server's reading is the one that matters)
//   54936 (gb18030): lead 81-FE; second 40-7E, 80-FE, or four bytes
//       lead, 30-39, 81-FE, 30-39
//   1361 (Johab, which the server lacks): lead 84-D3, D8-DE, E0-F9; second
//       31-7E, 81-FE
// Single-byte pages, UTF-8 and the EUC pages (20932, 51949) never put an ASCII
// byte inside a character: they are read byte by byte. ISO-2022-JP (50220) and
// EBCDIC (1047) do not write ASCII as ASCII at all: texts in them cannot be
// escaped as 8-bit text (bSupported() is false; escape them in wide form).
//
// Code page -1 is the server's current one (0, and so Windows-1252, before the
// locale service is bound).
// Threads: an immutable value.
#ifndef KQ230_CORE_SQL_CHAR_SPLITTER_H_
#define KQ230_CORE_SQL_CHAR_SPLITTER_H_

class CSqlCharSplitter {
 public:
  explicit CSqlCharSplitter(int nCodePage);

  // False for code pages whose ASCII characters are not ASCII bytes.
  bool bSupported() const { return m_eKind != eKind::kUnsupported; }
  // True when every byte may be read on its own (no ASCII byte is ever inside
  // a longer character).
  bool bByteWise() const { return m_eKind == eKind::kByteWise; }
  int nGetCodePage() const { return m_nCodePage; }

  // Whether the byte at p opens a character of several bytes that is not
  // there (a lead byte without a valid second byte). The server reads it as
  // a byte of its own, but a byte written after it can complete it: an
  // escaper that puts a backslash (0x5C, a valid second byte) after it makes
  // one character of the two. Such a byte is written escaped, "\" and the
  // byte, which the server reads as the byte alone.
  bool bOrphanLeadAt(const char* p, const char* pEnd) const {
    if (static_cast<unsigned char>(*p) < 0x80 || m_eKind == eKind::kByteWise ||
        m_eKind == eKind::kUnsupported)
      return false;
    return _bLead(static_cast<unsigned char>(*p)) && nBytesAt(p, pEnd) == 1;
  }

  // Bytes of the character at p (1 to 4). REQUIRES: p < pEnd.
  int nBytesAt(const char* p, const char* pEnd) const {
    // ASCII bytes are characters of their own in every set read here.
    if (static_cast<unsigned char>(*p) < 0x80 || m_eKind == eKind::kByteWise ||
        m_eKind == eKind::kUnsupported)
      return 1;
    return _nMultiByteAt(reinterpret_cast<const unsigned char*>(p),
                         reinterpret_cast<const unsigned char*>(pEnd));
  }

 private:
  enum class eKind { kByteWise, kSjis, kGbk, kEucKr, kBig5, kGb18030, kJohab, kUnsupported };
  int _nMultiByteAt(const unsigned char* p, const unsigned char* pEnd) const;
  bool _bLead(unsigned char c) const;

  int m_nCodePage;
  eKind m_eKind;
};

#endif  // KQ230_CORE_SQL_CHAR_SPLITTER_H_
