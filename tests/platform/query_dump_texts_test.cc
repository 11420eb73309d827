// The query-dump captions: loaded from the numbered messages (the server's
// loader first, then the driver's block) with fallbacks, released by the
// framework's end, and loaded again without leaking the first texts.
#include "platform/query_dump_texts.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "core/module_entry.h"
#include "core/numbered_messages.h"
#include "core/wide_string.h"
#include "tests/support/bound_framework.h"

namespace {

using QueryDumpTexts = kqtest::BoundFrameworkTest;

wchar_t** const kStatics[] = {
    &CKQVariant::s_pszDumpVXType,          &CKQVariant::s_pszDumpADOType,
    &CKQVariant::s_pszDumpValue,           &CKQVariant::s_pszDumpTime,
    &CKQVariant::s_pszDumpDate,            &CKQVariant::s_pszDumpConvFailed_Text,
    &CKQVariant::s_pszDumpConvFailed_Date, &CKQVariant::s_pszDumpConvFailed_Time,
};

TEST_F(QueryDumpTexts, FreeWithoutInitDoesNothing) {
  CKQVariant::FreeQueryDumpRessources();
  for (wchar_t** pp : kStatics) EXPECT_EQ(*pp, nullptr);
}

TEST_F(QueryDumpTexts, CaptionsComeFromTheMessagesOrTheirFallbacks) {
  CKQVariant::InitQueryDumpRessources();
  for (wchar_t** pp : kStatics) ASSERT_NE(*pp, nullptr);
  const unsigned int numbers[] = {25675, 25680, 25670, 25669, 25671, 25674, 25672, 25673};
  const wchar_t* fallbacks[] = {L"Type Orvatic",
                                L"Type ADO",
                                L"Valeur",
                                L"Heure",
                                L"Date",
                                L"Echec de la conversion de la valeur en texte.",
                                L"Echec de la conversion de la valeur en date",
                                L"Echec de la conversion de la valeur en heure"};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(numbers[i]);
    CTString clMessage;
    if (DLLRES_bLoadString(&gstMyModuleInfo76, numbers[i], &clMessage)) {
      EXPECT_STREQ(*kStatics[i], clMessage.pszGet());
    } else {
      EXPECT_STREQ(*kStatics[i], fallbacks[i]);
    }
  }
  CKQVariant::FreeQueryDumpRessources();
  for (wchar_t** pp : kStatics) EXPECT_EQ(*pp, nullptr);
}

int LoaderWithoutLanguageType(unsigned int nNumber, wchar_t* pszBuffer, int nCapacity) {
  if (nNumber != 25680) return 0;  // everything else: not found here
  return static_cast<int>(std::swprintf(pszBuffer, static_cast<size_t>(nCapacity), L"%ls", L"Loader ADO"));
}

TEST_F(QueryDumpTexts, TheServersLoaderComesFirst) {
  gpfnLoadStringKQM = &LoaderWithoutLanguageType;
  CKQVariant::InitQueryDumpRessources();
  gpfnLoadStringKQM = nullptr;
  EXPECT_STREQ(CKQVariant::s_pszDumpADOType, L"Loader ADO");
  CKQVariant::FreeQueryDumpRessources();
}

// A message table that lacks the language type's caption (25675).
int TableWithoutLanguageType(unsigned int nNumber, CTString* pclText) {
  if (nNumber == 25675) return 0;
  pclText->printf(L"message %u", nNumber);
  return 1;
}

TEST_F(QueryDumpTexts, AMissingMessageGivesItsFallback) {
  CKQVariant::__InitQueryDumpRessources(&TableWithoutLanguageType);
  EXPECT_STREQ(CKQVariant::s_pszDumpVXType, L"Type Orvatic");
  EXPECT_STREQ(CKQVariant::s_pszDumpADOType, L"message 25680");
  EXPECT_STREQ(CKQVariant::s_pszDumpTime, L"message 25669");
  CKQVariant::FreeQueryDumpRessources();
}

int EmptyTable(unsigned int, CTString*) { return 0; }

TEST_F(QueryDumpTexts, AnEmptyTableGivesEveryFallback) {
  CKQVariant::__InitQueryDumpRessources(&EmptyTable);
  EXPECT_STREQ(CKQVariant::s_pszDumpVXType, L"Type Orvatic");
  EXPECT_STREQ(CKQVariant::s_pszDumpADOType, L"Type ADO");
  EXPECT_STREQ(CKQVariant::s_pszDumpValue, L"Valeur");
  EXPECT_STREQ(CKQVariant::s_pszDumpTime, L"Heure");
  EXPECT_STREQ(CKQVariant::s_pszDumpDate, L"Date");
  EXPECT_STREQ(CKQVariant::s_pszDumpConvFailed_Text, L"Echec de la conversion de la valeur en texte.");
  EXPECT_STREQ(CKQVariant::s_pszDumpConvFailed_Date, L"Echec de la conversion de la valeur en date");
  EXPECT_STREQ(CKQVariant::s_pszDumpConvFailed_Time, L"Echec de la conversion de la valeur en heure");
  CKQVariant::FreeQueryDumpRessources();
}

TEST_F(QueryDumpTexts, SecondInitReplacesTheFirstTextsWithoutLeaking) {
  // The per-test leak check fails this test if the first texts are lost.
  CKQVariant::InitQueryDumpRessources();
  const wchar_t* pszFirst = CKQVariant::s_pszDumpValue;
  ASSERT_NE(pszFirst, nullptr);
  CKQVariant::InitQueryDumpRessources();
  for (wchar_t** pp : kStatics) EXPECT_NE(*pp, nullptr);
  CKQVariant::FreeQueryDumpRessources();
  CKQVariant::InitQueryDumpRessources();
  for (wchar_t** pp : kStatics) EXPECT_NE(*pp, nullptr);
  CKQVariant::FreeQueryDumpRessources();
}

TEST_F(QueryDumpTexts, TheFrameworksEndReleasesTheCaptions) {
  CMainCommun76::bInitLibraryCommon(nullptr);
  CKQVariant::InitQueryDumpRessources();
  EXPECT_EQ(CMainCommun76::ms_pfnFreeQueryDumpRessources, &CKQVariant::FreeQueryDumpRessources);
  EXPECT_EQ(CMainCommun76::bTermLibraryCommon(), 1);
  for (wchar_t** pp : kStatics) EXPECT_EQ(*pp, nullptr);
}

}  // namespace
