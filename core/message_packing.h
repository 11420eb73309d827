// The packing side of the driver's message block: reads the message source
// (core/messages.txt), packs each text with the character sets of
// CDataCompressor and lays the records out as the driver's lookup reads them.
//
// Used by the build-time packer (message_packer), by the tests that check
// every record against its source, and by the fuzz target's round trip. The
// driver itself never packs: this code is not part of the library.
//
// Threads: plain functions over values; no shared state.
#ifndef KQ230_CORE_MESSAGE_PACKING_H_
#define KQ230_CORE_MESSAGE_PACKING_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kqmessages {

// One message of the source.
struct SourceMessage {
  uint32_t nNumber = 0;
  int nUsage = 0;       // 0 to 3
  bool bUtf16 = false;  // stored as UTF-16LE
  std::string strText;  // UTF-8, escapes resolved
  int nLine = 0;        // where it stands in the source, for messages
};

// Numbers of the block's marker records, which carry no message.
inline constexpr uint32_t kFirstMarker = 257;
inline constexpr uint32_t kLastMarker = 65535;

// Parses the source text. Answers false with a message naming the line in
// *pstrError for a malformed line, a number outside 1 to 65535 or reserved for
// a marker, a number not above the previous one, a usage above 3, or a text
// that is not valid UTF-8.
bool bParseSource(const std::string& strSource, std::vector<SourceMessage>* pvMessages,
                  std::string* pstrError);

// The packed form of any bytes, zeros included: raw escapes carry what the
// character sets do not hold.
std::string strPack(const std::string& strBytes);

// UTF-8 to UTF-16LE bytes. REQUIRES: valid UTF-8.
std::string strUtf8ToUtf16Le(const std::string& strUtf8);

// The whole block: the first marker, the messages in order, the last marker
// and the ending zero size. Answers false with *pstrError when a record would
// not fit its 16-bit size field.
bool bBuildBlock(const std::vector<SourceMessage>& vMessages, std::string* pstrBlock,
                 std::string* pstrError);

// The C++ source that defines the block (_pbyBufferRes76, _nTailleBufferRes76).
std::string strBlockSource(const std::string& strBlock, const std::string& strSourceName);

}  // namespace kqmessages

#endif  // KQ230_CORE_MESSAGE_PACKING_H_
