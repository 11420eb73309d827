// The stand-in SQL parser: what the driver's SQL builder relies on in its
// objects (slots, positions, names resolved from the analysis, reference
// counts, faults on demand) and the server's parameter values.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_query_parameters.h"
#include "host/parser/standin_sql_parser.h"
#include "kq230/query_parameters_interface.h"
#include "kq230/sql_parser_interface.h"
#include "tests/host/standin_any_maker.h"
#include "tests/support/bound_framework.h"
#include "values/any.h"

namespace {

// Item types and key flags of the native access.
constexpr int kIdAuto = 1, kText = 2, kI4 = 5, kR8 = 7, kMemoText = 15;
constexpr unsigned short kPrimary = 0x8000, kUnique = 0x4000, kDup = 0x2000;

StandInItemDecl Item(const wchar_t* pszName, int nType, int nSize, unsigned short nKey = 0,
                     bool bNullAllowed = true) {
  StandInItemDecl d;
  d.name = pszName;
  d.type = nType;
  d.size = nSize;
  d.keyFlags = nKey;
  d.nullAllowed = bNullAllowed;
  return d;
}

std::wstring Span(const std::wstring& s, const _stPositionSQL& pos) {
  if (pos.nDebut < 0 || pos.nFin < pos.nDebut || pos.nFin >= static_cast<int>(s.size()))
    return L"<out of range>";
  return s.substr(static_cast<size_t>(pos.nDebut), static_cast<size_t>(pos.nFin - pos.nDebut + 1));
}

std::vector<IInfoRubrique*> Columns(IInfoRequete* piParts) {
  std::vector<IInfoRubrique*> v;
  int n = 0;
  while (IInfoRubrique* p = piParts->piEnumRubrique(&n)) v.push_back(p);
  return v;
}

std::vector<IInfoFrom*> Froms(IInfoRequete* piParts) {
  std::vector<IInfoFrom*> v;
  int n = 0;
  while (IInfoFrom* p = piParts->piEnumFrom(&n)) v.push_back(p);
  return v;
}

// The slot of a virtual operation, from its member pointer (Itanium ABI: the
// pointer holds 1 + the byte offset of its entry in the table).
template <class F>
int nSlotOf(F pmf) {
  struct Raw {
    ptrdiff_t ptr;
    ptrdiff_t adj;
  } raw;
  static_assert(sizeof(F) == sizeof(Raw));
  std::memcpy(&raw, &pmf, sizeof raw);
  return (raw.ptr & 1) != 0 ? static_cast<int>((raw.ptr - 1) / static_cast<ptrdiff_t>(sizeof(void*)))
                            : -1;
}

TEST(SQLParserInterfaces, TheOperationsTheDriverCallsSitInTheirSlots) {
  struct Case {
    const char* name;
    int slot, expected;
  };
  const Case cases[] = {
      {"ISQLParserInformation::Release", nSlotOf(&ISQLParserInformation::Release), 2},
      {"pszGetTexteCondition", nSlotOf(&ISQLParserInformation::pszGetTexteCondition), 5},
      {"piGetTabValParser", nSlotOf(&ISQLParserInformation::piGetTabValParser), 6},
      {"pszGetRequete", nSlotOf(&ISQLParserInformation::pszGetRequete), 7},
      {"nGetDebutWhere", nSlotOf(&ISQLParserInformation::nGetDebutWhere), 9},
      {"nGetFinWhere", nSlotOf(&ISQLParserInformation::nGetFinWhere), 10},
      {"piGetInfoRequete", nSlotOf(&ISQLParserInformation::piGetInfoRequete), 12},
      {"nGetDebutHaving", nSlotOf(&ISQLParserInformation::nGetDebutHaving), 13},
      {"nGetFinHaving", nSlotOf(&ISQLParserInformation::nGetFinHaving), 14},
      {"piGetConditionWhere", nSlotOf(&ISQLParserInformation::piGetConditionWhere), 17},
      {"piGetTabValParserMarqueur", nSlotOf(&ISQLParserInformation::piGetTabValParserMarqueur), 19},
      {"piGetItemDescription", nSlotOf(&ISQLParserInformation::piGetItemDescription), 21},
      {"piGetNAItemDescription", nSlotOf(&ISQLParserInformation::piGetNAItemDescription), 22},
      {"piGetFromDataSourceDescription",
       nSlotOf(&ISQLParserInformation::piGetFromDataSourceDescription), 23},
      {"piGetNADataSourceDescription",
       nSlotOf(&ISQLParserInformation::piGetNADataSourceDescription), 24},
      {"eGetTypeRequete", nSlotOf(&ISQLParserInformation::eGetTypeRequete), 26},
      {"piGetConditionHaving", nSlotOf(&ISQLParserInformation::piGetConditionHaving), 27},
      {"GetPhysicalName", nSlotOf(&ISQLParserInformation::GetPhysicalName), 33},
      {"IInfoRequete::piEnumRubrique", nSlotOf(&IInfoRequete::piEnumRubrique), 0},
      {"nGetGroupeNbr", nSlotOf(&IInfoRequete::nGetGroupeNbr), 4},
      {"piEnumFrom", nSlotOf(&IInfoRequete::piEnumFrom), 6},
      {"piEnumOrderBy", nSlotOf(&IInfoRequete::piEnumOrderBy), 7},
      {"piEnumGroupe", nSlotOf(&IInfoRequete::piEnumGroupe), 8},
      {"piEnumAffectation", nSlotOf(&IInfoRequete::piEnumAffectation), 15},
      {"piEnumInsertion", nSlotOf(&IInfoRequete::piEnumInsertion), 16},
      {"IInfoRubrique::Release", nSlotOf(&IInfoRubrique::Release), 2},
      {"IInfoRubrique::pszGetNomFichier", nSlotOf(&IInfoRubrique::pszGetNomFichier), 3},
      {"IInfoRubrique::pszGetNom", nSlotOf(&IInfoRubrique::pszGetNom), 4},
      {"pszGetNomOriginal", nSlotOf(&IInfoRubrique::pszGetNomOriginal), 5},
      {"bCalcul", nSlotOf(&IInfoRubrique::bCalcul), 10},
      {"nGetTaille", nSlotOf(&IInfoRubrique::nGetTaille), 13},
      {"IInfoRubrique::eGetZBType", nSlotOf(&IInfoRubrique::eGetZBType), 14},
      {"piGetExpression", nSlotOf(&IInfoRubrique::piGetExpression), 20},
      {"pszGetNomTableAlias", nSlotOf(&IInfoRubrique::pszGetNomTableAlias), 22},
      {"bVisible", nSlotOf(&IInfoRubrique::bVisible), 23},
      {"IInfoFrom::AddRef", nSlotOf(&IInfoFrom::AddRef), 0},
      {"IInfoFrom::Release", nSlotOf(&IInfoFrom::Release), 1},
      {"IInfoFrom::pszGetNomTable", nSlotOf(&IInfoFrom::pszGetNomTable), 2},
      {"IInfoFrom::pszGetAlias", nSlotOf(&IInfoFrom::pszGetAlias), 3},
      {"IInfoOrderBy::Release", nSlotOf(&IInfoOrderBy::Release), 2},
      {"eGetSensTri", nSlotOf(&IInfoOrderBy::eGetSensTri), 3},
      {"nGetIndiceRubriqueOUT", nSlotOf(&IInfoOrderBy::nGetIndiceRubriqueOUT), 4},
      {"vpszGetAlias", nSlotOf(&IInfoGroupe::vpszGetAlias), 0},
      {"IInfoGroupe::stGetPosition", nSlotOf(&IInfoGroupe::stGetPosition), 4},
      {"pszGetNomRubriqueAlias", nSlotOf(&IInfoGroupe::pszGetNomRubriqueAlias), 6},
      {"IExpOpExpression::Release", nSlotOf(&IExpOpExpression::Release), 1},
      {"eGetOperateur", nSlotOf(&IExpOpExpression::eGetOperateur), 2},
      {"piGetOperandeGauche", nSlotOf(&IExpOpExpression::piGetOperandeGauche), 3},
      {"piGetOperandeDroit", nSlotOf(&IExpOpExpression::piGetOperandeDroit), 4},
      {"pszGetNomRubrique", nSlotOf(&IExpOpExpression::pszGetNomRubrique), 11},
      {"bGetValeur", nSlotOf(&IExpOpExpression::bGetValeur), 12},
      {"stGetPositionElement", nSlotOf(&IExpOpExpression::stGetPositionElement), 24},
      {"IExpOpExpression::pszGetNomFichier", nSlotOf(&IExpOpExpression::pszGetNomFichier), 25},
      {"IExpOpExpression::stGetPosition", nSlotOf(&IExpOpExpression::stGetPosition), 27},
      {"bJointureExterne", nSlotOf(&IExpOpExpression::bJointureExterne), 28},
      {"IExpOpExpression::eGetZBType", nSlotOf(&IExpOpExpression::eGetZBType), 34},
      {"cGetEscape", nSlotOf(&IExpOpExpression::cGetEscape), 35},
      {"piEnumOperande", nSlotOf(&IExpOpExpression::piEnumOperande), 37},
      {"piGetSousRequete", nSlotOf(&IExpOpExpression::piGetSousRequete), 50},
      {"IInfoAffectation::piGetColonne", nSlotOf(&IInfoAffectation::piGetColonne), 0},
      {"IInfoInsertion::piGetValeur", nSlotOf(&IInfoInsertion::piGetValeur), 0},
      {"IInfoInsertion::piGetColonne", nSlotOf(&IInfoInsertion::piGetColonne), 1},
      {"INAQueryParametersValue::AddRef", nSlotOf(&INAQueryParametersValue::AddRef), 5},
      {"INAQueryParametersValue::Release", nSlotOf(&INAQueryParametersValue::Release), 6},
      {"bPrepareRequeteCalled", nSlotOf(&INAQueryParametersValue::bPrepareRequeteCalled), 8},
  };
  for (const Case& c : cases) EXPECT_EQ(c.slot, c.expected) << c.name;
}

class StandInSQLParser : public kqtest::BoundFrameworkTest {
 protected:
  void SetUp() override {
    kqtest::BoundFrameworkTest::SetUp();
    m_nLiveBefore = StandInParserCounts::g_nLive;
    m_nDescriptionsBefore = StandInDescriptionCounts::g_nLive;
    auto* pclCustomer = CStandInDescription::pclNew(
        L"Customer",
        {Item(L"Id", kIdAuto, 8, kPrimary, false), Item(L"Name", kText, 50, kUnique),
         Item(L"City", kText, 30, kDup), Item(L"Notes", kMemoText, 4)},
        12);
    auto* pclOrders = CStandInDescription::pclNew(
        L"Orders",
        {Item(L"OrderId", kI4, 4, kPrimary, false), Item(L"CustomerId", kI4, 4, kDup),
         Item(L"Amount", kR8, 8)},
        12);
    m_pAnalysis = std::make_unique<CStandInAnalysis>();
    m_pAnalysis->AddTable(pclCustomer, L"cust_tbl");
    m_pAnalysis->AddTable(pclOrders, nullptr);
    pclCustomer->nExternalRelease();
    pclOrders->nExternalRelease();
    m_pParser = std::make_unique<CStandInSQLParser>(m_pAnalysis.get());
  }

