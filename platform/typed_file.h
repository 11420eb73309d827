// CKQFile: a file object (CXFile) whose files begin with the product family's
// 20-byte header: a magic, the header's size, a file type id, a version, the
// writer's product code and the file's format. Opening either writes the
// header (a file the open created, or when asked) or reads and checks it.
// Static operations classify type ids and look into the header of any file.
//
// The header, little-endian, normally at position 0:
//   0  4  magic: the bytes "QNT" and NUL (compared as one 32-bit value)
//   4  4  header size in bytes (20 when written; a reader accepts 20 and more
//         and skips the whole announced size)
//   8  4  file type id (0x20001 is written as 2)
//   12 2  reserved (0)
//   14 1  version (23)
//   15 1  product code (ms_byCodeProduitCourant)
//   16 2  format (given when the file was created)
//   18 2  reserved (0)
//
// The header is written only for a file that the open created (creation
// mode 0x40 reporting a new file), for mode 0x240 (created or emptied), or
// when the caller forces it: an existing file's first bytes are never
// overwritten because of a stale errno. bReopen, which has no created flag,
// writes for mode 0x40 only when the file is empty.
//
// A header read short (a file of fewer than 20 bytes) is refused as not a
// file of this version, even when its first four bytes are the magic.
//
// Failures of the header step fill the file's error object (the stream's):
// reset, module 76, level 3, system error 0, a debug line, the numbered
// message first (28009 header not written, 28011 header too short, 28259
// unexpected type, 28555 not a file of this version), the file name as
// information item 1. bOpenEx and bReopen close the file after a failed
// header step; bReadHeader, bWriteHeader and bTryOpen leave it open.
//
// Ownership: as CXFile. Threads: one thread at a time per object; the class
// product code ms_byCodeProduitCourant is process-wide and never changed here.
#ifndef KQ230_PLATFORM_TYPED_FILE_H_
#define KQ230_PLATFORM_TYPED_FILE_H_

#include <cstdint>

#include "platform/file_object.h"

class CKQFile : public CXFile {
 public:
  // The format written into new headers (the stream interface names no
  // formats of its own; 0 is the plain one).
  enum eFORMAT : int { eFORMAT_DEFAULT = 0 };

  struct _stENTETE_FICHIER_MORVEX {
    uint32_t dwSignature;
    uint32_t dwTailleEntete;
    uint32_t dwIdFichier;
    uint16_t wReserve;
    uint8_t byVersion;
    uint8_t byCodeProduit;
    uint16_t wFormat;
    uint16_t wReserve2;
  };

  struct TryOpen {
    // 0: back at position 0 after the header; anything else: just after the
    // 20 bytes read.
    enum EModeOuverture : int { eRevenirAuDebut = 0, eResterApresEntete = 1 };
  };

  // The magic as a 32-bit value: "QNT" and NUL, little-endian.
  static constexpr uint32_t kSignature = 0x00544E51u;
  static constexpr uint32_t kTailleEntete = 20;
  static constexpr uint8_t kVersion = 23;
  // Expected type for a window of any product.
  static constexpr uint32_t kIdFenetreToutProduit = 0x20001;

  // The product code written into new headers; starts at 0.
  static uint8_t ms_byCodeProduitCourant;

  // An empty file object expecting the type (0: any).
  explicit CKQFile(uint32_t dwIdAttendu = 0);
  // A file object over a stream handed in (one reference), expecting the type.
  CKQFile(IXStream* pStream, uint32_t dwIdAttendu);
  ~CKQFile() override;

  using CXFile::bOpen;
  using CXFile::bReopen;
  // bOpenEx with no forcing.
  int bOpen(const wchar_t* pszPath, eFORMAT eFormat, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
            IXStream::eCREATE eCreate, IXStream::eFLAG eFlag);
  // Opens through CXFile::bOpen, then at position 0 writes the header (see
  // above; bForce non-zero always writes) or reads and checks it. 1 with the
  // stream after the 20 bytes read or written (a longer announced header is
  // not skipped in the stream); 0 with the file closed.
  int bOpenEx(const wchar_t* pszPath, eFORMAT eFormat, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
              IXStream::eCREATE eCreate, IXStream::eFLAG eFlag, int bForce);
  int bReopen(eFORMAT eFormat, IXStream::eACCESS eAccess, IXStream::eSHARE eShare, IXStream::eCREATE eCreate,
              IXStream::eFLAG eFlag);
  // Opens for reading with the share mode and reads a header when there is
  // one: 1 with every header field (type included) taken; a file without a
  // header (shorter, another magic, a size below 20) is accepted too, at
  // position 0 with type 0. 0 when the open, the read or a seek fails.
  int bTryOpen(const wchar_t* pszPath, TryOpen::EModeOuverture eMode, IXStream::eSHARE eShare);

