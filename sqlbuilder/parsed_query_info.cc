// CSQLParserInfo: holding and digesting the parsed query, its enumerators
// and name lookups. The lookups that start from a record column live in
// parsed_query_columns.cc.
#include "sqlbuilder/parsed_query_info.h"

#include <cwctype>
#include <new>
#include <type_traits>

#include "core/error_object.h"
#include "core/error_table.h"
#include "core/locale_compare.h"
#include "driver/na_error.h"
#include "items/record.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "kq230/query_parameters_interface.h"
#include "sqlbuilder/clause_location.h"

namespace {

// Names compare without regard to case and accents.
constexpr unsigned int kNameCompare = 3;

// Item types of the automatic identifiers (the only items of an older
// analysis known to exclude NULL).
constexpr int kItemIdAuto = 1;
constexpr int kItemIdAuto4 = 28;

// Engine type codes of the automatic identifiers.
constexpr int kZBIdAuto8 = 24;
constexpr int kZBIdAuto4 = 38;

bool bSameName(const wchar_t* pszA, const wchar_t* pszB) {
  if (pszA == nullptr) pszA = L"";
  if (pszB == nullptr) pszB = L"";
  return STR_nCompareW(pszA, pszB, kNameCompare) == 0;
}

bool bEmpty(const wchar_t* psz) { return psz == nullptr || *psz == 0; }

// A unique key that excludes NULL: an item above version 8 says so itself;
// an older item says nothing of NULL, and only an automatic identifier is
// known to exclude it.
bool bUniqueNotNull(INAItemDescription* piItem) {
  if (piItem->bPrimary()) return true;
  if (!piItem->bUnique()) return false;
  if (piItem->nGetVersion() > 8) return !piItem->vbConstraintNullAllowed();
  const int nType = static_cast<int>(piItem->eNAGetItemType());
  return nType == kItemIdAuto || nType == kItemIdAuto4;
}

// The server's item of a table column; the parser may throw.
INAItemDescription* piItemOfColumn(ISQLParserInformation* piInfo, IInfoRubrique* piColumn) {
  if (piInfo == nullptr || piColumn == nullptr) return nullptr;
  try {
    if (piColumn->bCalcul()) return nullptr;
    return piInfo->piGetItemDescription(piColumn);
  } catch (...) {
    return nullptr;
  }
}

// A word character of SQL names: letters (any script), digits, "_" and "$".
bool bWordChar(wchar_t c) { return c == L'_' || c == L'$' || std::iswalnum(c) || c > 0x7F; }

// DISTINCT as a whole word, in any case, wherever it stands (after any blank,
// or a parenthesis). Literals and quoted names are not skipped: a match there
// only withholds record operations, while a DISTINCT missed would let them
// run on rows that are not the table's.
bool bHoldsDistinct(const wchar_t* pszText) {
  if (pszText == nullptr) return false;
  static constexpr wchar_t kWord[] = L"DISTINCT";
  constexpr int kLength = 8;
  for (const wchar_t* p = pszText; *p != 0; ++p) {
    if (p != pszText && bWordChar(p[-1])) continue;
    int i = 0;
    while (i < kLength && p[i] != 0 && static_cast<wchar_t>(std::towupper(p[i])) == kWord[i]) ++i;
    if (i == kLength && !bWordChar(p[kLength])) return true;
  }
  return false;
}

// The place that raises the digest's errors.
constexpr int kNAFileParsedQuery = 14;
constexpr int kSitePhysicalNameRefused = 1;
// A physical name that cannot be used is reported as the command reports a
// name it cannot send (user code 44, "the value is invalid"): the parser did
// find a name, so it is not a lookup that found nothing (26). The table's
// text for 44 names nothing; the message names the table and the length.
constexpr unsigned int kErrBadValue = 44;
constexpr unsigned int kMessagePhysicalNameRefused = 28639;

// What the parser answered for a physical name.
enum class PhysicalName { kFound, kNone, kRefused };

// Asks the parser into a bounded buffer of this call's own. kRefused when it
// announces a name but does not hand over exactly that text: a name of
// kPhysicalNameRoom characters or more (a cut name would name another
// table), nothing written, or a length that is not the text written.
// *pnLength receives the length the parser announced.
PhysicalName eAskPhysicalName(ISQLParserInformation* piInfo, const wchar_t* pszName,
                              CTString* pOut, int* pnLength) {
  pOut->Vide();
  *pnLength = 0;
  if (piInfo == nullptr || bEmpty(pszName)) return PhysicalName::kNone;
  constexpr int kRoom = CSQLParserInfo::kPhysicalNameRoom;
  // Zeroed whole: a parser that leaves out the terminator leaves no stack
  // bytes for the checks below to read.
  wchar_t szBuffer[kRoom] = {};
  int nLength = 0;
  try {
    nLength = piInfo->GetPhysicalName(pszName, szBuffer, kRoom);
  } catch (...) {
    return PhysicalName::kNone;
  }
  szBuffer[kRoom - 1] = 0;
  *pnLength = nLength;
  if (nLength <= 0) return PhysicalName::kNone;
  if (nLength >= kRoom || szBuffer[0] == 0) return PhysicalName::kRefused;
  // The length answered must be the text written.
  for (int i = 0; i < nLength; ++i) {
    if (szBuffer[i] == 0) return PhysicalName::kRefused;
  }
  if (szBuffer[nLength] != 0) return PhysicalName::kRefused;
  pOut->Set(szBuffer, static_cast<unsigned int>(nLength));
  return PhysicalName::kFound;
}

}  // namespace