  void TearDown() override {
    m_pParser.reset();
    m_pAnalysis.reset();
    EXPECT_EQ(StandInParserCounts::g_nLive, m_nLiveBefore) << "parser objects left";
    EXPECT_EQ(StandInDescriptionCounts::g_nLive, m_nDescriptionsBefore) << "descriptions left";
    EXPECT_EQ(m_values.Maker().nLive(), 0) << "values left";
    kqtest::BoundFrameworkTest::TearDown();
  }

  // A parse that must split the text into parts.
  CStandInSQLInfo* Parse(const wchar_t* pszText, CStandInQueryParameters* pclValues = nullptr) {
    CStandInSQLInfo* p = m_pParser->pclParse(pszText, pclValues);
    EXPECT_NE(p->piGetInfoRequete(), nullptr) << m_pParser->strGetLastError().size();
    return p;
  }

  kqtest::StandInAnyMakerScope m_values;
  std::unique_ptr<CStandInAnalysis> m_pAnalysis;
  std::unique_ptr<CStandInSQLParser> m_pParser;
  int m_nLiveBefore = 0;
  int m_nDescriptionsBefore = 0;
};

TEST_F(StandInSQLParser, AnswersVersion36AndTheReferenceWordFollowsTheTable) {
  CStandInSQLInfo* p = Parse(L"SELECT Name FROM Customer");
  ISQLParserInformation* pi = p;
  EXPECT_EQ(pi->nGetVersion(), 36);
  EXPECT_EQ(reinterpret_cast<int32_t*>(pi)[1], 1);
  SQLParserAddRefLocked(pi);
  EXPECT_EQ(p->nGetRefCount(), 2);
  EXPECT_EQ(pi->Release(), 1);
  IInfoRubrique* piColumn = Columns(pi->piGetInfoRequete())[0];
  SQLParserAddRefLocked(piColumn);
  EXPECT_EQ(piColumn->Release(), 1);
  EXPECT_EQ(pi->Release(), 0);
}

TEST_F(StandInSQLParser, LocatesAndResolvesTheColumnsTablesAndClausesOfASelect) {
  const std::wstring text =
      L"SELECT DISTINCT c.Name AS Who, o.Amount * 2 AS Twice, City FROM Customer AS c "
      L"JOIN Orders o ON o.CustomerId = c.Id WHERE c.City LIKE 'P!%%' ESCAPE '!' AND "
      L"o.Amount > 10 GROUP BY c.Name, City HAVING COUNT(*) > 1 ORDER BY Who DESC, 2 LIMIT 5";
  CStandInSQLInfo* p = Parse(text.c_str());
  ISQLParserInformation* pi = p;
  EXPECT_EQ(pi->eGetTypeRequete(), TYPEREQUETE_SELECT);
  EXPECT_EQ(std::wstring(pi->pszGetRequete()), text);
  IInfoRequete* piParts = pi->piGetInfoRequete();

  const std::vector<IInfoRubrique*> columns = Columns(piParts);
  ASSERT_EQ(columns.size(), 3u);
  struct Expected {
    const wchar_t *text, *name, *original, *file, *tableAlias;
    int computed, zbType, size;
  };
  const Expected expected[] = {
      {L"c.Name", L"Who", L"Name", L"Customer", L"c", 0, 2, 50},
      {L"o.Amount * 2", L"Twice", L"Twice", L"", L"", 1, 7, 8},
      {L"City", L"City", L"City", L"Customer", L"c", 0, 2, 30},
  };
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    IInfoRubrique* c = columns[i];
    EXPECT_EQ(Span(text, c->stGetPosition()), expected[i].text);
    EXPECT_EQ(std::wstring(c->pszGetTexte()), expected[i].text);
    EXPECT_EQ(std::wstring(c->pszGetNom()), expected[i].name);
    EXPECT_EQ(std::wstring(c->pszGetNomOriginal()), expected[i].original);
    EXPECT_EQ(std::wstring(c->pszGetNomFichier()), expected[i].file);
    EXPECT_EQ(std::wstring(c->pszGetNomTableAlias()), expected[i].tableAlias);
    EXPECT_EQ(c->bCalcul(), expected[i].computed);
    EXPECT_EQ(static_cast<int>(c->eGetZBType()), expected[i].zbType);
    EXPECT_EQ(c->nGetTaille(), expected[i].size);
    EXPECT_EQ(c->bVisible(), 1);
    IExpOpExpression* piExpr = c->piGetExpression();
    EXPECT_EQ(piExpr != nullptr, expected[i].computed == 1);
    if (piExpr != nullptr) {
      EXPECT_EQ(piExpr->eGetOperateur(), OPEXP_MULTIPLIE);
      EXPECT_EQ(Span(text, piExpr->stGetPositionElement()), L"*");
      piExpr->Release();
    }
  }

