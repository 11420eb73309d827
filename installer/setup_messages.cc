#include "installer/setup_messages.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/message_packing.h"
#include "core/numbered_messages.h"
#include "core/unicode.h"
#include "core/wide_string.h"
#include "installer/zip_reader.h"

namespace {

// User errors of the archive result codes: kUserErrorBase + result, shown
// with message kResultMessageBase + result.
constexpr unsigned int kUserErrorBase = 100;
constexpr unsigned int kResultMessageBase = 5100;

struct SetupMessage {
  unsigned int nNumber;
  const char* pszText;  // UTF-8, a printf format of the Windows wide convention
};

// Ascending numbers.
constexpr SetupMessage kMessages[] = {
    {4219, "mariasetup must be run by the super-user (root)."},
    {4903, "The installation failed on \"%s\"."},
    {4976,
     "The application server's configuration file /etc/Varnholt/QUILAN/23.0/QUILAN.conf gives no "
     "program directory: the key BINPATH of section [DEFAULT] must hold an absolute path.\n"},
    {4977, "Cannot examine \"%s\": %s\n"},
    {5100 + KQZIP_OK, "The operation succeeded."},
    {5100 + KQZIP_CANNOT_OPEN, "The archive cannot be opened."},
    {5100 + KQZIP_READ_FAILED, "The archive cannot be read."},
    {5100 + KQZIP_NOT_AN_ARCHIVE, "The file is no ZIP archive."},
    {5100 + KQZIP_NO_CURRENT_ENTRY, "The archive has no such entry."},
    {5100 + KQZIP_BAD_END_RECORD, "The archive is damaged: its end record points outside the file."},
    {5100 + KQZIP_BAD_ZIP64_RECORD, "The archive is damaged: its ZIP64 end record is missing or wrong."},
    {5100 + KQZIP_MULTI_DISK, "The archive is split over several disks, which is not supported."},
    {5100 + KQZIP_BAD_CENTRAL_HEADER, "The archive is damaged: its central directory is wrong."},
    {5100 + KQZIP_BAD_LOCAL_HEADER,
     "The archive is damaged: the entry's local header disagrees with the central directory."},
    {5100 + KQZIP_UNSUPPORTED_METHOD,
     "The entry is compressed by a method other than stored or deflate, which is not supported."},
    {5100 + KQZIP_DATA_ERROR, "The entry's compressed data are damaged or cut short."},
    {5100 + KQZIP_SIZE_MISMATCH, "The entry's data do not have the size the archive declares."},
    {5100 + KQZIP_CRC_ERROR, "The entry's data do not match their CRC-32 checksum."},
    {5100 + KQZIP_BAD_PASSWORD, "The password of the entry is wrong."},
    {5100 + KQZIP_ENCRYPTED, "The entry is encrypted, which the installation refuses."},
    {5100 + KQZIP_NO_MEMORY, "Memory ran out."},
    {5100 + KQZIP_WRITE_FAILED, "The extracted data could not be written."},
    {5100 + KQZIP_DIRECTORY_TOO_LARGE, "The archive's directory is larger than the installation accepts."},
    {5100 + KQZIP_UNSAFE_NAME,
     "The entry's name is refused: it is empty, absolute, holds \"..\", \".\", a backslash, a drive "
     "letter, a control character or an empty component, or is not UTF-8."},
    {5100 + KQZIP_DUPLICATE_NAME,
     "Another entry installs the same name (names differing only in case count as the same)."},
    {5100 + KQZIP_LINK_ENTRY, "The entry is a symbolic link or a special file, which the installation refuses."},
    {5100 + KQZIP_LINK_IN_TARGET,
     "A symbolic link or a file that is no directory stands in the way in the program directory."},
    {5100 + KQZIP_INSTALL_FAILED, "A file operation in the program directory failed."},
    {7993, "The %s driver is installed."},
    {7994, "The %s driver was not installed; the program directory is as it was."},
};
constexpr int kMessageCount = sizeof(kMessages) / sizeof(kMessages[0]);
static_assert(kKQzipResultCount == KQZIP_INSTALL_FAILED + 1, "one message per result code");

// The packed texts, made on first lookup; no message packs past this size.
constexpr int kPackedCapacity = 512;
unsigned char gabyPacked[kMessageCount][kPackedCapacity];
int ganPackedLength[kMessageCount];  // 0 until packed

int bGetResSetup(STRessourceModule& stRequest) {
  const unsigned int nNumber = stRequest.nNumber & 0xFFFF;
  for (int i = 0; i < kMessageCount; ++i) {
    if (kMessages[i].nNumber != nNumber) continue;
    if (ganPackedLength[i] == 0) {
      const std::string strPacked = kqmessages::strPack(kMessages[i].pszText);
      if (strPacked.empty() || strPacked.size() > kPackedCapacity) return 0;
      std::memcpy(gabyPacked[i], strPacked.data(), strPacked.size());
      ganPackedLength[i] = static_cast<int>(strPacked.size());
    }
    stRequest.pbyPacked = gabyPacked[i];
    stRequest.nPackedLength = ganPackedLength[i];
    stRequest.nTextKind = kResTextUtf8;
    stRequest.nUtilisation = 0;
    return 1;
  }
  return 0;
}

constexpr _stErrorDef MakeRow(int eResult) {
  return _stErrorDef{kUserErrorBase + static_cast<uint32_t>(eResult),
                     kResultMessageBase + static_cast<uint32_t>(eResult),
                     kUserErrorBase + static_cast<uint32_t>(eResult), 3};
}

// One row per failing result code (1 to the last).
const _stErrorDef gstErrorDefSetup[] = {
    MakeRow(1),  MakeRow(2),  MakeRow(3),  MakeRow(4),  MakeRow(5),  MakeRow(6),
    MakeRow(7),  MakeRow(8),  MakeRow(9),  MakeRow(10), MakeRow(11), MakeRow(12),
    MakeRow(13), MakeRow(14), MakeRow(15), MakeRow(16), MakeRow(17), MakeRow(18),
    MakeRow(19), MakeRow(20), MakeRow(21), MakeRow(22), MakeRow(23),
};
static_assert(sizeof(gstErrorDefSetup) / sizeof(gstErrorDefSetup[0]) == kKQzipResultCount - 1,
              "one user error per failing result code");

}  // namespace