// ---------------------------------------------------------------------------
// CInfoGroupe

CInfoGroupe::CInfoGroupe(IInfoGroupe* piSource) {
  if (piSource == nullptr) return;
  m_strAlias = piSource->vpszGetAlias();
  m_bAvecTable = piSource->bIsAvecTable();
  m_strTable = piSource->pszGetNomTable();
  m_strItem = piSource->pszGetNomRubrique();
  m_stPosition = piSource->stGetPosition();
  m_strFile = piSource->pszGetNomFichier();
  m_strItemAlias = piSource->pszGetNomRubriqueAlias();
}

CInfoGroupe::~CInfoGroupe() = default;

int CInfoGroupe::nRelease() {
  const int n = --m_nRefCount;
  if (n <= 0) delete this;
  return n < 0 ? 0 : n;
}

// ---------------------------------------------------------------------------
// Life

CSQLParserInfo::CSQLParserInfo(CNAError* pclError, ISQLParserInformation* piInfo,
                               INAQueryParametersValue* piValues, int bReduced)
    : m_pclError(pclError) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  Set(piInfo, piValues, bReduced);
}

CSQLParserInfo::~CSQLParserInfo() {
  Set(nullptr, nullptr, 0);
  SetRecord(nullptr);
  if (m_pclError != nullptr) m_pclError->nRelease();
}

void CSQLParserInfo::SetRecord(CNARecord* pclRecord) {
  if (pclRecord == m_pclRecord) return;
  KQAddRef(pclRecord);
  CNARecord* pclOld = m_pclRecord;
  m_pclRecord = pclRecord;
  KQRelease(pclOld);
}

void CSQLParserInfo::_Empty() {
  m_tabFrom.SupprimeTout();
  m_tabOut.SupprimeTout();
  m_tabGroupBy.SupprimeTout();
  m_tabOrderBy.SupprimeTout();
  m_tabUpdate.SupprimeDernier(m_tabUpdate.nGetNbElement());
  m_tabInsert.SupprimeDernier(m_tabInsert.nGetNbElement());
  m_nFromCursor = m_nOutCursor = m_nGroupByCursor = m_nOrderByCursor = -1;
  m_nUpdateCursor = m_nInsertCursor = -1;
  // The chosen columns pointed into the lists just emptied.
  m_piBest = m_piUniqueNotNull = m_piUnique = m_piKey = m_piOrderBy = nullptr;
  if (m_piInfo != nullptr) {
    m_piInfo->Release();
    m_piInfo = nullptr;
    m_nQueryKind = 0;
    m_bHiddenColumn = 0;
    m_bGroupingColumn = 0;
    if (m_piWhere != nullptr) m_piWhere->Release();
    if (m_piHaving != nullptr) m_piHaving->Release();
    m_piWhere = m_piHaving = nullptr;
  }
  // A cached answer belongs to the query it was computed for.
  m_nResultsetLimited = -1;
  m_strPhysicalName.Vide();
}

