#include "core/message_packing.h"

#include <cstdio>

#include "core/numbered_messages.h"

namespace kqmessages {
namespace {

// Index of b in character set nSet (only the entries the set uses), or -1.
int nFindInSet(int nSet, unsigned char b) {
  const unsigned char* pTable = CDataCompressor::pGetCharset(nSet);
  for (int i = 0; i < CDataCompressor::kCharsetEntries[nSet]; ++i) {
    if (pTable[i] == b) return i;
  }
  return -1;
}

// The first set that holds b, or -1 when only a raw escape can carry it.
int nSetOf(unsigned char b) {
  for (int nSet = 0; nSet < 4; ++nSet) {
    if (nFindInSet(nSet, b) >= 0) return nSet;
  }
  return -1;
}

// Groups base-40 codes three to a pair of bytes.
class CodeWriter {
 public:
  void Code(int nCode) {
    m_anGroup[m_nInGroup++] = nCode;
    if (m_nInGroup == 3) FlushPair();
  }
  // An escape code ends its pair (the unpacker ignores the rest of it); the
  // raw bytes follow the pair.
  void Escape(const std::string& strRaw) {
    Code(strRaw.size() == 1 ? 38 : 39);
    while (m_nInGroup != 0) Code(0);
    if (strRaw.size() != 1) m_strOut.push_back(static_cast<char>(strRaw.size()));
    m_strOut += strRaw;
  }
  // A lone last code takes one byte; two are completed by a harmless code
  // that selects the current set again.
  std::string strFinish(int nCurrentSet) {
    if (m_nInGroup == 1) {
      m_strOut.push_back(static_cast<char>(m_anGroup[0] + 1));
    } else if (m_nInGroup == 2) {
      Code(4 + nCurrentSet);
    }
    m_nInGroup = 0;
    return m_strOut;
  }

 private:
  void FlushPair() {
    const int n = m_anGroup[0] * 1600 + m_anGroup[1] * 40 + m_anGroup[2];
    // n + 256 = c * 255 + d with c and d in 1..255: neither byte is ever 0.
    const int m = n + 256;
    const int c = (m - 1) / 255;
    const int d = m - 255 * c;
    m_strOut.push_back(static_cast<char>(c));
    m_strOut.push_back(static_cast<char>(d));
    m_nInGroup = 0;
  }

  std::string m_strOut;
  int m_anGroup[3] = {0, 0, 0};
  int m_nInGroup = 0;
};

bool bIsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int nMore;
    uint32_t nMin;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      nMore = 1;
      nMin = 0x80;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      nMore = 2;
      nMin = 0x800;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      nMore = 3;
      nMin = 0x10000;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + nMore >= s.size()) return false;
    for (int k = 1; k <= nMore; ++k) {
      const unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < nMin || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += nMore + 1;
  }
  return true;
}

void AppendLe16(std::string* pstr, uint32_t n) {
  pstr->push_back(static_cast<char>(n & 0xFF));
  pstr->push_back(static_cast<char>((n >> 8) & 0xFF));
}

bool bAppendRecord(std::string* pstrBlock, uint32_t nNumber, unsigned char byFlags,
                   const std::string& strPacked, std::string* pstrError) {
  const size_t nSize = kResRecordHeader + strPacked.size();
  if (nSize > 0xFFFF) {
    *pstrError = "message " + std::to_string(nNumber) + " packs to " +
                 std::to_string(strPacked.size()) + " bytes: more than a record holds";
    return false;
  }
  AppendLe16(pstrBlock, static_cast<uint32_t>(nSize));
  AppendLe16(pstrBlock, nNumber);
  pstrBlock->push_back(static_cast<char>(byFlags));
  AppendLe16(pstrBlock, static_cast<uint32_t>(strPacked.size()));
  *pstrBlock += strPacked;
  return true;
}

}  // namespace