  const std::vector<IInfoFrom*> froms = Froms(piParts);
  ASSERT_EQ(froms.size(), 2u);
  EXPECT_EQ(std::wstring(froms[0]->pszGetNomTable()), L"Customer");
  EXPECT_EQ(std::wstring(froms[0]->pszGetAlias()), L"c");
  EXPECT_EQ(Span(text, froms[0]->stGetPosition()), L"Customer");
  EXPECT_EQ(Span(text, froms[0]->stGetPositionAlias()), L"c");
  EXPECT_EQ(Span(text, froms[1]->stGetPosition()), L"Orders");
  EXPECT_EQ(Span(text, froms[1]->stGetPositionAlias()), L"o");

  IInfoListeJointure* piJoins = piParts->piGetListeJointure();
  ASSERT_NE(piJoins, nullptr);
  ASSERT_EQ(piJoins->nGetNbJointure(), 1);
  EXPECT_EQ(piJoins->piGetJointure(1), nullptr);
  IExpOpExpression* piJoin = piJoins->piGetJointure(0);
  EXPECT_EQ(Span(text, piJoin->stGetPosition()), L"o.CustomerId = c.Id");
  piJoin->Release();
  EXPECT_EQ(piJoins->Release(), 1);

  // Clause positions and the four clause ends.
  EXPECT_EQ(Span(text, {pi->nGetDebutWhere(), 0, pi->nGetFinWhere(), 0}),
            L"WHERE c.City LIKE 'P!%%' ESCAPE '!' AND o.Amount > 10");
  EXPECT_EQ(Span(text, {pi->nGetDebutHaving(), 0, pi->nGetFinHaving(), 0}), L"HAVING COUNT(*) > 1");
  EXPECT_EQ(text.substr(static_cast<size_t>(pi->nGetDebutOrderBy()), 5), L"ORDER");
  EXPECT_EQ(text.substr(static_cast<size_t>(pi->nGetFinClauseOrderBy()) + 1), L" LIMIT 5");
  EXPECT_EQ(pi->nGetFinClauseHaving(), pi->nGetFinHaving());
  EXPECT_EQ(text.substr(static_cast<size_t>(pi->nGetFinClauseGroupBy()) + 1, 7), L" HAVING");
  EXPECT_EQ(pi->nGetFinClauseWhere(), pi->nGetFinWhere());
  EXPECT_EQ(text.substr(static_cast<size_t>(pi->nGetFinListeSelect()), 6), L" FROM ");

  // GROUP BY items.
  ASSERT_EQ(piParts->nGetGroupeNbr(), 2);
  int nCursor = 0;
  IInfoGroupe* piGroup = piParts->piEnumGroupe(&nCursor);
  EXPECT_EQ(Span(text, piGroup->stGetPosition()), L"c.Name");
  EXPECT_EQ(std::wstring(piGroup->vpszGetAlias()), L"c");
  EXPECT_EQ(piGroup->bIsAvecTable(), 1);
  EXPECT_EQ(std::wstring(piGroup->pszGetNomTable()), L"Customer");
  EXPECT_EQ(std::wstring(piGroup->pszGetNomRubrique()), L"Name");
  EXPECT_EQ(std::wstring(piGroup->pszGetNomFichier()), L"c");
  piGroup = piParts->piEnumGroupe(&nCursor);
  EXPECT_EQ(piGroup->bIsAvecTable(), 0);
  EXPECT_EQ(std::wstring(piGroup->pszGetNomFichier()), L"c");
  EXPECT_EQ(piParts->piEnumGroupe(&nCursor), nullptr);

  // ORDER BY items: by alias and by number.
  nCursor = 0;
  IInfoOrderBy* piOrder = piParts->piEnumOrderBy(&nCursor);
  EXPECT_EQ(piOrder->nGetIndiceRubriqueOUT(), 0);
  EXPECT_EQ(piOrder->eGetSensTri(), SENSTRI_DESCENDANT);
  EXPECT_EQ(Span(text, piOrder->stGetPosition()), L"Who");
  piOrder = piParts->piEnumOrderBy(&nCursor);
  EXPECT_EQ(piOrder->nGetIndiceRubriqueOUT(), 1);
  EXPECT_EQ(piOrder->eGetSensTri(), SENSTRI_ASCENDANT);
  EXPECT_EQ(pi->Release(), 0);
}

