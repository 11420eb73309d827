#include "host/harness/standin_descriptions.h"

#include <cstdio>
#include <cstdlib>
#include <cwctype>

int StandInDescriptionCounts::g_nLive = 0;

namespace {

[[noreturn]] void AbortCall(const char* pszWhat, int nSlot) {
  std::fprintf(stderr, "stand-in server: the driver called %s slot %d, which it must not call\n",
               pszWhat, nSlot);
  std::fflush(stderr);
  std::abort();
}

// The server compares item names without regard to case.
bool bSameName(const std::wstring& a, const wchar_t* b) {
  if (b == nullptr) return false;
  size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i])))
      return false;
  }
  return i == a.size() && b[i] == 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Items

CStandInItem* CStandInItem::pclNew(const StandInItemDecl& decl, int nVersion) {
  return new CStandInItem(decl, nVersion);
}

CStandInItem::CStandInItem(const StandInItemDecl& decl, int nVersion)
    : m_decl(decl), m_nVersion(nVersion) {
  ++StandInDescriptionCounts::g_nLive;
  if (m_decl.enumeration != nullptr) m_decl.enumeration->nAddRef();
  if (m_decl.combination != nullptr) m_decl.combination->nAddRef();
}

CStandInItem::~CStandInItem() {
  for (CStandInItem* p : m_components) p->nExternalRelease();
  if (m_decl.enumeration != nullptr) m_decl.enumeration->nRelease();
  if (m_decl.combination != nullptr) m_decl.combination->nRelease();
  --StandInDescriptionCounts::g_nLive;
}

INAItemDescription* CStandInItem::ExternalAddRef() {
  ++m_nRefCount;
  return this;
}

int CStandInItem::nExternalRelease() {
  if (m_nRefCount <= 0) AbortCall("INAItemDescription (released past 0)", 6);
  const int n = --m_nRefCount;
  if (n == 0) delete this;
  return n;
}

int CStandInItem::nGetLogicalSize(int n) {
  const int nDim = n == -1 ? m_decl.dimension : 1;
  switch (m_decl.type) {
    case 2: return (m_decl.size - 1) * nDim;
    case 29: return (m_decl.size - 2) * nDim / 2;
    case 23: return bIsComposedKey() ? m_decl.size * nDim : (m_decl.size - 2) * nDim;
    default: return m_decl.size * nDim;
  }
}

int CStandInItem::bMemo() {
  return m_decl.type == 15 || m_decl.type == 18 || m_decl.type == 30;
}

int CStandInItem::bMemoText() { return m_decl.type == 15 || m_decl.type == 30; }

int CStandInItem::bNumerical() {
  switch (m_decl.type) {
    case 1: case 3: case 4: case 5: case 6: case 7: case 9: case 12: case 13: case 17:
    case 19: case 20: case 22: case 25: case 27: case 28: case 31:
      return 1;
    default:
      return 0;
  }
}

INAItemDescription* CStandInItem::piGetItemComponent(int n) {
  if (n < 1 || n > static_cast<int>(m_components.size())) return nullptr;
  return m_components[static_cast<size_t>(n - 1)]->ExternalAddRef();
}

CAny* CStandInItem::pclGetDefaultValue(int) { AbortCall("INAItemDescription", 34); }

int CStandInItem::vbConstraintNullAllowed() {
  if (m_nVersion <= 8) AbortCall("INAItemDescription of version 8", 54);
  return m_decl.nullAllowed ? 1 : 0;
}

void CStandInItem::AddComponent(CStandInItem* pclComponent) {
  pclComponent->ExternalAddRef();
  m_components.push_back(pclComponent);
}

// ---------------------------------------------------------------------------
// Descriptions

CStandInDescription* CStandInDescription::pclNew(const wchar_t* pszLogicalName,
                                                 const std::vector<StandInItemDecl>& items,
                                                 int nItemVersion) {
  auto* p = new CStandInDescription(pszLogicalName);
  int nOffset = 0;
  for (const StandInItemDecl& decl : items) {
    CStandInItem* pclItem = CStandInItem::pclNew(decl, nItemVersion);
    const int nKeyIndex = pclItem->bIsKey() ? static_cast<int>(p->m_keys.size()) : -1;
    pclItem->SetPlace(static_cast<int>(p->m_items.size()), nKeyIndex, nOffset);
    nOffset += pclItem->nGetTotalSize();
    if (!pclItem->bIsComposedKey()) p->m_nDiskSize += pclItem->nGetTotalSize();
    for (const std::wstring& strComponent : decl.components) {
      CStandInItem* pclComponent = nullptr;
      for (CStandInItem* q : p->m_items) {
        if (bSameName(strComponent, q->pszGetName())) pclComponent = q;
      }
      if (pclComponent == nullptr) {
        pclItem->nExternalRelease();
        p->nExternalRelease();
        return nullptr;
      }
      pclItem->AddComponent(pclComponent);
    }
    p->m_items.push_back(pclItem);
    if (pclItem->bIsKey()) p->m_keys.push_back(pclItem);
    if (pclItem->bMemo()) p->m_memos.push_back(pclItem);
  }
  return p;
}

CStandInDescription::CStandInDescription(const wchar_t* pszLogicalName)
    : m_strName(pszLogicalName != nullptr ? pszLogicalName : L"") {
  ++StandInDescriptionCounts::g_nLive;
}

CStandInDescription::~CStandInDescription() {
  // Composed keys come after their components: released last to first.
  for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) (*it)->nExternalRelease();
  --StandInDescriptionCounts::g_nLive;
}

int CStandInDescription::nExternalRelease() {
  if (m_nRefCount <= 0) AbortCall("INADataSourceDescription (released past 0)", 6);
  const int n = --m_nRefCount;
  if (n == 0) delete this;
  return n;
}

INAItemDescription* CStandInDescription::piNAGetItem(const wchar_t* pszName) {
  for (CStandInItem* p : m_items) {
    if (bSameName(p->pszGetName(), pszName)) return p->ExternalAddRef();
  }
  return nullptr;
}

INAItemDescription* CStandInDescription::piNAGetItem(unsigned int n) {
  return n < m_items.size() ? m_items[n]->ExternalAddRef() : nullptr;
}

INAItemDescription* CStandInDescription::piNAGetKey(unsigned int n) {
  return n < m_keys.size() ? m_keys[n]->ExternalAddRef() : nullptr;
}

INAItemDescription* CStandInDescription::piNAGetMemo(unsigned int n) {
  return n < m_memos.size() ? m_memos[n]->ExternalAddRef() : nullptr;
}

INAItemDescription* CStandInDescription::piGetBestParseItemDesc() {
  if (!m_keys.empty()) return m_keys[0]->ExternalAddRef();
  return m_items.empty() ? nullptr : m_items[0]->ExternalAddRef();
}

CStandInItem* CStandInDescription::pclGetItem(int i) const {
  if (i < 0 || i >= static_cast<int>(m_items.size())) return nullptr;
  return m_items[static_cast<size_t>(i)];
}