void CSQLParserInfo::Set(ISQLParserInformation* piInfo, INAQueryParametersValue* piValues,
                         int bReduced) {
  // Taken before anything is dropped: the same objects may be given again.
  if (piInfo != nullptr) SQLParserAddRefLocked(piInfo);
  if (piValues != nullptr) piValues->AddRef();
  _Empty();
  if (piInfo != nullptr) {
    m_piInfo = piInfo;
    _Digest(bReduced);
    m_nQueryKind = static_cast<int>(piInfo->eGetTypeRequete());
    m_piWhere = piInfo->piGetConditionWhere();
    if (!bReduced) m_piHaving = piInfo->piGetConditionHaving();
  }
  if (m_piValues != nullptr) m_piValues->Release();
  m_piValues = piValues;
}

void CSQLParserInfo::_Digest(int bReduced) {
  IInfoRequete* piParts = m_piInfo->piGetInfoRequete();
  if (piParts == nullptr) return;
  int nCursor = 0;
  while (IInfoFrom* piFrom = piParts->piEnumFrom(&nCursor)) {
    if (!m_tabFrom.Ajoute(piFrom)) break;
  }
  nCursor = 0;
  while (IInfoRubrique* piColumn = piParts->piEnumRubrique(&nCursor)) {
    if (!m_tabOut.Ajoute(piColumn)) break;
    _ClassifyColumn(piColumn);
  }
  if (!bReduced) {
    if (piParts->nGetGroupeNbr() > 0) {
      nCursor = 0;
      while (IInfoGroupe* piGroup = piParts->piEnumGroupe(&nCursor)) {
        CInfoGroupe* pclCopy = new (std::nothrow) CInfoGroupe(piGroup);
        if (pclCopy == nullptr) break;
        if (!m_tabGroupBy.Ajoute(pclCopy)) {
          delete pclCopy;
          break;
        }
      }
    }
    nCursor = 0;
    while (IInfoOrderBy* piOrder = piParts->piEnumOrderBy(&nCursor)) {
      if (!m_tabOrderBy.Ajoute(piOrder)) break;
    }
    if (m_tabOrderBy.nGetNbElement() > 0) {
      m_piOrderBy = piGetRubriqueOUT(m_tabOrderBy[0]->nGetIndiceRubriqueOUT());
      m_piBest = m_piOrderBy;
    }
  }
  if (m_piBest == nullptr && m_tabOut.nGetNbElement() > 0) {
    m_piBest = m_piUniqueNotNull != nullptr ? m_piUniqueNotNull
               : m_piUnique != nullptr      ? m_piUnique
               : m_piKey != nullptr         ? m_piKey
                                            : m_tabOut[0];
  }
  const int nKind = static_cast<int>(m_piInfo->eGetTypeRequete());
  nCursor = 0;
  if (nKind == TYPEREQUETE_UPDATE) {
    while (IInfoAffectation* piSet = piParts->piEnumAffectation(&nCursor)) {
      if (!m_tabUpdate.Ajoute(piSet)) break;
    }
  } else if (nKind == TYPEREQUETE_INSERT) {
    while (IInfoInsertion* piInsert = piParts->piEnumInsertion(&nCursor)) {
      if (!m_tabInsert.Ajoute(piInsert)) break;
    }
  }
}

void CSQLParserInfo::_ClassifyColumn(IInfoRubrique* piColumn) {
  const int bCalculated = piColumn->bCalcul();
  if (!m_bGroupingColumn && bCalculated) {
    if (IExpOpExpression* piExpression = piColumn->piGetExpression()) {
      if (s_bIsGroupmentColumn(piExpression->eGetOperateur())) m_bGroupingColumn = 1;
      piExpression->Release();
    }
  }
  if (!piColumn->bVisible()) m_bHiddenColumn = 1;
  // A key identifies a row of the query only when the query reads one table.
  if (bCalculated || m_tabFrom.nGetNbElement() != 1 || m_piUniqueNotNull != nullptr) return;
  INAItemDescription* piItem = piItemOfColumn(m_piInfo, piColumn);
  if (piItem == nullptr) return;
  if (!piItem->bIsComposedKey()) {
    if (bUniqueNotNull(piItem)) {
      m_piUniqueNotNull = m_piUnique = m_piKey = piColumn;
    } else if (piItem->bUnique()) {
      if (m_piUnique == nullptr) m_piUnique = m_piKey = piColumn;
    } else if (piItem->bIsKey()) {
      if (m_piKey == nullptr) m_piKey = piColumn;
    }
  }
  piItem->nExternalRelease();
}