TEST_F(StandInSQLParser, BuildsExpressionTreesWhosePiecesAreLocated) {
  const std::wstring text =
      L"SELECT Name FROM Customer WHERE NOT (City IS NULL OR Notes IS NOT NULL) AND "
      L"Name NOT LIKE 'a''b\\%' ESCAPE '!' AND Id IN (SELECT CustomerId FROM Orders WHERE "
      L"Amount >= 1.5) AND City IN ('Paris', {town}) AND UPPER(Name) <> {who}";
  CStandInQueryParameters* pclValues = CStandInQueryParameters::pclNew();
  pclValues->SetValue(L"WHO", StandInValue::Text(L"Zoe"));
  CStandInSQLInfo* p = Parse(text.c_str(), pclValues);
  pclValues->Release();
  IExpOpExpression* piWhere = p->piGetConditionWhere();
  ASSERT_NE(piWhere, nullptr);
  EXPECT_EQ(Span(text, piWhere->stGetPosition()), text.substr(text.find(L"NOT (")));

  // Flatten the tree: operator, element text, whole text.
  struct Node {
    eOPEXPRESSION op;
    std::wstring element, whole;
  };
  std::vector<Node> nodes;
  std::vector<IExpOpExpression*> subQueries;
  std::vector<IExpOpExpression*> literals;
  auto walk = [&](auto&& self, IExpOpExpression* pi) -> void {
    nodes.push_back({pi->eGetOperateur(), Span(text, pi->stGetPositionElement()),
                     Span(text, pi->stGetPosition())});
    if (pi->eGetOperateur() == OPEXP_SOUS_REQUETE) {
      pi->AddRef();
      subQueries.push_back(pi);
    }
    if (pi->eGetOperateur() == OPEXP_LITTERAL) {
      pi->AddRef();
      literals.push_back(pi);
    }
    int n = 0;
    while (IExpOpExpression* piOperand = pi->piEnumOperande(&n)) {
      self(self, piOperand);
      piOperand->Release();
    }
  };
  walk(walk, piWhere);
  const Node expected[] = {
      {OPEXP_AND, L"AND", L""},
      {OPEXP_AND, L"AND", L""},
      {OPEXP_AND, L"AND", L""},
      {OPEXP_AND, L"AND", L""},
      {OPEXP_NOT, L"NOT", L"NOT (City IS NULL OR Notes IS NOT NULL)"},
      {OPEXP_PARENTHESES, L"(City IS NULL OR Notes IS NOT NULL)", L"(City IS NULL OR Notes IS NOT NULL)"},
      {OPEXP_OR, L"OR", L"City IS NULL OR Notes IS NOT NULL"},
      {OPEXP_IS_NULL, L"IS NULL", L"City IS NULL"},
      {OPEXP_COLONNE, L"City", L"City"},
      {OPEXP_IS_NOT_NULL, L"IS NOT NULL", L"Notes IS NOT NULL"},
      {OPEXP_COLONNE, L"Notes", L"Notes"},
      {OPEXP_NOT_LIKE, L"NOT LIKE", L"Name NOT LIKE 'a''b\\%' ESCAPE '!'"},
      {OPEXP_COLONNE, L"Name", L"Name"},
      {OPEXP_LITTERAL, L"'a''b\\%'", L"'a''b\\%'"},
      {OPEXP_IN, L"IN", L"Id IN (SELECT CustomerId FROM Orders WHERE Amount >= 1.5)"},
      {OPEXP_COLONNE, L"Id", L"Id"},
      {OPEXP_SOUS_REQUETE, L"SELECT CustomerId FROM Orders WHERE Amount >= 1.5",
       L"SELECT CustomerId FROM Orders WHERE Amount >= 1.5"},
      {OPEXP_IN, L"IN", L"City IN ('Paris', {town})"},
      {OPEXP_COLONNE, L"City", L"City"},
      {OPEXP_LISTE, L"('Paris', {town})", L"('Paris', {town})"},
      {OPEXP_LITTERAL, L"'Paris'", L"'Paris'"},
      {OPEXP_LITTERAL, L"{town}", L"{town}"},
      {OPEXP_DIFFERENT, L"<>", L"UPPER(Name) <> {who}"},
      {OPEXP_UPPER, L"UPPER", L"UPPER(Name)"},
      {OPEXP_COLONNE, L"Name", L"Name"},
      {OPEXP_LITTERAL, L"{who}", L"{who}"},
  };
  ASSERT_EQ(nodes.size(), std::size(expected));
  for (size_t i = 0; i < nodes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(nodes[i].op, expected[i].op);
    EXPECT_EQ(nodes[i].element, expected[i].element);
    if (!expected[i].whole.empty()) {
      EXPECT_EQ(nodes[i].whole, expected[i].whole);
    }
  }
  EXPECT_EQ(piWhere->piGetOperandeGauche()->Release(), 1);  // operands carry one reference

  // LIKE: escape character; literals: values as the server's values.
  ASSERT_EQ(literals.size(), 4u);
  EXPECT_EQ(std::wstring(literals[0]->pszGetTexteLitteral()), L"a'b\\%");
  {
    CAny value;
    ASSERT_EQ(literals[0]->bGetValeur(&value), 1);
    EXPECT_EQ(value.nGetTypeCode(), VX_PSTRW);
    const wchar_t* psz = nullptr;
    ASSERT_LT(value.__nCastToString(&psz, nullptr), 100);
    EXPECT_EQ(std::wstring(psz), L"a'b\\%");
  }
  EXPECT_EQ(std::wstring(literals[2]->pszGetNomParametre()), L"town");
  {
    CAny value;
    EXPECT_EQ(literals[2]->bGetValeur(&value), 0) << "a parameter without value gives none";
    ASSERT_EQ(literals[3]->bGetValeur(&value), 1);
    const wchar_t* psz = nullptr;
    ASSERT_LT(value.__nCastToString(&psz, nullptr), 100);
    EXPECT_EQ(std::wstring(psz), L"Zoe");
  }
  for (IExpOpExpression* pi : literals) pi->Release();

  // The sub-query: a parsed query of its own, located in the whole text.
  ASSERT_EQ(subQueries.size(), 1u);
  ISQLParserInformation* piSub = subQueries[0]->piGetSousRequete();
  ASSERT_NE(piSub, nullptr);
  EXPECT_EQ(piSub->eGetTypeRequete(), TYPEREQUETE_SELECT);
  const std::vector<IInfoFrom*> froms = Froms(piSub->piGetInfoRequete());
  ASSERT_EQ(froms.size(), 1u);
  EXPECT_EQ(Span(text, froms[0]->stGetPosition()), L"Orders");
  EXPECT_EQ(Span(text, {piSub->nGetDebutWhere(), 0, piSub->nGetFinWhere(), 0}),
            L"WHERE Amount >= 1.5");
  EXPECT_EQ(piSub->Release(), 1);
  subQueries[0]->Release();

  // Column nodes know their engine types from the analysis.
  IExpOpExpression* piLeft = piWhere->piGetOperandeDroit();  // UPPER(Name) <> {who}
  IExpOpExpression* piUpper = piLeft->piGetOperandeGauche();
  IExpOpExpression* piName = piUpper->piGetOperandeGauche();
  EXPECT_EQ(static_cast<int>(piName->eGetZBType()), 2);
  EXPECT_EQ(static_cast<int>(piUpper->eGetZBType()), 2) << "typed once its column is known";
  EXPECT_EQ(static_cast<int>(piWhere->eGetZBType()), 37);
  EXPECT_EQ(std::wstring(piName->pszGetNomRubrique()), L"Name");
  EXPECT_EQ(std::wstring(piName->pszGetNomFichier()), L"");
  piName->Release();
  piUpper->Release();
  piLeft->Release();
  piWhere->Release();
  EXPECT_EQ(p->Release(), 0);
}

TEST_F(StandInSQLParser, LikeKeepsItsEscapeCharacter) {
  CStandInSQLInfo* p = Parse(L"SELECT Name FROM Customer WHERE Name LIKE 'a!%' ESCAPE '!'");
  IExpOpExpression* piLike = p->piGetConditionWhere();
  EXPECT_EQ(piLike->eGetOperateur(), OPEXP_LIKE);
  EXPECT_EQ(piLike->cGetEscape(), L'!');
  piLike->Release();
  p->Release();
  p = Parse(L"SELECT Name FROM Customer WHERE Name LIKE 'a%'");
  piLike = p->piGetConditionWhere();
  EXPECT_EQ(piLike->cGetEscape(), L'\0');
  piLike->Release();
  p->Release();
}

