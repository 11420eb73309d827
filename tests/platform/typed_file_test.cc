// The typed product file: header byte images, the header step of the opens,
// refusals with their recorded failures, truncated and corrupt headers, the
// probes of files of any kind, and the type-id tables.
#include "platform/typed_file.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "core/error_object.h"
#include "tests/platform/child_process.h"
#include "tests/platform/file_test_support.h"

namespace {

using kqtest::ReadBytes;
using kqtest::W;
using kqtest::WriteBytes;

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}
std::string Le16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

// A header as the format lays it out.
std::string Header(uint32_t dwType, uint32_t dwSize = 20, uint8_t byProduct = 0, uint16_t wFormat = 0,
                   uint8_t byVersion = 23, uint32_t dwMagic = CKQFile::kSignature) {
  return Le32(dwMagic) + Le32(dwSize) + Le32(dwType) + Le16(0) + std::string(1, static_cast<char>(byVersion)) +
         std::string(1, static_cast<char>(byProduct)) + Le16(wFormat) + Le16(0);
}

class TypedFile : public kqtest::BoundFrameworkTest {
 protected:
  std::string Path(const std::string& name = "file.bin") const { return m_dir.Path(name); }
  std::wstring WPath(const std::string& name = "file.bin") const { return m_dir.WPath(name); }

  int Open(CKQFile& f, IXStream::eCREATE eCreate, int nFormat = 0, int bForce = 0,
           const std::string& name = "file.bin") {
    return f.bOpenEx(WPath(name).c_str(), static_cast<CKQFile::eFORMAT>(nFormat), IXStream::eACCESS_READWRITE,
                     IXStream::eSHARE_NONE, eCreate, IXStream::eFLAG_NONE, bForce);
  }

  kqtest::TempDir m_dir;
};

// A typed file that also accepts one more type.
class CTypedFileAlso : public CKQFile {
 public:
  CTypedFileAlso(uint32_t dwExpected, uint32_t dwAlso) : CKQFile(dwExpected), m_dwAlso(dwAlso) {}
  int _vbAutoriseIdFichier(unsigned int dw) override { return dw == m_dwAlso || CKQFile::_vbAutoriseIdFichier(dw); }

 private:
  uint32_t m_dwAlso;
};

TEST_F(TypedFile, NewFileStartsWithTheHeaderBytes) {
  CKQFile f(5);
  ASSERT_EQ(Open(f, IXStream::eCREATE_CREATE_OR_EMPTY, 7), 1);
  EXPECT_EQ(f.oGetOffset(), 20);
  f.Close();
  const std::string expected = std::string("QNT\0", 4) + Le32(20) + Le32(5) + Le16(0) + "\x17" +
                               std::string(1, '\0') + Le16(7) + Le16(0);
  EXPECT_EQ(ReadBytes(Path()), expected);
  EXPECT_EQ(f.dwGetTailleEntete(), 20u);
  EXPECT_EQ(f.wGetVersion(), 23);
  EXPECT_EQ(f.wGetFormat(), 7);
}

TEST_F(TypedFile, AnyProductWindowIsWrittenAsType2) {
  CKQFile f(CKQFile::kIdFenetreToutProduit);
  ASSERT_EQ(Open(f, IXStream::eCREATE_CREATE_OR_EMPTY), 1);
  EXPECT_EQ(f.dwGetIdFichier(), 2u);
  f.Close();
  EXPECT_EQ(ReadBytes(Path()).substr(8, 4), Le32(2));
}

TEST_F(TypedFile, OpenOrCreateWritesTheHeaderOnlyForANewFile) {
  CKQFile created(9);
  errno = EEXIST;  // a stale errno must not decide
  ASSERT_EQ(Open(created, IXStream::eCREATE_OPEN_OR_CREATE), 1);
  created.Close();
  EXPECT_EQ(ReadBytes(Path()), Header(9));

  // An existing file: its first 20 bytes stay, whatever errno said before.
  const std::string existing = Header(12, 20, 3, 4) + "payload";
  WriteBytes(Path(), existing);
  for (int nErrno : {0, ENOENT, EEXIST, EINTR}) {
    CKQFile f(0);
    errno = nErrno;
    ASSERT_EQ(Open(f, IXStream::eCREATE_OPEN_OR_CREATE), 1);
    EXPECT_EQ(f.dwGetIdFichier(), 12u);
    EXPECT_EQ(f.byGetCodeProduit(), 3);
    f.Close();
    EXPECT_EQ(ReadBytes(Path()), existing);
  }
  // Forcing writes over it.
  CKQFile forced(13);
  ASSERT_EQ(Open(forced, IXStream::eCREATE_OPEN_OR_CREATE, 0, 1), 1);
  forced.Close();
  EXPECT_EQ(ReadBytes(Path()), Header(13) + "payload");
}