std::string strPack(const std::string& strBytes) {
  CodeWriter writer;
  int nCurrent = 0;
  int nPending = -1;  // a one-shot shift to this set, or none
  const size_t n = strBytes.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char b = static_cast<unsigned char>(strBytes[i]);
    const int nEffective = nPending >= 0 ? nPending : nCurrent;
    int nIndex = nFindInSet(nEffective, b);
    if (nIndex >= 0) {
      writer.Code(8 + nIndex);
      nPending = -1;
      continue;
    }
    const int nSet = nSetOf(b);
    if (nSet >= 0) {
      nIndex = nFindInSet(nSet, b);
      const bool bNextAlsoThere =
          i + 1 < n && nFindInSet(nSet, static_cast<unsigned char>(strBytes[i + 1])) >= 0 &&
          nFindInSet(nCurrent, static_cast<unsigned char>(strBytes[i + 1])) < 0;
      if (nSet != nCurrent && bNextAlsoThere) {
        writer.Code(4 + nSet);  // a run in another set: switch for good
        nCurrent = nSet;
      } else {
        writer.Code(nSet);  // one character (or cancelling a pending shift)
      }
      writer.Code(8 + nIndex);
      nPending = -1;
      continue;
    }
    // Bytes no set holds travel raw, up to 255 after one escape.
    size_t j = i;
    while (j < n && j - i < 255 && nSetOf(static_cast<unsigned char>(strBytes[j])) < 0) ++j;
    // An escape is read only in the fourth set with no shift pending, or
    // from another set with a shift to the fourth pending.
    if (nCurrent == 3) {
      if (nPending >= 0) writer.Code(7);
    } else if (nPending != 3) {
      writer.Code(3);
    }
    nPending = nCurrent == 3 ? -1 : 3;  // the shift survives the escape
    writer.Escape(strBytes.substr(i, j - i));
    i = j - 1;
  }
  return writer.strFinish(nCurrent);
}

std::string strUtf8ToUtf16Le(const std::string& strUtf8) {
  std::string strOut;
  size_t i = 0;
  while (i < strUtf8.size()) {
    const unsigned char c = static_cast<unsigned char>(strUtf8[i]);
    uint32_t cp;
    int nMore = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    cp = nMore == 0 ? c : nMore == 1 ? (c & 0x1F) : nMore == 2 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k <= nMore && i + k < strUtf8.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(strUtf8[i + k]) & 0x3F);
    }
    i += nMore + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AppendLe16(&strOut, 0xD800 + (cp >> 10));
      AppendLe16(&strOut, 0xDC00 + (cp & 0x3FF));
    } else {
      AppendLe16(&strOut, cp);
    }
  }
  return strOut;
}