TEST_F(StandInSQLParser, AStarStandsForTheItemsOfTheTablesUnlocated) {
  CStandInSQLInfo* p = Parse(L"SELECT * FROM Customer");
  EXPECT_EQ(p->nGetFinListeSelect(), 1);
  std::vector<IInfoRubrique*> columns = Columns(p->piGetInfoRequete());
  ASSERT_EQ(columns.size(), 4u);
  const wchar_t* const names[] = {L"Id", L"Name", L"City", L"Notes"};
  const int types[] = {24, 2, 2, 15};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(std::wstring(columns[i]->pszGetNom()), names[i]);
    EXPECT_EQ(std::wstring(columns[i]->pszGetNomTableAlias()), L"Customer");
    EXPECT_EQ(static_cast<int>(columns[i]->eGetZBType()), types[i]);
    EXPECT_EQ(columns[i]->stGetPosition().nDebut, 0);
    EXPECT_EQ(columns[i]->stGetPosition().nFin, 0);
  }
  p->Release();

  const std::wstring text = L"SELECT o.*, c.Name FROM Orders o, Customer c";
  p = Parse(text.c_str());
  columns = Columns(p->piGetInfoRequete());
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(std::wstring(columns[2]->pszGetNom()), L"Amount");
  EXPECT_EQ(Span(text, columns[3]->stGetPosition()), L"c.Name");
  EXPECT_EQ(text.substr(static_cast<size_t>(p->nGetFinListeSelect()), 5), L" FROM");
  p->Release();
}

TEST_F(StandInSQLParser, OrderByItemsOutsideTheListGetHiddenColumnsOrIndexesOutOfRange) {
  CStandInSQLInfo* p = Parse(L"SELECT Name FROM Customer ORDER BY City, 7, 0");
  IInfoRequete* piParts = p->piGetInfoRequete();
  std::vector<IInfoRubrique*> columns = Columns(piParts);
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[1]->bVisible(), 0);
  EXPECT_EQ(std::wstring(columns[1]->pszGetNom()), L"City");
  int n = 0;
  EXPECT_EQ(piParts->piEnumOrderBy(&n)->nGetIndiceRubriqueOUT(), 1);
  EXPECT_EQ(piParts->piEnumOrderBy(&n)->nGetIndiceRubriqueOUT(), 6);
  EXPECT_EQ(piParts->piEnumOrderBy(&n)->nGetIndiceRubriqueOUT(), -1);
  EXPECT_EQ(piParts->piEnumOrderBy(&n), nullptr);
  EXPECT_EQ(piParts->piEnumOrderBy(&n), nullptr);
  p->Release();
}

TEST_F(StandInSQLParser, GivesTheAssignmentsOfAnUpdateAndTheItemsOfAnInsert) {
  const std::wstring update = L"UPDATE Customer c SET Name = 'x', c.City = UPPER(City) WHERE Id = {id}";
  CStandInSQLInfo* p = Parse(update.c_str());
  EXPECT_EQ(p->eGetTypeRequete(), TYPEREQUETE_UPDATE);
  IInfoRequete* piParts = p->piGetInfoRequete();
  int n = 0;
  std::vector<std::pair<std::wstring, std::wstring>> assignments;
  while (IInfoAffectation* pi = piParts->piEnumAffectation(&n)) {
    IExpOpExpression* piColumn = pi->piGetColonne();
    IExpOpExpression* piValue = pi->piGetValeur();
    EXPECT_EQ(piColumn->eGetOperateur(), OPEXP_COLONNE);
    assignments.emplace_back(Span(update, piColumn->stGetPositionElement()),
                             Span(update, piValue->stGetPosition()));
    piColumn->Release();
    piValue->Release();
  }
  ASSERT_EQ(assignments.size(), 2u);
  EXPECT_EQ(assignments[0], (std::pair<std::wstring, std::wstring>{L"Name", L"'x'"}));
  EXPECT_EQ(assignments[1], (std::pair<std::wstring, std::wstring>{L"c.City", L"UPPER(City)"}));
  EXPECT_EQ(Froms(piParts).size(), 1u);
  p->Release();

  const std::wstring insert = L"INSERT INTO Orders (OrderId, Amount) VALUES (1, -2.5)";
  p = Parse(insert.c_str());
  EXPECT_EQ(p->eGetTypeRequete(), TYPEREQUETE_INSERT);
  piParts = p->piGetInfoRequete();
  n = 0;
  std::vector<std::pair<std::wstring, std::wstring>> items;
  while (IInfoInsertion* pi = piParts->piEnumInsertion(&n)) {
    IExpOpExpression* piColumn = pi->piGetColonne();
    IExpOpExpression* piValue = pi->piGetValeur();
    items.emplace_back(Span(insert, piColumn->stGetPositionElement()),
                       Span(insert, piValue->stGetPosition()));
    piColumn->Release();
    piValue->Release();
  }
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1], (std::pair<std::wstring, std::wstring>{L"Amount", L"-2.5"}));
  p->Release();

  p = Parse(L"DELETE FROM Orders WHERE Amount < 0");
  EXPECT_EQ(p->eGetTypeRequete(), TYPEREQUETE_DELETE);
  p->Release();
}

TEST_F(StandInSQLParser, TextsOutsideTheSubsetAreNotSplitAndKeepTheirMarkers) {
  const wchar_t* const texts[] = {
      L"CALL proc({a}, '{not}', {b})",
      L"SELECT Name FROM Customer -- {a} {b}",
      L"SELECT Name FROM Customer WHERE Name = 'open {a} {b}",
      L"SELECT FROM",
      L"INSERT INTO Orders (OrderId) VALUES (1, 2) {a} {b}",
      L"SELECT TOP FROM Customer {a}{b}",
      L"",
  };
  for (const wchar_t* psz : texts) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(psz)));
    CStandInSQLInfo* p = m_pParser->pclParse(psz);
    EXPECT_FALSE(m_pParser->strGetLastError().empty());
    EXPECT_EQ(p->piGetInfoRequete(), nullptr);
    EXPECT_EQ(p->eGetTypeRequete(), TYPEREQUETE_INCONNUE);
    EXPECT_EQ(p->piGetConditionWhere(), nullptr);
    EXPECT_EQ(std::wstring(p->pszGetRequete()), psz);
    CTabValParser* pclMarkers = p->piGetTabValParserMarqueur();
    ASSERT_NE(pclMarkers, nullptr);
    const std::wstring text = psz;
    std::vector<std::wstring> names;
    for (int i = 0; i < pclMarkers->nGetMarqueurNbr(); ++i) {
      const _stTabValMarqueur* m = pclMarkers->pstGetMarqueur(i);
      EXPECT_EQ(text.substr(static_cast<size_t>(m->nDebut), static_cast<size_t>(m->nLongueur)),
                L"{" + std::wstring(m->pszNom) + L"}");
      EXPECT_EQ(m->dwFlags, kTabValFlagUserParameter);
      EXPECT_EQ(m->pclValeur, nullptr);
      names.push_back(m->pszNom);
    }
    EXPECT_EQ(pclMarkers->pstGetMarqueur(-1), nullptr);
    EXPECT_EQ(pclMarkers->pstGetMarqueur(pclMarkers->nGetMarqueurNbr()), nullptr);
    if (text.find(L"{a}") == std::wstring::npos || text.find(L"'open") != std::wstring::npos) {
      EXPECT_TRUE(names.empty());
    } else {
      EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"b"}));
    }
    EXPECT_EQ(p->Release(), 0);
  }
}