TEST_F(TypedFile, ReopenWithOpenOrCreateKeepsAnExistingHeader) {
  WriteBytes(Path(), Header(12) + "data");
  CKQFile f(0);
  ASSERT_EQ(Open(f, IXStream::eCREATE_EXISTING), 1);
  ASSERT_EQ(f.bReopen(CKQFile::eFORMAT_DEFAULT, IXStream::eACCESS_READWRITE, IXStream::eSHARE_NONE,
                      IXStream::eCREATE_OPEN_OR_CREATE, IXStream::eFLAG_NONE),
            1);
  f.Close();
  EXPECT_EQ(ReadBytes(Path()), Header(12) + "data");
}

TEST_F(TypedFile, ExpectedTypesDecideWhatIsAccepted) {
  struct Case { uint32_t expected, read; bool accepted; };
  const Case cases[] = {
      {0, 5, true},      {0, 0x70002, true}, {5, 5, true},        {5, 6, false},
      {0x20001, 2, true}, {0x20001, 8, true}, {0x20001, 18, true}, {0x20001, 20, true},
      {0x20001, 258, true}, {0x20001, 261, true}, {0x20001, 262, false}, {0x20001, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.expected << " reading " << c.read);
    WriteBytes(Path(), Header(c.read));
    CKQFile f(c.expected);
    EXPECT_EQ(Open(f, IXStream::eCREATE_EXISTING), c.accepted ? 1 : 0);
    if (c.accepted) {
      EXPECT_EQ(f.dwGetIdFichier(), c.read);
      f.Close();
    } else {
      EXPECT_EQ(f.bIsOpen(), 0);
      EXPECT_EQ(f.dwGetIdFichier(), c.expected);  // the object keeps the expected type
      kqtest::ExpectFileFailure(f.pclGetXError(), 0, WPath(), 28259, WPath().c_str());
      const std::wstring debug = f.pclGetXError()->pszGetDebugMessage();
      EXPECT_NE(debug.find(L"##(CKQFile)-Type demande=<" + std::to_wstring(c.expected) + L">, type lu=<" +
                           std::to_wstring(c.read) + L">##"),
                std::wstring::npos);
    }
  }
  WriteBytes(Path(), Header(77));
  CTypedFileAlso also(5, 77);
  EXPECT_EQ(Open(also, IXStream::eCREATE_EXISTING), 1);
  EXPECT_EQ(also.dwGetIdFichier(), 77u);
}

TEST_F(TypedFile, LongerHeadersAreSkippedByThePositionNotTheStream) {
  WriteBytes(Path(), Header(4, 32) + std::string(12, 'x') + "body");
  CKQFile f(0);
  ASSERT_EQ(Open(f, IXStream::eCREATE_EXISTING), 1);
  EXPECT_EQ(f.oGetOffset(), 20);
  long long nPosition = 0;
  ASSERT_EQ(f.bReadHeader(&nPosition), 1);
  EXPECT_EQ(nPosition, 32);
  EXPECT_EQ(f.oGetOffset(), 20);
  EXPECT_EQ(f.dwGetTailleEntete(), 32u);
}

TEST_F(TypedFile, HeaderShorterThanTwentyBytesIsRefused) {
  WriteBytes(Path(), Header(4, 19));
  CKQFile f(0);
  EXPECT_EQ(Open(f, IXStream::eCREATE_EXISTING), 0);
  kqtest::ExpectFileFailure(f.pclGetXError(), 0, WPath(), 28011, WPath().c_str());
  EXPECT_NE(std::wstring(f.pclGetXError()->pszGetDebugMessage())
                .find(L"##(CKQFile)-Taille entete attendue=<20>, Taille entete lue=<19>##"),
            std::wstring::npos);
}