// ---------------------------------------------------------------------------
// Enumerators

namespace {

// The enumerators' shared rule: bFirst restarts at element 0; an element
// given moves the cursor on; past the end null, the cursor staying.
template <class TArray>
auto pEnumerate(TArray& tab, int* pnCursor, int bFirst) -> std::remove_reference_t<decltype(tab[0])> {
  if (bFirst) *pnCursor = 0;
  if (*pnCursor < 0 || *pnCursor >= tab.nGetNbElement()) return nullptr;
  return tab[(*pnCursor)++];
}

}  // namespace

IInfoFrom* CSQLParserInfo::piEnumFichierFrom(int bFirst) {
  return pEnumerate(m_tabFrom, &m_nFromCursor, bFirst);
}
IInfoRubrique* CSQLParserInfo::piEnumRubriqueOUT(int bFirst) {
  return pEnumerate(m_tabOut, &m_nOutCursor, bFirst);
}
CInfoGroupe* CSQLParserInfo::piEnumRubriqueClauseGroupe(int bFirst) {
  return pEnumerate(m_tabGroupBy, &m_nGroupByCursor, bFirst);
}
IInfoOrderBy* CSQLParserInfo::piEnumRubriqueClauseOrder(int bFirst) {
  return pEnumerate(m_tabOrderBy, &m_nOrderByCursor, bFirst);
}
IInfoAffectation* CSQLParserInfo::piEnumRubriqueUpdate(int bFirst) {
  return pEnumerate(m_tabUpdate, &m_nUpdateCursor, bFirst);
}
IInfoInsertion* CSQLParserInfo::piEnumRubriqueInsert(int bFirst) {
  return pEnumerate(m_tabInsert, &m_nInsertCursor, bFirst);
}

IInfoRubrique* CSQLParserInfo::piGetRubriqueOUT(int n) const {
  if (n < 0 || n >= m_tabOut.nGetNbElement()) return nullptr;
  return m_tabOut[n];
}