TEST_F(StandInSQLParser, TheTokenTableHoldsTheNameReferencesAndMarkersInTextOrder) {
  const std::wstring text =
      L"SELECT c.Name, LOWER(City) FROM Customer c WHERE Id = {id} AND c.City <> {town} "
      L"GROUP BY c.Name ORDER BY `City`, 1";
  CStandInSQLInfo* p = Parse(text.c_str());
  EXPECT_EQ(p->piGetTabValParserMarqueur(), nullptr);
  CTabValParser* pclTokens = p->piGetTabValParser();
  ASSERT_NE(pclTokens, nullptr);
  std::vector<std::wstring> references;
  int nPrevious = -1;
  for (int i = 0; i < pclTokens->nGetReferenceNbr(); ++i) {
    const _stTabValReference* r = pclTokens->pstGetReference(i);
    EXPECT_GT(r->nDebut, nPrevious);
    nPrevious = r->nDebut;
    const std::wstring written =
        text.substr(static_cast<size_t>(r->nDebut), static_cast<size_t>(r->nLongueur));
    std::wstring composed =
        r->pszNomTable[0] != 0 ? std::wstring(r->pszNomTable) + L"." + r->pszNomRubrique
                               : std::wstring(r->pszNomRubrique);
    if (written[0] == L'`') composed = L"`" + composed + L"`";
    EXPECT_EQ(written, composed);
    references.push_back(written);
  }
  EXPECT_EQ(references, (std::vector<std::wstring>{L"c.Name", L"City", L"Id", L"c.City", L"c.Name",
                                                   L"`City`"}));
  ASSERT_EQ(pclTokens->nGetMarqueurNbr(), 2);
  EXPECT_EQ(std::wstring(pclTokens->pstGetMarqueur(0)->pszNom), L"id");
  EXPECT_EQ(std::wstring(pclTokens->pstGetMarqueur(1)->pszNom), L"town");
  p->Release();
}

TEST_F(StandInSQLParser, TheTokenTableOfATextNotSplitHoldsItsNameReferences) {
  // A comment keeps the text from being split: its names are found by
  // scanning, outside literals, quoted texts and comments; functions, files
  // and unknown qualifiers are no names.
  const std::wstring text =
      L"SELECT Name, `City`, UPPER(Name), o.Amount, Orders . Amount FROM Customer, Orders o "
      L"WHERE Name = 'Name' AND City <> 'it''s Name' AND \"City\" = {town} # City";
  CStandInSQLInfo* p = m_pParser->pclParse(text.c_str());
  EXPECT_EQ(p->piGetInfoRequete(), nullptr);
  CTabValParser* pclTokens = p->piGetTabValParser();
  std::vector<std::wstring> references;
  for (int i = 0; i < pclTokens->nGetReferenceNbr(); ++i) {
    const _stTabValReference* r = pclTokens->pstGetReference(i);
    references.push_back(
        text.substr(static_cast<size_t>(r->nDebut), static_cast<size_t>(r->nLongueur)) + L"|" +
        r->pszNomTable + L"|" + r->pszNomRubrique);
  }
  EXPECT_EQ(references, (std::vector<std::wstring>{L"Name||Name", L"`City`||City", L"Name||Name",
                                                   L"Orders . Amount|Orders|Amount",
                                                   L"Name||Name", L"City||City"}));
  EXPECT_EQ(pclTokens->nGetMarqueurNbr(), 1);
  if (pclTokens->nGetMarqueurNbr() == 1) {
    EXPECT_EQ(std::wstring(pclTokens->pstGetMarqueur(0)->pszNom), L"town");
  }
  // Lone names are looked up in the files the text names.
  for (const wchar_t* psz : {L"Amount", L"city"}) {
    INAItemDescription* piItem = p->piGetNAItemDescription(L"", psz);
    EXPECT_NE(piItem, nullptr) << psz;
    if (piItem != nullptr) piItem->nExternalRelease();
  }
  EXPECT_EQ(p->piGetNAItemDescription(nullptr, L"Nowhere"), nullptr);
  p->Release();
}

TEST_F(StandInSQLParser, ASubQueryMayEndWithItsOwnLimit) {
  const std::wstring text =
      L"SELECT Name FROM Customer WHERE Id = (SELECT MAX(CustomerId) FROM Orders ORDER BY "
      L"Amount DESC LIMIT 1) AND City = 'x' ORDER BY Name";
  CStandInSQLInfo* p = Parse(text.c_str());
  IExpOpExpression* piWhere = p->piGetConditionWhere();
  ASSERT_NE(piWhere, nullptr);
  EXPECT_EQ(Span(text, piWhere->stGetPosition()),
            text.substr(text.find(L"Id ="), text.rfind(L" ORDER") - text.find(L"Id =")));
  IExpOpExpression* piEqual = piWhere->piGetOperandeGauche();
  IExpOpExpression* piParentheses = piEqual->piGetOperandeDroit();
  IExpOpExpression* piSub = piParentheses->piGetOperandeGauche();
  EXPECT_EQ(piSub->eGetOperateur(), OPEXP_SOUS_REQUETE);
  EXPECT_EQ(Span(text, piSub->stGetPosition()),
            L"SELECT MAX(CustomerId) FROM Orders ORDER BY Amount DESC LIMIT 1");
  ISQLParserInformation* piSubQuery = piSub->piGetSousRequete();
  EXPECT_EQ(text.substr(static_cast<size_t>(piSubQuery->nGetDebutOrderBy()), 14), L"ORDER BY Amoun");
  EXPECT_EQ(text.substr(static_cast<size_t>(piSubQuery->nGetFinClauseOrderBy()) + 1, 8),
            L" LIMIT 1");
  EXPECT_EQ(text.substr(static_cast<size_t>(p->nGetDebutOrderBy())), L"ORDER BY Name");
  piSubQuery->Release();
  piSub->Release();
  piParentheses->Release();
  piEqual->Release();
  piWhere->Release();
  p->Release();
  p = m_pParser->pclParse(L"SELECT Name FROM Customer WHERE Id IN (SELECT Id FROM Customer LIMIT)");
  EXPECT_EQ(p->piGetInfoRequete(), nullptr) << "a LIMIT without its number is no sub-query";
  p->Release();
}

TEST_F(StandInSQLParser, DateAndTimeColumnsAnswerTheirEngineTypes) {
  // The driver's engine codes of DATE8, DATETIME and HEURE items (its table
  // turns them back into item types 14, 24 and 11), so that the literals
  // compared with them are typed after them.
  auto* pclEvents = CStandInDescription::pclNew(
      L"Events", {Item(L"Day", 14, 8), Item(L"At", 24, 8), Item(L"Hour", 11, 10)}, 12);
  m_pAnalysis->AddTable(pclEvents, L"events_tbl");
  pclEvents->nExternalRelease();
  const std::wstring text =
      L"SELECT Day FROM Events WHERE Day >= '2019' AND At < '20240229103000000' AND Hour = '1030'";
  CStandInSQLInfo* p = Parse(text.c_str());
  std::vector<std::pair<std::wstring, int>> columns;
  auto walk = [&](auto&& self, IExpOpExpression* pi) -> void {
    if (pi->eGetOperateur() == OPEXP_COLONNE)
      columns.emplace_back(pi->pszGetNomRubrique(), static_cast<int>(pi->eGetZBType()));
    int n = 0;
    while (IExpOpExpression* piOperand = pi->piEnumOperande(&n)) {
      self(self, piOperand);
      piOperand->Release();
    }
  };
  IExpOpExpression* piWhere = p->piGetConditionWhere();
  walk(walk, piWhere);
  piWhere->Release();
  EXPECT_EQ(columns, (std::vector<std::pair<std::wstring, int>>{{L"Day", 14}, {L"At", 34},
                                                                {L"Hour", 11}}));
  EXPECT_EQ(static_cast<int>(Columns(p->piGetInfoRequete())[0]->eGetZBType()), 14);
  p->Release();
}