TEST_F(TypedFile, TruncatedAndForeignHeadersAreNotOfThisVersion) {
  const std::string header = Header(4);
  for (size_t n = 0; n < 20; ++n) {
    SCOPED_TRACE(n);
    WriteBytes(Path(), header.substr(0, n));
    CKQFile f(0);
    EXPECT_EQ(Open(f, IXStream::eCREATE_EXISTING), 0);
    EXPECT_EQ(f.bIsOpen(), 0);
    kqtest::ExpectFileFailure(f.pclGetXError(), 0, WPath(), 28555, L"23.0", WPath().c_str());
  }
  WriteBytes(Path(), Header(4, 20, 0, 0, 23, 0x12345678));
  CKQFile f(0);
  EXPECT_EQ(Open(f, IXStream::eCREATE_EXISTING), 0);
  EXPECT_NE(std::wstring(f.pclGetXError()->pszGetDebugMessage())
                .find(L"##(CKQFile)-Signature geree=<5525073>, signature lue=<305419896>##"),
            std::wstring::npos);
}

TEST_F(TypedFile, FailedHeaderWriteFailsTheOpen) {
  // A file size limit of 10 bytes: the header cannot be written whole.
  EXPECT_EQ(kqtest::RunInChild([this] {
              signal(SIGXFSZ, SIG_IGN);
              struct rlimit limit = {10, 10};
              if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
              CKQFile f(3);
              if (Open(f, IXStream::eCREATE_CREATE_OR_EMPTY) != 0) return 2;
              if (f.bIsOpen()) return 3;
              const CXError* p = f.pclGetXError();
              if (p == nullptr || p->eGetErrorLevel() != CXError::EL_ERROR) return 4;
              return 0;
            }),
            0);
}

TEST_F(TypedFile, TryOpenAcceptsFilesWithAndWithoutHeader) {
  WriteBytes(Path("plain.txt"), "just some text, long enough");
  CKQFile plain(9);
  ASSERT_EQ(plain.bTryOpen(WPath("plain.txt").c_str(), CKQFile::TryOpen::eRevenirAuDebut, IXStream::eSHARE_NONE),
            1);
  EXPECT_EQ(plain.dwGetIdFichier(), 0u);
  EXPECT_EQ(plain.oGetOffset(), 0);

  WriteBytes(Path(), Header(21, 24, 5, 6) + "rest");
  CKQFile back(0);
  ASSERT_EQ(back.bTryOpen(WPath().c_str(), CKQFile::TryOpen::eRevenirAuDebut, IXStream::eSHARE_NONE), 1);
  EXPECT_EQ(back.dwGetIdFichier(), 21u);
  EXPECT_EQ(back.dwGetTailleEntete(), 24u);
  EXPECT_EQ(back.byGetCodeProduit(), 5);
  EXPECT_EQ(back.wGetFormat(), 6);
  EXPECT_EQ(back.oGetOffset(), 0);
  CKQFile stay(0);
  ASSERT_EQ(stay.bTryOpen(WPath().c_str(), CKQFile::TryOpen::eResterApresEntete, IXStream::eSHARE_NONE), 1);
  EXPECT_EQ(stay.oGetOffset(), 20);

  CKQFile missing(0);
  EXPECT_EQ(missing.bTryOpen(WPath("none").c_str(), CKQFile::TryOpen::eRevenirAuDebut, IXStream::eSHARE_NONE), 0);
}

TEST_F(TypedFile, ProbesReadTheHeaderOfAnyFile) {
  EXPECT_EQ(CKQFile::dwIdFichierInconnu(WPath("missing").c_str()), 0xFFFFFFFFu);
  WriteBytes(Path("text.txt"), "plain text file of some length");
  EXPECT_EQ(CKQFile::dwIdFichierInconnu(WPath("text.txt").c_str()), 0u);
  WriteBytes(Path("short"), "QNT");
  EXPECT_EQ(CKQFile::dwIdFichierInconnu(WPath("short").c_str()), 0u);
  WriteBytes(Path("form.FTX"), Header(0x70002));
  EXPECT_EQ(CKQFile::dwIdFichierInconnu(WPath("form.FTX").c_str()), 0x70006u);
  WriteBytes(Path("form.ftx.bak"), Header(0x70002));
  EXPECT_EQ(CKQFile::dwIdFichierInconnu(WPath("form.ftx.bak").c_str()), 0x70002u);
  WriteBytes(Path("other.ftx"), Header(0x70003));
  EXPECT_EQ(CKQFile::dwIdFichierInconnu(WPath("other.ftx").c_str()), 0x70003u);

  CKQFile::_stENTETE_FICHIER_MORVEX st;
  EXPECT_EQ(CKQFile::s_eGetEnteteFichierInconnu(WPath("missing").c_str(), st), 0);
  EXPECT_EQ(CKQFile::s_eGetEnteteFichierInconnu(WPath("text.txt").c_str(), st), 1);
  EXPECT_EQ(CKQFile::s_eGetEnteteFichierInconnu(WPath("other.ftx").c_str(), st), 2);
  EXPECT_EQ(st.byVersion, 23);
}

