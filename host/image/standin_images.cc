#include "host/image/standin_images.h"

#include <cstring>

namespace standin_images {

namespace {

// The buffer pointer that a CVXBIN is across the boundary.
unsigned char** BinPointer(CVXBIN* pBin) { return reinterpret_cast<unsigned char**>(pBin); }

void GiveBack(IStrMemAlloc* piAlloc, unsigned char* pData) {
  if (pData == nullptr) return;
  if (__atomic_sub_fetch(&StrMemHeader(pData)->nRefCount, 1, __ATOMIC_SEQ_CST) == 0) {
    piAlloc->vReleaseStrMem(pData);
  }
}

// CSimpleBuffer across the boundary: table, block address, size.
struct _stSimpleBufferView {
  void** pTable;
  void* pData;
  unsigned int nSize;
};
typedef void (*PFNSETSIZE)(CSimpleBuffer* pThis, unsigned int nSize);

}  // namespace

bool bFillBin(IStrMemAlloc* piAlloc, CVXBIN* pBin, const std::string& bytes) {
  unsigned char** ppData = BinPointer(pBin);
  GiveBack(piAlloc, *ppData);
  *ppData = nullptr;
  if (bytes.empty()) return true;
  unsigned char* pData = nullptr;
  if (piAlloc->vnAllocStrMemEx(&pData, static_cast<unsigned int>(bytes.size()), 0) != 0) return false;
  std::memcpy(pData, bytes.data(), bytes.size());
  StrMemHeader(pData)->nLength = static_cast<uint32_t>(bytes.size());
  *ppData = pData;
  return true;
}

int CStandInImage::vbGetBinData(CVXBIN* pBin) {
  ++m_nBinCalls;
  if (m_bFail) return 0;
  return bFillBin(m_piAlloc, pBin, m_bytes) ? 1 : 0;
}

int CStandInByteSource::vbGetBinData(CVXBIN* pBin) {
  ++m_nBinCalls;
  if (m_bFail) return 0;
  return bFillBin(m_piAlloc, pBin, m_bytes) ? 1 : 0;
}

int CStandInImageLoader::vbLoadImage(const wchar_t* pszName, CSimpleBuffer* pBuffer, int* pnOut, CXError*) {
  ++m_nLoadCalls;
  m_lastName = pszName != nullptr ? pszName : L"";
  if (pnOut != nullptr) *pnOut = 0;
  auto it = m_images.find(m_lastName);
  if (it == m_images.end() || pBuffer == nullptr) return 0;
  auto* pView = reinterpret_cast<_stSimpleBufferView*>(pBuffer);
  auto pfnSetSize = reinterpret_cast<PFNSETSIZE>(pView->pTable[2]);
  pfnSetSize(pBuffer, static_cast<unsigned int>(it->second.size()));
  if (it->second.empty()) return 1;
  if (pView->pData == nullptr || pView->nSize != it->second.size()) return 0;
  std::memcpy(pView->pData, it->second.data(), it->second.size());
  return 1;
}

}  // namespace standin_images