bool bParseSource(const std::string& strSource, std::vector<SourceMessage>* pvMessages,
                  std::string* pstrError) {
  pvMessages->clear();
  size_t nPos = 0;
  int nLine = 0;
  uint32_t nPrevious = 0;
  while (nPos < strSource.size()) {
    size_t nEnd = strSource.find('\n', nPos);
    if (nEnd == std::string::npos) nEnd = strSource.size();
    const std::string strLine = strSource.substr(nPos, nEnd - nPos);
    nPos = nEnd + 1;
    ++nLine;
    auto fail = [&](const std::string& strWhy) {
      *pstrError = "line " + std::to_string(nLine) + ": " + strWhy;
      return false;
    };
    size_t i = 0;
    auto skipBlanks = [&]() {
      while (i < strLine.size() && (strLine[i] == ' ' || strLine[i] == '\t' || strLine[i] == '\r'))
        ++i;
    };
    skipBlanks();
    if (i == strLine.size() || strLine[i] == '#') continue;

    SourceMessage msg;
    msg.nLine = nLine;
    uint64_t nNumber = 0;
    const size_t nDigitsStart = i;
    while (i < strLine.size() && strLine[i] >= '0' && strLine[i] <= '9' && i - nDigitsStart < 8) {
      nNumber = nNumber * 10 + static_cast<uint64_t>(strLine[i] - '0');
      ++i;
    }
    if (i == nDigitsStart) return fail("a message starts with its number");
    if (nNumber < 1 || nNumber > 65535) return fail("number outside 1 to 65535");
    if (nNumber == kFirstMarker || nNumber == kLastMarker) {
      return fail("number reserved for a marker record");
    }
    if (nNumber <= nPrevious) return fail("numbers must ascend");
    msg.nNumber = static_cast<uint32_t>(nNumber);

    for (;;) {
      skipBlanks();
      if (i >= strLine.size()) return fail("missing text");
      if (strLine[i] == '"') break;
      size_t nWord = i;
      while (i < strLine.size() && strLine[i] != ' ' && strLine[i] != '\t' && strLine[i] != '"')
        ++i;
      const std::string strWord = strLine.substr(nWord, i - nWord);
      if (strWord == "utf16") {
        msg.bUtf16 = true;
      } else if (strWord.size() == 2 && strWord[0] == 'u' && strWord[1] >= '0' &&
                 strWord[1] <= '3') {
        msg.nUsage = strWord[1] - '0';
      } else {
        return fail("unknown option \"" + strWord + "\"");
      }
    }
    ++i;  // the opening quote
    bool bClosed = false;
    while (i < strLine.size()) {
      char c = strLine[i++];
      if (c == '"') {
        bClosed = true;
        break;
      }
      if (c == '\\') {
        if (i >= strLine.size()) break;
        const char e = strLine[i++];
        switch (e) {
          case 'n':
            c = '\n';
            break;
          case 'r':
            c = '\r';
            break;
          case 't':
            c = '\t';
            break;
          case '"':
            c = '"';
            break;
          case '\\':
            c = '\\';
            break;
          default:
            return fail(std::string("unknown escape \\") + e);
        }
      }
      msg.strText.push_back(c);
    }
    if (!bClosed) return fail("the text has no closing quote");
    skipBlanks();
    if (i != strLine.size()) return fail("text after the closing quote");
    if (msg.strText.find('\0') != std::string::npos) return fail("a zero byte in the text");
    if (!bIsValidUtf8(msg.strText)) return fail("the text is not valid UTF-8");
    nPrevious = msg.nNumber;
    pvMessages->push_back(std::move(msg));
  }
  return true;
}

bool bBuildBlock(const std::vector<SourceMessage>& vMessages, std::string* pstrBlock,
                 std::string* pstrError) {
  pstrBlock->clear();
  if (!bAppendRecord(pstrBlock, kFirstMarker, 0, std::string(), pstrError)) return false;
  for (const SourceMessage& msg : vMessages) {
    const std::string strBytes = msg.bUtf16 ? strUtf8ToUtf16Le(msg.strText) : msg.strText;
    const unsigned char byFlags = static_cast<unsigned char>((msg.nUsage & kResFlagUsageMask) |
                                                             (msg.bUtf16 ? kResFlagUtf16 : 0));
    if (!bAppendRecord(pstrBlock, msg.nNumber, byFlags, strPack(strBytes), pstrError)) return false;
  }
  if (!bAppendRecord(pstrBlock, kLastMarker, 0, std::string(), pstrError)) return false;
  AppendLe16(pstrBlock, 0);
  return true;
}

std::string strBlockSource(const std::string& strBlock, const std::string& strSourceName) {
  std::string strOut = "// Generated by message_packer from " + strSourceName +
                       ": edit that file instead.\n"
                       "#include \"core/numbered_messages.h\"\n\n"
                       "alignas(4) const unsigned char _pbyBufferRes76[" +
                       std::to_string(strBlock.size()) + "] = {";
  char szByte[8];
  for (size_t i = 0; i < strBlock.size(); ++i) {
    if (i % 16 == 0) strOut += "\n   ";
    std::snprintf(szByte, sizeof szByte, " 0x%02X,", static_cast<unsigned char>(strBlock[i]));
    strOut += szByte;
  }
  strOut +=
      "\n};\n\nconst unsigned int _nTailleBufferRes76 = " + std::to_string(strBlock.size()) + ";\n";
  return strOut;
}

}  // namespace kqmessages