TEST_F(TypedFile, ProductCodeIsReadWithoutCheckingTheMagic) {
  WriteBytes(Path("a"), Header(1, 20, 42));
  EXPECT_EQ(CKQFile::byGetCodeProduit(WPath("a").c_str()), 42);
  WriteBytes(Path("b"), Header(1, 20, 7, 0, 23, 0xDEADBEEF));
  EXPECT_EQ(CKQFile::byGetCodeProduit(WPath("b").c_str()), 7);
  WriteBytes(Path("c"), Header(1, 20, 7).substr(0, 19));
  EXPECT_EQ(CKQFile::byGetCodeProduit(WPath("c").c_str()), 0);
  EXPECT_EQ(CKQFile::byGetCodeProduit(WPath("none").c_str()), 0);
}

TEST(TypedFileIds, KnownIdsFollowTheTable) {
  struct Case { uint32_t id; bool known; };
  const Case cases[] = {
      {0, false},        {1, true},         {65543, true},     {65544, false},   {0x5FFFF, false},
      {0x60001, true},   {0x60002, false},  {0x70001, true},   {0x70006, true},  {0x70007, false},
      {0x80002, true},   {0x80003, false},  {0xA0001, true},   {0xB0005, true},  {0xB0006, false},
      {0xC0005, true},   {0xD0007, true},   {0xD0008, false},  {0xE0003, true},  {0xF0002, true},
      {0x100002, true},  {0x110006, true},  {0x110007, false}, {0x120001, true}, {0x130001, true},
      {0x140001, false}, {0x160001, true},  {0xFFFFFFFF, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(CKQFile::bIdReconnu(c.id), c.known);
  }
}

TEST(TypedFileIds, ClassificationsAndMigrations) {
  for (uint32_t id : {1u, 257u, 4097u, 65537u}) EXPECT_TRUE(CKQFile::s_bIsProjet(id));
  EXPECT_FALSE(CKQFile::s_bIsProjet(2));
  for (uint32_t id : {2u, 8u, 18u, 20u, 258u, 259u, 260u, 261u}) {
    EXPECT_TRUE(CKQFile::s_bTypeFenetreToutProduit(id, nullptr));
  }
  EXPECT_FALSE(CKQFile::s_bTypeFenetreToutProduit(262, nullptr));
  EXPECT_TRUE(CKQFile::s_bTypeCompatible(7, 7, nullptr));
  EXPECT_TRUE(CKQFile::s_bTypeCompatible(258, 2, nullptr));
  EXPECT_TRUE(CKQFile::s_bTypeCompatible(261, 20, nullptr));
  EXPECT_FALSE(CKQFile::s_bTypeCompatible(2, 258, nullptr));
  EXPECT_FALSE(CKQFile::s_bTypeCompatible(259, 2, nullptr));
  EXPECT_EQ(CKQFile::s_dwMigreTypeFenetreMobile_AVERIFIER(259), 8u);
  EXPECT_EQ(CKQFile::s_dwMigreTypeFenetreMobile_AVERIFIER(65540), 65540u);
  EXPECT_EQ(CKQFile::s_dwMigreAncienType(65540), 7u);
  EXPECT_EQ(CKQFile::s_dwMigreAncienType(260), 18u);
  EXPECT_STRNE(CKQFile::s_pszVerNomProduit(0), CKQFile::s_pszVerNomProduit(250));
  EXPECT_STREQ(CKQFile::s_pszVerNomProduit(250), CKQFile::s_pszVerNomProduit(-3));
}

}  // namespace