const _stMyModuleInfo gstMyModuleInfoSetup = {
    gstErrorDefSetup,
    sizeof(gstErrorDefSetup) / sizeof(gstErrorDefSetup[0]),
    76,
    L"mariasetup",
    L"23.0.2.0",
    bGetResSetup,
    {},
};

unsigned int nSetupUserErrorOfResult(int eResult) {
  if (eResult <= KQZIP_OK || eResult >= kKQzipResultCount) return 0;
  return kUserErrorBase + static_cast<unsigned int>(eResult);
}

unsigned int nSetupMessageOfResult(int eResult) {
  if (eResult <= KQZIP_OK || eResult >= kKQzipResultCount) return 0;
  return kResultMessageBase + static_cast<unsigned int>(eResult);
}

void WriteToStandardError(const wchar_t* pszText) {
  if (pszText == nullptr) return;
  const int nBytes = UTF8ByteLen(pszText);
  std::string str(static_cast<size_t>(nBytes) + 1, '\0');
  const int nWritten = WideToUTF8(str.data(), static_cast<unsigned int>(str.size()), pszText);
  std::fwrite(str.data(), 1, static_cast<size_t>(nWritten), stderr);
  std::fflush(stderr);
}

void SystemErrorText(int nErrno, CTString* pclText) {
  if (nErrno == 0) {
    *pclText = L"";
    return;
  }
  char szBuffer[256];
  // The GNU strerror_r answers its text, in the buffer or a static one.
  const char* psz = strerror_r(nErrno, szBuffer, sizeof(szBuffer));
  wchar_t szWide[256];
  UTF8ToWide(szWide, 256, psz != nullptr ? psz : "");
  *pclText = szWide;
}
