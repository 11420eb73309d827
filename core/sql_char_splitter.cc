#include "core/sql_char_splitter.h"

#include "core/locale_compare.h"

namespace {

bool In(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }

}  // namespace

CSqlCharSplitter::CSqlCharSplitter(int nCodePage)
    : m_nCodePage(nCodePage == -1 ? STR_nGetCurrentCodePage() : nCodePage) {
  switch (m_nCodePage) {
    case 932: m_eKind = eKind::kSjis; break;
    case 936: m_eKind = eKind::kGbk; break;
    case 949: m_eKind = eKind::kEucKr; break;
    case 950: m_eKind = eKind::kBig5; break;
    case 54936: m_eKind = eKind::kGb18030; break;
    case 1361: m_eKind = eKind::kJohab; break;
    case 50220: case 1047: m_eKind = eKind::kUnsupported; break;
    default: m_eKind = eKind::kByteWise; break;
  }
}

int CSqlCharSplitter::_nMultiByteAt(const unsigned char* p, const unsigned char* pEnd) const {
  const unsigned char c = p[0];
  if (c < 0x80 || pEnd - p < 2) return 1;
  const unsigned char d = p[1];
  switch (m_eKind) {
    case eKind::kSjis:
      return (In(c, 0x81, 0x9F) || In(c, 0xE0, 0xFC)) && (In(d, 0x40, 0x7E) || In(d, 0x80, 0xFC))
                 ? 2 : 1;
    case eKind::kGbk:
      return In(c, 0x81, 0xFE) && (In(d, 0x40, 0x7E) || In(d, 0x80, 0xFE)) ? 2 : 1;
    case eKind::kEucKr:
      return In(c, 0x81, 0xFE) && (In(d, 0x41, 0x5A) || In(d, 0x61, 0x7A) || In(d, 0x81, 0xFE))
                 ? 2 : 1;
    case eKind::kBig5:
      return In(c, 0xA1, 0xF9) && (In(d, 0x40, 0x7E) || In(d, 0xA1, 0xFE)) ? 2 : 1;
    case eKind::kGb18030:
      if (!In(c, 0x81, 0xFE)) return 1;
      if (In(d, 0x40, 0x7E) || In(d, 0x80, 0xFE)) return 2;
      if (In(d, 0x30, 0x39) && pEnd - p >= 4 && In(p[2], 0x81, 0xFE) && In(p[3], 0x30, 0x39))
        return 4;
      return 1;
    case eKind::kJohab:
      return (In(c, 0x84, 0xD3) || In(c, 0xD8, 0xDE) || In(c, 0xE0, 0xF9)) &&
                     (In(d, 0x31, 0x7E) || In(d, 0x81, 0xFE))
                 ? 2 : 1;
    default:
      return 1;
  }
}

bool CSqlCharSplitter::_bLead(unsigned char c) const {
  switch (m_eKind) {
    case eKind::kSjis: return In(c, 0x81, 0x9F) || In(c, 0xE0, 0xFC);
    case eKind::kGbk: case eKind::kEucKr: case eKind::kGb18030: return In(c, 0x81, 0xFE);
    case eKind::kBig5: return In(c, 0xA1, 0xF9);
    case eKind::kJohab: return In(c, 0x84, 0xD3) || In(c, 0xD8, 0xDE) || In(c, 0xE0, 0xF9);
    default: return false;
  }
}