TEST_F(StandInSQLParser, TheWholeOfEveryNodeHoldsItsElementAndItsOperands) {
  // The rewrite copies the text between located pieces: a node's pieces lie
  // inside its whole, in text order, and never overlap.
  const wchar_t* const texts[] = {
      L"SELECT Name FROM Customer WHERE NOT (City LIKE 'a!%' ESCAPE '!' OR -Id * 2 >= 4) AND "
      L"Id IN (1, {two}) AND Notes IS NOT NULL AND CONCAT(Name, City) || 'x' <> Name",
      L"SELECT o.Amount + 1 AS a, COUNT(*) FROM Orders o JOIN Customer c ON o.CustomerId = c.Id "
      L"GROUP BY o.Amount HAVING SUM(o.Amount) > (SELECT MIN(Amount) FROM Orders)",
      L"UPDATE Orders SET Amount = Amount * 1.5 WHERE OrderId = 3",
      L"INSERT INTO Orders (OrderId, Amount) VALUES (-1, (2 + 3) / 4)",
  };
  for (const wchar_t* psz : texts) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(psz)));
    const std::wstring text = psz;
    CStandInSQLInfo* p = Parse(psz);
    std::vector<IExpOpExpression*> roots;
    if (IExpOpExpression* pi = p->piGetConditionWhere()) roots.push_back(pi);
    if (IExpOpExpression* pi = p->piGetConditionHaving()) roots.push_back(pi);
    for (IInfoRubrique* c : Columns(p->piGetInfoRequete())) {
      if (IExpOpExpression* pi = c->piGetExpression()) roots.push_back(pi);
    }
    if (IInfoListeJointure* piJoins = p->piGetInfoRequete()->piGetListeJointure()) {
      roots.push_back(piJoins->piGetJointure(0));
      piJoins->Release();
    }
    int n = 0;
    while (IInfoAffectation* pi = p->piGetInfoRequete()->piEnumAffectation(&n))
      roots.push_back(pi->piGetValeur());
    n = 0;
    while (IInfoInsertion* pi = p->piGetInfoRequete()->piEnumInsertion(&n))
      roots.push_back(pi->piGetValeur());
    ASSERT_FALSE(roots.empty());
    auto check = [&](auto&& self, IExpOpExpression* pi) -> void {
      const _stPositionSQL whole = pi->stGetPosition();
      const _stPositionSQL element = pi->stGetPositionElement();
      EXPECT_NE(Span(text, whole), L"<out of range>");
      EXPECT_LE(whole.nDebut, element.nDebut);
      EXPECT_GE(whole.nFin, element.nFin);
      int nCursor = 0, nAfter = whole.nDebut;
      while (IExpOpExpression* piOperand = pi->piEnumOperande(&nCursor)) {
        const _stPositionSQL o = piOperand->stGetPosition();
        EXPECT_GE(o.nDebut, nAfter) << Span(text, o);
        EXPECT_LE(o.nFin, whole.nFin) << Span(text, o);
        nAfter = o.nFin + 1;
        self(self, piOperand);
        piOperand->Release();
      }
    };
    for (IExpOpExpression* pi : roots) {
      check(check, pi);
      pi->Release();
    }
    p->Release();
  }
}

TEST_F(StandInSQLParser, AnswersDescriptionsAndPhysicalNamesFromTheAnalysis) {
  CStandInSQLInfo* p = Parse(L"SELECT c.Name, Amount + 1 FROM Customer c, Orders");
  ISQLParserInformation* pi = p;
  const std::vector<IInfoRubrique*> columns = Columns(pi->piGetInfoRequete());
  INAItemDescription* piItem = pi->piGetItemDescription(columns[0]);
  ASSERT_NE(piItem, nullptr);
  EXPECT_EQ(std::wstring(piItem->pszGetName()), L"Name");
  piItem->nExternalRelease();
  EXPECT_EQ(pi->piGetItemDescription(columns[1]), nullptr) << "a computed column has none";

  struct Case {
    const wchar_t *table, *item, *expected;
  };
  const Case cases[] = {{L"c", L"city", L"City"},         {L"Customer", L"ID", L"Id"},
                        {L"", L"Amount", L"Amount"},      {nullptr, L"Notes", L"Notes"},
                        {L"Orders", L"Name", nullptr},    {L"Nowhere", L"Name", nullptr},
                        {L"c", L"", nullptr}};
  for (const Case& c : cases) {
    INAItemDescription* piFound = pi->piGetNAItemDescription(c.table, c.item);
    EXPECT_EQ(piFound != nullptr, c.expected != nullptr) << c.item;
    if (piFound == nullptr) continue;
    EXPECT_EQ(std::wstring(piFound->pszGetName()), c.expected);
    piFound->nExternalRelease();
  }

  const std::vector<IInfoFrom*> froms = Froms(pi->piGetInfoRequete());
  INADataSourceDescription* piSource = pi->piGetFromDataSourceDescription(froms[0]);
  ASSERT_NE(piSource, nullptr);
  EXPECT_EQ(std::wstring(piSource->pszGetLogicalName()), L"Customer");
  piSource->nExternalRelease();
  piSource = pi->piGetNADataSourceDescription(L"C");
  ASSERT_NE(piSource, nullptr) << "an alias of the query names its table";
  piSource->nExternalRelease();
  EXPECT_EQ(pi->piGetNADataSourceDescription(L"Nowhere"), nullptr);

  // Physical names: answered with their length, written only when they fit.
  wchar_t buffer[9];
  EXPECT_EQ(pi->GetPhysicalName(L"CUSTOMER", buffer, 9), 8);
  EXPECT_EQ(std::wstring(buffer), L"cust_tbl");
  wmemset(buffer, L'#', 9);
  EXPECT_EQ(pi->GetPhysicalName(L"Customer", buffer, 8), 8);
  EXPECT_EQ(buffer[0], L'\0');
  EXPECT_EQ(buffer[1], L'#') << "nothing written past the terminator";
  EXPECT_EQ(pi->GetPhysicalName(L"Orders", buffer, 9), 0);
  EXPECT_EQ(pi->GetPhysicalName(L"c", buffer, 9), 0) << "an alias has no physical name";
  EXPECT_EQ(pi->GetPhysicalName(nullptr, buffer, 9), 0);
  p->Release();
}

