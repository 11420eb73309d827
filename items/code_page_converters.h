// The code-page converters that carry text between the driver's wide strings
// and the client library: CNACodePageCnvIN turns wide text into the
// connection's code page for the library (queries, SSL and connection
// parameters); CNACodePageCnvOUT and CNACodePageCnvOUTPtr turn the library's
// text (zero-terminated, or with a length in bytes) into wide text (error
// messages, version texts, values).
//
// A code page is 1252, 65001 (UTF-8), any other that core/code_pages knows,
// or -2: UTF-16 text instead of an 8-bit code page.
//
// Each converter is built on the stack of one operation over a source it does
// not own (REQUIRES: the source outlives the converter), converts on demand
// once, and owns its result, a reference-counted string of the server's
// allocator released by its destructor.
// REQUIRES: the server's string allocator is bound (the module entry's
// CInformationModule::ms_piStrMemAlloc) before a conversion runs.
// Threads: none; one converter is used by one thread.
#ifndef KQ230_ITEMS_CODE_PAGE_CONVERTERS_H_
#define KQ230_ITEMS_CODE_PAGE_CONVERTERS_H_

#include "core/counted_string.h"

// The code page that means UTF-16 text.
inline constexpr int kCodePageUTF16 = -2;

// The root of the converters: a code page and nothing else.
class CNACodePageCnv {
 public:
  explicit CNACodePageCnv(int nCodePage) : m_nCodePage(nCodePage) {}
  CNACodePageCnv(const CNACodePageCnv&) = delete;
  CNACodePageCnv& operator=(const CNACodePageCnv&) = delete;
  virtual ~CNACodePageCnv();

  int nGetCodePage() const { return m_nCodePage; }

 protected:
  int m_nCodePage;
};

// Wide text to the database's code page.
class CNACodePageCnvIN : public CNACodePageCnv {
 public:
  // nLength: characters of pszText, or -1 for up to its terminator.
  // A null text converts to null (an absent parameter stays absent).
  CNACodePageCnvIN(const wchar_t* pszText, int nLength, int nCodePage);
  ~CNACodePageCnvIN() override;

  // The converted text, zero-terminated (two zero bytes for UTF-16): null for
  // a null source; "" for an empty one, and also when the conversion fails
  // (bFailed() then says so). Stays valid while the converter lives.
  const char* pszGetForDB();
  // Length of pszGetForDB's text in bytes, without the terminator (0 for a
  // null source).
  int nGetLengthForDB();
  // True when a non-empty source could not be converted (no memory, or a
  // text past the counted strings' limit).
  bool bFailed();

 private:
  void Convert();

  const wchar_t* m_pszSource;
  int m_nSourceLength;  // characters; -1 until measured
  bool m_bConverted = false;
  bool m_bFailed = false;
  CXYString<char> m_clResult;
};

// Zero-terminated database text (8-bit in the code page, or UTF-16 units for
// -2) to wide text.
class CNACodePageCnvOUT : public CNACodePageCnv {
 public:
  // A null source converts to null.
  CNACodePageCnvOUT(const void* pSource, int nCodePage);
  ~CNACodePageCnvOUT() override;

  // The wide text; null without a source, "" for an empty source or a failed
  // conversion. Stays valid while the converter lives.
  virtual const wchar_t* pszGetForZB();

 protected:
  // Converts nBytes of m_pSource (UTF-16: nBytes / 2 units) into m_clResult.
  const wchar_t* ConvertBytes(int nBytes);

  const void* m_pSource;
  bool m_bConverted = false;
  CXYString<wchar_t> m_clResult;
};

// Database text with an explicit length in bytes (no terminator needed; an
// odd trailing byte of UTF-16 text is ignored).
class CNACodePageCnvOUTPtr : public CNACodePageCnvOUT {
 public:
  // REQUIRES: pSource holds nBytes bytes (nBytes >= 0; a negative length
  // converts as empty).
  CNACodePageCnvOUTPtr(const void* pSource, int nBytes, int nCodePage);
  ~CNACodePageCnvOUTPtr() override;

  const wchar_t* pszGetForZB() override;

 private:
  int m_nBytes;
};

#endif  // KQ230_ITEMS_CODE_PAGE_CONVERTERS_H_
