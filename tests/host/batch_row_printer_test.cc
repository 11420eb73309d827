// kqhost's rows: the record buffer as the driver lays it out (CNAZBRecord
// over the stand-in's descriptions), printed as the mariadb client prints a
// row with --batch: escapes, NULL, integers and floats, currency and DECIMAL
// with their scale, dates and times, 8-bit and Unicode texts, binaries,
// memos through their source, and slots the buffer does not hold.
#include "host/harness/batch_row_printer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kq230/item_type.h"
#include "statements/record_buffer.h"
#include "tests/support/bound_framework.h"
#include "tests/support/standin_items.h"

namespace kqtest {
namespace {

// Little-endian bytes of an integer, as the i386 server lays it.
std::string Bytes(uint64_t n, int nBytes) {
  std::string str;
  for (int i = 0; i < nBytes; ++i) str += static_cast<char>((n >> (8 * i)) & 0xFF);
  return str;
}

// The bytes of a double and of a float.
std::string Real8(double d) {
  std::string str(sizeof d, '\0');
  std::memcpy(str.data(), &d, sizeof d);
  return str;
}
std::string Real4(float f) {
  std::string str(sizeof f, '\0');
  std::memcpy(str.data(), &f, sizeof f);
  return str;
}

// The 18-byte DECIMAL form: precision, scale, 128-bit coefficient.
std::string DecimalForm(int nPrecision, int nScale, int64_t llCoefficient) {
  std::string str;
  str += static_cast<char>(nPrecision);
  str += static_cast<char>(nScale);
  str += Bytes(static_cast<uint64_t>(llCoefficient), 8);
  str += std::string(8, llCoefficient < 0 ? '\xFF' : '\0');
  return str;
}

// A date-time slot: day, month, year (16 bits), milliseconds (32 bits).
std::string DateTime(int nYear, int nMonth, int nDay, uint32_t nMs) {
  return std::string(1, static_cast<char>(nDay)) + std::string(1, static_cast<char>(nMonth)) +
         Bytes(static_cast<uint64_t>(nYear), 2) + Bytes(nMs, 4);
}

// The raw store of a Unicode item takes the server's 4-byte wide characters
// and lays them out as UTF-16.
std::string WideBytes(const std::wstring& str) {
  return std::string(reinterpret_cast<const char*>(str.data()), str.size() * sizeof(wchar_t));
}

StandInItemDecl Digits(StandInItemDecl d, int nInteger, int nDecimals) {
  d.integerDigits = nInteger;
  d.decimalDigits = nDecimals;
  return d;
}

using BatchRowPrinterTest = BoundFrameworkTest;

// One item per case: the bytes given to the record buffer's raw store
// (which lays them by the item's type), then the field printed.
TEST_F(BatchRowPrinterTest, PrintsEachItemTypeAsTheClientDoes) {
  struct Case {
    const char* name;
    StandInItemDecl decl;
    std::string bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"tiny negative", ItemDecl(L"v", NA_IT_I1, 1), Bytes(0xFE, 1), "-2"},
      {"smallint", ItemDecl(L"v", NA_IT_I2, 2), Bytes(0x8000, 2), "-32768"},
      {"int", ItemDecl(L"v", NA_IT_I4, 4), Bytes(2147483647, 4), "2147483647"},
      {"bigint", ItemDecl(L"v", NA_IT_I8, 8), Bytes(0x8000000000000000ull, 8),
       "-9223372036854775808"},
      {"unsigned bigint", ItemDecl(L"v", NA_IT_UI8, 8), Bytes(~0ull, 8), "18446744073709551615"},
      {"unsigned int", ItemDecl(L"v", NA_IT_UI4, 4), Bytes(4294967295u, 4), "4294967295"},
      {"automatic identifier", ItemDecl(L"v", NA_IT_IDAUTO, 8), Bytes(42, 8), "42"},
      {"double", ItemDecl(L"v", NA_IT_R8, 8), Real8(0.1), "0.1"},
      {"double, large", ItemDecl(L"v", NA_IT_R8, 8), Real8(1e20), "1e20"},
      {"double, small", ItemDecl(L"v", NA_IT_R8, 8), Real8(-1.5e-7), "-1.5e-7"},
      {"float", ItemDecl(L"v", NA_IT_R4, 4), Real4(3.14159f), "3.14159"},
      {"currency with its scale", Digits(ItemDecl(L"v", NA_IT_MONETAIRE, 10), 8, 2),
       Bytes(1500000, 8) + Bytes(0, 2), "1.50"},
      {"negative currency", Digits(ItemDecl(L"v", NA_IT_MONETAIRE, 10), 8, 2),
       Bytes(static_cast<uint64_t>(-2250000LL), 8) + "\xFF\xFF", "-2.25"},
      {"currency without a scale", ItemDecl(L"v", NA_IT_MONETAIRE, 10),
       Bytes(1500000, 8) + Bytes(0, 2), "1.5"},
      {"decimal padded to the item's scale", Digits(ItemDecl(L"v", NA_IT_DECIMAL, 18), 16, 4),
       DecimalForm(20, 2, 12345), "123.4500"},
      {"decimal of the item's scale", Digits(ItemDecl(L"v", NA_IT_DECIMAL, 18), 16, 4),
       DecimalForm(20, 4, -5), "-0.0005"},
      {"decimal in a slot of its digits' size, as the driver lays it",
       Digits(ItemDecl(L"v", NA_IT_DECIMAL, 9), 16, 4), DecimalForm(20, 4, -5), "-0.0005"},
      {"decimal, large", Digits(ItemDecl(L"v", NA_IT_DECIMAL, 18), 30, 0),
       DecimalForm(30, 0, 9223372036854775807LL), "9223372036854775807"},
      {"date", ItemDecl(L"v", NA_IT_DATE8, 9), "20240229", "2024-02-29"},
      {"time", ItemDecl(L"v", NA_IT_HEURE, 10), "235958123", "23:59:58"},
      {"time with decimals", Digits(ItemDecl(L"v", NA_IT_HEURE, 10), 0, 3), "235958123",
       "23:59:58.123"},
      {"datetime", ItemDecl(L"v", NA_IT_DATETIME, 8), DateTime(1999, 12, 31, 86399000),
       "1999-12-31 23:59:59"},
      {"datetime with decimals", Digits(ItemDecl(L"v", NA_IT_DATETIME, 8), 0, 6),
       DateTime(2001, 2, 3, 3723004), "2001-02-03 01:02:03.004000"},
      {"8-bit text in the code page", ItemDecl(L"v", NA_IT_TEXTE, 11), "caf\xE9 \x80",
       "caf\xC3\xA9 \xE2\x82\xAC"},
      {"8-bit text cut at its zero", ItemDecl(L"v", NA_IT_TEXTE, 11), std::string("ab\0cd", 5),
       "ab"},
      {"unicode with a pair", ItemDecl(L"v", NA_IT_UNICODE, 12), WideBytes(L"a\u00e9\U0001F600"),
       "a\xC3\xA9\xF0\x9F\x98\x80"},
      {"empty unicode", ItemDecl(L"v", NA_IT_UNICODE, 12), std::string("\0\0", 2), ""},
      {"binary with escapes", ItemDecl(L"v", NA_IT_BINAIRE, 8), std::string("a\0\t\n\\", 5),
       "a\\0\\t\\n\\\\"},
      {"text with escapes", ItemDecl(L"v", NA_IT_TEXTE, 11), "x\ty\nz\\", "x\\ty\\nz\\\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StandInSource src({c.decl});
    CNAZBRecord record;
    ASSERT_EQ(record.bInit(src.p, INIT_ZEROED), 1);
    record.vSetItemValue(src.Item(0), reinterpret_cast<const unsigned char*>(c.bytes.data()),
                         static_cast<unsigned int>(c.bytes.size()), -1);
    CBatchRowPrinter printer;
    std::string strField, strError;
    ASSERT_TRUE(printer.bFormatField(record, src.Item(0), &strField, &strError)) << strError;
    EXPECT_EQ(strField, c.expected);
  }
}

TEST_F(BatchRowPrinterTest, SeparatesFieldsWithTabsAndPrintsNullAsTheWordNull) {
  StandInSource src({ItemDecl(L"id", NA_IT_I4, 4), ItemDecl(L"name", NA_IT_TEXTE, 8),
                     ItemDecl(L"nick", NA_IT_UNICODE, 8)});
  CNAZBRecord record;
  ASSERT_EQ(record.bInit(src.p, INIT_ZEROED), 1);
  const std::string strId = Bytes(7, 4);
  record.vSetItemValue(src.Item(0), reinterpret_cast<const unsigned char*>(strId.data()), 4, -1);
  record.vSetItemValue(src.Item(1), reinterpret_cast<const unsigned char*>("NULL"), 4, -1);
  CBatchRowPrinter printer;
  std::string strRow, strError;
  ASSERT_TRUE(
      printer.bFormatRow(record, {src.Item(0), src.Item(1), src.Item(2)}, &strRow, &strError))
      << strError;
  // The text "NULL" and a NULL print alike, as the client prints them.
  EXPECT_EQ(strRow, "7\tNULL\tNULL");
}

TEST_F(BatchRowPrinterTest, ReadsTextsInTheCodePageItIsGiven) {
  const unsigned char aby[] = {'a', 0x80, 0xE9};
  EXPECT_EQ(CBatchRowPrinter::strFromCodePage(aby, 3, CBatchRowPrinter::kCodePageWestern),
            "a\xE2\x82\xAC\xC3\xA9");
  EXPECT_EQ(CBatchRowPrinter::strFromCodePage(aby, 3, CBatchRowPrinter::kCodePageLatin1),
            "a\xC2\x80\xC3\xA9");
  const unsigned char abyUtf8[] = {0xC3, 0xA9};
  EXPECT_EQ(CBatchRowPrinter::strFromCodePage(abyUtf8, 2, CBatchRowPrinter::kCodePageUTF8),
            "\xC3\xA9");
}

TEST(BatchRowPrinter, ScalesDecimalsToTheScaleShown) {
  struct Case {
    int64_t coefficient;
    int scale;
    int shown;
    const char* expected;
  };
  const Case cases[] = {
      {12345, 2, 2, "123.45"}, {12345, 2, 4, "123.4500"}, {12345, 2, 1, "123.5"},
      {12344, 2, 1, "123.4"},  {-12345, 2, 1, "-123.5"},  {99995, 2, 1, "1000.0"},
      {5, 3, 3, "0.005"},      {-4, 3, 2, "0.00"},        {0, 0, 0, "0"},
      {1500000, 6, -1, "1.5"}, {2000000, 6, -1, "2"},     {-1, 0, 0, "-1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const std::string str = Bytes(static_cast<uint64_t>(c.coefficient), 8);
    EXPECT_EQ(CBatchRowPrinter::strScaledDecimal(reinterpret_cast<const unsigned char*>(str.data()),
                                                 8, c.scale, c.shown),
              c.expected);
  }
}

TEST(BatchRowPrinter, EscapesAsTheClientsBatchMode) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {std::string("a\0b", 3), "a\\0b"},
      {"tab\there", "tab\\there"},
      {"two\nlines", "two\\nlines"},
      {"back\\slash", "back\\\\slash"},
      {"\r and quotes ' \" stay", "\r and quotes ' \" stay"},
  };
  for (const Case& c : cases) EXPECT_EQ(CBatchRowPrinter::strEscape(c.in), c.out) << c.out;
}

// Memos live beside the record: a source answers them.
class FixedMemos : public CBatchRowPrinter::IMemoSource {
 public:
  int nAnswer = 1;
  int nReadMemo(INAItemDescription*, std::string* pstrBytes, std::string* pstrError) override {
    if (nAnswer > 0) *pstrBytes = "memo\ttext";
    if (nAnswer < 0) *pstrError = "the driver refused";
    return nAnswer;
  }
};

TEST_F(BatchRowPrinterTest, ReadsMemosThroughTheMemoSource) {
  StandInSource src({ItemDecl(L"memo", NA_IT_MEMOTEXTE, 8)});
  CNAZBRecord record;
  ASSERT_EQ(record.bInit(src.p, INIT_ZEROED), 1);
  FixedMemos memos;
  CBatchRowPrinter printer(CBatchRowPrinter::kCodePageWestern, &memos);
  std::string strField, strError;
  ASSERT_TRUE(printer.bFormatField(record, src.Item(0), &strField, &strError));
  EXPECT_EQ(strField, "memo\\ttext");
  memos.nAnswer = 0;
  ASSERT_TRUE(printer.bFormatField(record, src.Item(0), &strField, &strError));
  EXPECT_EQ(strField, "NULL");
  memos.nAnswer = -1;
  EXPECT_FALSE(printer.bFormatField(record, src.Item(0), &strField, &strError));
  EXPECT_EQ(strError, "memo: the driver refused");
}

TEST_F(BatchRowPrinterTest, RefusesAPresentMemoWithoutASource) {
  StandInSource src({ItemDecl(L"memo", NA_IT_MEMOTEXTE, 8)});
  CNAZBRecord record;
  ASSERT_EQ(record.bInit(src.p, INIT_ZEROED), 1);
  CBatchRowPrinter printer;
  std::string strField, strError;
  ASSERT_TRUE(printer.bFormatField(record, src.Item(0), &strField, &strError));
  EXPECT_EQ(strField, "NULL") << "a NULL memo needs no source";
  record.SetItemValueDefined(src.Item(0), 1);
  EXPECT_FALSE(printer.bFormatField(record, src.Item(0), &strField, &strError));
  EXPECT_NE(strError.find("memo"), std::string::npos);
}

TEST_F(BatchRowPrinterTest, RefusesAnItemOfAnotherRecord) {
  StandInSource small({ItemDecl(L"a", NA_IT_I4, 4)});
  StandInSource large({ItemDecl(L"a", NA_IT_I4, 4), ItemDecl(L"far", NA_IT_I8, 8)});
  CNAZBRecord record;
  ASSERT_EQ(record.bInit(small.p, INIT_ZEROED), 1);
  record.vSetValues(reinterpret_cast<const unsigned char*>("\1\0\0\0"), 4);
  CBatchRowPrinter printer;
  std::string strRow, strError;
  EXPECT_FALSE(printer.bFormatRow(record, {small.Item(0), large.Item(1)}, &strRow, &strError));
  EXPECT_EQ(strError.rfind("far: ", 0), 0u) << strError;
}

TEST_F(BatchRowPrinterTest, RefusesASlotTooShortForItsType) {
  StandInSource src({ItemDecl(L"short", NA_IT_DECIMAL, 2)});
  CNAZBRecord record;
  ASSERT_EQ(record.bInit(src.p, INIT_ZEROED), 1);
  record.SetItemValueDefined(src.Item(0), 1);
  CBatchRowPrinter printer;
  std::string strField, strError;
  EXPECT_FALSE(printer.bFormatField(record, src.Item(0), &strField, &strError));
  EXPECT_EQ(strError, "short: slot of 2 bytes, type 31 needs 3");
}

}  // namespace
}  // namespace kqtest