IInfoRubrique* CSQLParserInfo::piEnumRubriqueOUT(const wchar_t* pszName) {
  if (pszName == nullptr) return nullptr;
  for (int i = 0; i < m_tabOut.nGetNbElement(); ++i) {
    if (bSameName(m_tabOut[i]->pszGetNom(), pszName)) return m_tabOut[i];
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Lookups

const wchar_t* CSQLParserInfo::pszGetRequete() {
  return m_piInfo != nullptr ? m_piInfo->pszGetRequete() : nullptr;
}

INADataSourceDescription* CSQLParserInfo::piGetNADataSourceDescription(const wchar_t* pszName) {
  if (m_piInfo == nullptr || pszName == nullptr) return nullptr;
  return m_piInfo->piGetNADataSourceDescription(pszName);
}

INAItemDescription* CSQLParserInfo::piGetItemDescription(const IInfoRubrique* piColumn) {
  return piItemOfColumn(m_piInfo, const_cast<IInfoRubrique*>(piColumn));
}

const wchar_t* CSQLParserInfo::pszGetBestParseItem() {
  return m_piBest != nullptr ? m_piBest->pszGetNom() : nullptr;
}

const wchar_t* CSQLParserInfo::pszGetOrderByItem() {
  return m_piOrderBy != nullptr ? m_piOrderBy->pszGetNom() : nullptr;
}

int CSQLParserInfo::bRubriqueUnique(const IInfoRubrique* piColumn) {
  if (m_piUnique == nullptr) return 0;
  if (piColumn == m_piUnique) return 1;
  INAItemDescription* piItem = piGetItemDescription(piColumn);
  if (piItem == nullptr) return 0;
  const int b = piItem->bUnique() ? 1 : 0;
  piItem->nExternalRelease();
  return b;
}

int CSQLParserInfo::bRubriqueUniqueNotNull(const IInfoRubrique* piColumn) {
  if (m_piUniqueNotNull == nullptr) return 0;
  if (piColumn == m_piUniqueNotNull) return 1;
  INAItemDescription* piItem = piGetItemDescription(piColumn);
  if (piItem == nullptr) return 0;
  const int b = bUniqueNotNull(piItem) ? 1 : 0;
  piItem->nExternalRelease();
  return b;
}

int CSQLParserInfo::bQueryContainIdAuto() { return bQueryContainIdAuto(m_piInfo); }

int CSQLParserInfo::bQueryContainIdAuto(ISQLParserInformation* piInfo) {
  if (piInfo == nullptr) return 0;
  IInfoRequete* piParts = piInfo->piGetInfoRequete();
  if (piParts == nullptr) return 0;
  int nCursor = 0;
  int nFrom = 0;
  while (piParts->piEnumFrom(&nCursor) != nullptr) ++nFrom;
  if (nFrom >= 2) return 0;
  nCursor = 0;
  while (IInfoRubrique* piColumn = piParts->piEnumRubrique(&nCursor)) {
    const int nType = static_cast<int>(piColumn->eGetZBType());
    if (nType == kZBIdAuto4 || nType == kZBIdAuto8) return 1;
  }
  return 0;
}

INAQueryParametersValue* CSQLParserInfo::piGetUserBindVariable() {
  if (m_piValues == nullptr) return nullptr;
  m_piValues->AddRef();
  return m_piValues;
}

int CSQLParserInfo::bHPrepareRequeteCalled() {
  return m_piValues != nullptr ? m_piValues->bPrepareRequeteCalled() : 0;
}

int CSQLParserInfo::s_bGetPhysicalName(ISQLParserInformation* piInfo, const wchar_t* pszName,
                                       CTString* pOut) {
  int nLength = 0;
  return eAskPhysicalName(piInfo, pszName, pOut, &nLength) == PhysicalName::kFound ? 1 : 0;
}

const wchar_t* CSQLParserInfo::pszGetPhysicalName(const wchar_t* pszName) {
  CTString strName;
  int nLength = 0;
  switch (eAskPhysicalName(m_piInfo, pszName, &strName, &nLength)) {
    case PhysicalName::kFound:
      m_strPhysicalName.Transfert(strName);
      return m_strPhysicalName.pszGet();
    case PhysicalName::kRefused:
      _RaisePhysicalNameRefused(pszName, nLength);
      return nullptr;
    case PhysicalName::kNone:
      break;
  }
  return nullptr;
}

void CSQLParserInfo::_RaisePhysicalNameRefused(const wchar_t* pszName, int nLength) {
  if (m_pclError == nullptr) return;
  // The code stays 44 with the table's detail and level for it; the user
  // message is the refusal's own, which names the table.
  _CXErrorModule76 clError;
  clError.SetUserErrorCode(kErrBadValue);
  if (const _stErrorDef* pRow = ErrorDef_pFind(&gstMyModuleInfo76, kErrBadValue)) {
    clError.SetDetailId(pRow->nDetailId);
    clError.SetErrorLevel(static_cast<CXError::eERRORLEVEL>(pRow->nLevel));
  } else {
    clError.SetErrorLevel(CXError::EL_ERROR);
  }
  clError.AddUserMessage(&gstMyModuleInfo76, kMessagePhysicalNameRefused,
                         pszName != nullptr ? pszName : L"", static_cast<unsigned int>(nLength));
  CNAError::g_SetInfoNames(&clError, pszName, nullptr);
  const int nNative = static_cast<int>(kErrBadValue);
  clError.AddInfo(CXError::EIT_NATIVECODE, &nNative);
  CNAError::g_AddDebugInfo(&clError, kNAFileParsedQuery, kSitePhysicalNameRefused);
  m_pclError->AddError(eNA_ERRORTYPE(0), &clError, nullptr);
}

const wchar_t* CSQLParserInfo::pszGetPhysicalName(IInfoRubrique* piColumn) {
  if (piColumn == nullptr) return nullptr;
  const wchar_t* pszTable = piColumn->pszGetNomTableAlias();
  const wchar_t* pszPhysical = pszGetPhysicalName(pszTable);
  return pszPhysical != nullptr ? pszPhysical : pszTable;
}

IInfoRubrique* CSQLParserInfo::piGetInfoRubriqueFromAlias(const wchar_t* pszTable,
                                                          const wchar_t* pszName) {
  if (pszName == nullptr) return nullptr;
  try {
    for (int i = 0; i < m_tabOut.nGetNbElement(); ++i) {
      IInfoRubrique* piColumn = m_tabOut[i];
      if (bEmpty(pszTable)) {
        if (bSameName(piColumn->pszGetNom(), pszName)) return piColumn;
        continue;
      }
      if (piColumn->bCalcul()) continue;
      if (bSameName(piColumn->pszGetNomFichier(), pszTable) &&
          bSameName(piColumn->pszGetNom(), pszName)) {
        return piColumn;
      }
    }
  } catch (...) {
    return nullptr;
  }
  return nullptr;
}

int CSQLParserInfo::bIsTableAlias(const wchar_t* pszName, INADataSourceDescription** ppiOut) {
  if (pszName == nullptr) return 0;
  for (IInfoFrom* piFrom = piEnumFichierFrom(1); piFrom != nullptr;
       piFrom = piEnumFichierFrom(0)) {
    if (!bSameName(piFrom->pszGetAlias(), pszName)) continue;
    const int bAlias = !bSameName(pszName, piFrom->pszGetNomTable());
    if (!bAlias && ppiOut != nullptr && m_piInfo != nullptr) {
      *ppiOut = m_piInfo->piGetFromDataSourceDescription(piFrom);
    }
    return bAlias;
  }
  if (ppiOut != nullptr) *ppiOut = piGetNADataSourceDescription(pszName);
  return 0;
}

int CSQLParserInfo::bQueryResultsetLimited(CNAConnectionDescription* pclConnection) {
  if (m_nResultsetLimited == -1) {
    m_nResultsetLimited =
        CNAClauseLocation::s_bQueryResultsetLimited(pclConnection, pszGetRequete()) ? 1 : 0;
  }
  return m_nResultsetLimited == 1;
}

int CSQLParserInfo::bHOperationAllowed() {
  if (m_bGroupingColumn || m_bHiddenColumn || m_tabGroupBy.nGetNbElement() > 0) return 0;
  // A reduced digest keeps no GROUP BY copies: the parts still tell.
  if (m_piInfo != nullptr) {
    IInfoRequete* piParts = m_piInfo->piGetInfoRequete();
    if (piParts != nullptr && piParts->nGetGroupeNbr() > 0) return 0;
  }
  return bHoldsDistinct(pszGetRequete()) ? 0 : 1;
}

CTString CSQLParserInfo::csGetFichierFrom_DBTableName(int i) {
  CTString str;
  if (m_piInfo == nullptr || i < 0 || i >= m_tabFrom.nGetNbElement()) return str;
  INADataSourceDescription* piSource = m_piInfo->piGetFromDataSourceDescription(m_tabFrom[i]);
  if (piSource == nullptr) return str;
  str = piSource->pszGetDBTableName();
  piSource->nExternalRelease();
  return str;
}

// ---------------------------------------------------------------------------
// Operator classes

int CSQLParserInfo::s_bIsFunction(eOPEXPRESSION eOperator) {
  const int n = static_cast<int>(eOperator);
  static constexpr struct {
    int nFirst, nLast;
  } kRanges[] = {{6, 8},     {27, 31},   {34, 39},   {42, 46},   {50, 57},   {59, 66},
                 {68, 72},   {74, 95},   {97, 103},  {108, 108}, {136, 148}, {150, 151},
                 {155, 162}, {170, 170}, {172, 182}};
  for (const auto& r : kRanges) {
    if (n >= r.nFirst && n <= r.nLast) return 1;
  }
  return 0;
}

int CSQLParserInfo::s_bIsGroupmentColumn(eOPEXPRESSION eOperator) {
  const int n = static_cast<int>(eOperator);
  return n >= 27 && n <= 31;
}