TEST_F(StandInSQLParser, RaisesFaultsOnDemand) {
  CStandInSQLInfo* p = Parse(L"SELECT Name FROM Customer");
  ISQLParserInformation* pi = p;
  IInfoRubrique* piColumn = Columns(pi->piGetInfoRequete())[0];
  wchar_t buffer[261];
  struct Case {
    unsigned fault;
    int slot;
  };
  for (const Case c : {Case{CStandInAnalysis::kFaultItemDescription, 21},
                       Case{CStandInAnalysis::kFaultPhysicalName, 33},
                       Case{CStandInAnalysis::kFaultAliasSearch, 3}}) {
    m_pAnalysis->SetFaults(c.fault);
    int nThrown = 0;
    try {
      if (c.slot == 21) pi->piGetItemDescription(piColumn);
      if (c.slot == 33) pi->GetPhysicalName(L"Customer", buffer, 261);
      if (c.slot == 3) piColumn->pszGetNomFichier();
    } catch (const StandInParserFault& e) {
      nThrown = e.nSlot;
    }
    EXPECT_EQ(nThrown, c.slot);
  }
  m_pAnalysis->SetFaults(0);
  EXPECT_EQ(std::wstring(piColumn->pszGetNomFichier()), L"Customer");
  p->Release();
}

TEST_F(StandInSQLParser, ParsesAConditionOverOneTable) {
  const std::wstring condition = L"Name LIKE 'A%' AND City = {town}";
  CStandInSQLInfo* p = m_pParser->pclParseCondition(L"Customer", condition.c_str());
  ASSERT_NE(p->piGetInfoRequete(), nullptr);
  EXPECT_EQ(std::wstring(p->pszGetTexteCondition()), condition);
  IExpOpExpression* piTree = p->piGetConditionWhere();
  ASSERT_NE(piTree, nullptr);
  EXPECT_EQ(Span(condition, piTree->stGetPosition()), condition);
  piTree->Release();
  EXPECT_EQ(p->nGetFinClauseWhere(), -1);
  INAItemDescription* piItem = p->piGetNAItemDescription(nullptr, L"City");
  ASSERT_NE(piItem, nullptr);
  piItem->nExternalRelease();
  p->Release();

  p = m_pParser->pclParseCondition(L"Customer", L"Name LIKE");
  EXPECT_EQ(p->piGetConditionWhere(), nullptr);
  p->Release();
}

TEST_F(StandInSQLParser, RandomTextsNeverCrashAndLeaveNothingBehind) {
  // Pieces of the subset and of what lies outside it, put together at random:
  // every text gives a query (split or not) whose located pieces lie inside
  // the text.
  const wchar_t* const pieces[] = {
      L"SELECT ", L"FROM ", L"WHERE ", L"Customer ", L"c ", L"Name ", L"c.", L"* ", L", ",
      L"( ", L") ", L"= ", L"'x' ", L"'it''s' ", L"{p} ", L"AND ", L"OR ", L"NOT ", L"LIKE ",
      L"ESCAPE '!' ", L"IN ", L"IS NULL ", L"ORDER BY ", L"GROUP BY ", L"HAVING ", L"1 ",
      L"COUNT(*) ", L"JOIN Orders o ON ", L"o.Amount ", L"DESC ", L"LIMIT 3", L"; ", L"`q``x` ",
      L"'", L"{", L"}", L"--", L"UPDATE ", L"SET ", L"INSERT INTO ", L"VALUES ", L"\u00e9 "};
  std::mt19937 rng(20);
  for (int n = 0; n < 3000; ++n) {
    std::wstring text;
    const int nPieces = 1 + static_cast<int>(rng() % 14);
    if (rng() % 2) text = L"SELECT Name FROM Customer ";
    for (int i = 0; i < nPieces; ++i) text += pieces[rng() % std::size(pieces)];
    CStandInSQLInfo* p = m_pParser->pclParse(text.c_str());
    // Every token of the token table lies inside the text, in text order.
    const CTabValParser* pclTokens = p->piGetTabValParser();
    int nLast = -1;
    for (int i = 0; i < pclTokens->nGetReferenceNbr(); ++i) {
      const _stTabValReference* r = pclTokens->pstGetReference(i);
      ASSERT_TRUE(r->nDebut > nLast && r->nLongueur > 0 &&
                  r->nDebut + r->nLongueur <= static_cast<int>(text.size()))
          << testing::PrintToString(text);
      nLast = r->nDebut + r->nLongueur - 1;
    }
    for (int i = 0; i < pclTokens->nGetMarqueurNbr(); ++i) {
      const _stTabValMarqueur* m = pclTokens->pstGetMarqueur(i);
      ASSERT_LE(m->nDebut + m->nLongueur, static_cast<int>(text.size()));
    }
    if (IInfoRequete* piParts = p->piGetInfoRequete()) {
      for (IInfoRubrique* c : Columns(piParts)) {
        const _stPositionSQL pos = c->stGetPosition();
        if (pos.nFin != 0) {
          ASSERT_NE(Span(text, pos), L"<out of range>") << testing::PrintToString(text);
        }
      }
      if (IExpOpExpression* piWhere = p->piGetConditionWhere()) {
        ASSERT_NE(Span(text, piWhere->stGetPosition()), L"<out of range>");
        piWhere->Release();
      }
    }
    ASSERT_EQ(p->Release(), 0);
  }
}

TEST_F(StandInSQLParser, ParameterValuesAnswerByNameWithTheirDirections) {
  CStandInQueryParameters* pclValues = CStandInQueryParameters::pclNew();
  INAQueryParametersValue* pi = pclValues;
  pclValues->SetValue(L"Town", StandInValue::Text(L"Paris"));
  pclValues->SetValue(L"Count", StandInValue::Integer(5000000000LL), kQueryParamInOut);
  pclValues->SetNoValue(L"Out", kQueryParamOut);
  pclValues->SetValue(L"Gone", StandInValue::Real(1.5));
  pclValues->SetNoValue(L"gone");
  EXPECT_EQ(pi->nGetNbParametre(), 4);
  EXPECT_EQ(pi->bPrepareRequeteCalled(), 0);
  pclValues->SetPrepared(true);
  EXPECT_EQ(pi->bPrepareRequeteCalled(), 1);
  EXPECT_EQ(pi->nGetParameterDirection(L"TOWN"), kQueryParamIn);
  EXPECT_EQ(pi->nGetParameterDirection(L"count"), kQueryParamInOut);
  EXPECT_EQ(pi->nGetParameterDirection(L"Out"), kQueryParamOut);
  EXPECT_EQ(pi->nGetParameterDirection(L"Nobody"), kQueryParamUnknown);
  EXPECT_EQ(pi->pclGetParameterValue(L"Out"), nullptr);
  EXPECT_EQ(pi->pclGetParameterValue(L"Gone"), nullptr);
  EXPECT_EQ(pi->pclGetParameterValue(L"Nobody"), nullptr);
  const CAny* pclTown = pi->pclGetParameterValue(L"town");
  ASSERT_NE(pclTown, nullptr);
  EXPECT_EQ(pclTown->nGetTypeCode(), VX_PSTRW);
  const CAny* pclCount = pi->pclGetParameterValue(L"COUNT");
  ASSERT_NE(pclCount, nullptr);
  long long ll = 0;
  EXPECT_LT(pclCount->nGetINT_64(&ll), 100);
  EXPECT_EQ(ll, 5000000000LL);
  EXPECT_EQ(std::wstring(pi->pszGetNomParametre(0)), L"Town");
  EXPECT_EQ(pi->pszGetNomParametre(4), nullptr);
  EXPECT_EQ(pi->AddRef(), 2);
  EXPECT_EQ(pi->Release(), 1);
  EXPECT_EQ(pi->Release(), 0);
}

}  // namespace