  // Reads the header at *pnPosition and advances it by the announced size.
  virtual int bReadHeader(long long* pnPosition);
  // Writes a header at *pnPosition and advances it by 20.
  virtual int bWriteHeader(long long* pnPosition);
  // Fills *pstHeader from the object (and the object from the constants) and
  // writes it.
  virtual int bWriteHeaderEx(long long* pnPosition, _stENTETE_FICHIER_MORVEX* pstHeader);
  // Whether a type id read from a file is acceptable: exactly the expected one.
  virtual int _vbAutoriseIdFichier(unsigned int dwIdFichier);

  // ---- Fields
  uint32_t dwGetIdFichier() const { return m_dwIdFichier; }
  void SetIdFichier(uint32_t dw) { m_dwIdFichier = dw; }
  uint8_t byGetCodeProduit() const { return m_byCodeProduit; }
  uint16_t wGetVersion() const { return m_wVersion; }
  uint16_t wGetReserve() const { return m_wReserve; }
  uint32_t dwGetTailleEntete() const { return m_dwTailleEntete; }
  uint16_t wGetFormat() const { return m_wFormat; }
  uint16_t wGetReserve2() const { return m_wReserve2; }

  // ---- Statics
  // The product code (byte 15) of a file, without checking the magic; 0 when
  // the file cannot be opened or its first 20 bytes cannot be read.
  static uint8_t byGetCodeProduit(const wchar_t* pszPath);
  // The header of a file of any kind: 0 the file cannot be opened; 1 no
  // header (the read failed or another magic); 2 a header was read (type
  // 0x70002 reads as 0x70006 for a name with the extension "ftx", in any
  // case). With a path the stream is opened first (read, no lock); it is
  // left open.
  static int s_eGetEnteteFichierInconnu(_stENTETE_FICHIER_MORVEX& stHeader, IXStream* pStream,
                                        const wchar_t* pszPath);
  static int s_eGetEnteteFichierInconnu(const wchar_t* pszPath, _stENTETE_FICHIER_MORVEX& stHeader);
  // The type id of a file of any kind: 0xFFFFFFFF when it cannot be opened,
  // 0 without a header.
  static uint32_t dwIdFichierInconnu(IXStream* pStream, const wchar_t* pszPath);
  static uint32_t dwIdFichierInconnu(const wchar_t* pszPath);
  // Type ids known to the product family: 1 to 65543 and the ranges of the
  // later families (see the table in the implementation).
  static bool bIdReconnu(unsigned int dwId);
  static bool s_bIsProjet(unsigned int dwId);
  static bool s_bTypeFenetreToutProduit(unsigned int dwId, const wchar_t* pszUnused);
  static bool s_bTypeCompatible(unsigned int dwA, unsigned int dwB, const wchar_t* pszUnused);
  static unsigned int s_dwMigreTypeFenetreMobile_AVERIFIER(unsigned int dwId);
  static unsigned int s_dwMigreAncienType(unsigned int dwId);
  // The display name of a product code; a default name outside the table.
  static const wchar_t* s_pszVerNomProduit(int nCodeProduit);

 protected:
  // Fills the file's error object as header failures do.
  void _RecordHeaderFailure(const wchar_t* pszDebug, unsigned int nMessage, bool bVersionInsert);

  uint32_t m_dwIdFichier = 0;
  uint8_t m_byCodeProduit = 0;
  uint16_t m_wVersion = 0;
  uint16_t m_wReserve = 0;
  uint32_t m_dwTailleEntete = 0;
  uint16_t m_wFormat = 0;
  uint16_t m_wReserve2 = 0;

 private:
  // The header step of bOpenEx and bReopen.
  int _bHeaderStep(bool bWrite, eFORMAT eFormat);
};

#endif  // KQ230_PLATFORM_TYPED_FILE_H_
