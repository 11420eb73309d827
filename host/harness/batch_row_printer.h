// CBatchRowPrinter: the current record of a table, as the stand-in server
// reads it from the driver's record buffer, printed the way the mariadb
// client prints a row with --batch --skip-column-names: the items' values in
// the order given, separated by tabs; NULL as "NULL"; a NUL byte, a tab, a
// newline and a backslash of a value as "\0", "\t", "\n" and "\\"; texts in
// UTF-8. A row of kqhost then diffs against the client's answer to the same
// SELECT.
//
// Each item is decoded from its slot by its type, as the driver lays it out
// (statements/record_buffer.h and the value holders): integers little-endian
// of the item's size; floats as the shortest text that reads back the same
// (the client's form for FLOAT and DOUBLE values of ordinary size); currency
// (10 bytes, millionths) and DECIMAL (precision, scale, then as much of the
// coefficient as the item's size holds) with the item's decimal part as the
// scale; 8-bit texts in the printer's
// code page; Unicode items as UTF-16; binary items as their 16-bit length
// and bytes; DATE8 "YYYYMMDD" as YYYY-MM-DD; times "HHMMSSmmm" as HH:MM:SS;
// date-times (day, month, year, milliseconds) as YYYY-MM-DD HH:MM:SS; a
// fraction of a second only when the item has decimals. Memos are not in the
// record buffer: an IMemoSource reads them.
//
// Limits: a currency item whose description has no decimal part prints its
// digits without trailing zeros (1.5 where the client, knowing the column's
// scale, prints 1.50).
//
// Bad input: an item whose slot the buffer does not hold, or a slot shorter
// than its type needs, prints as an error (bFormatRow answers false and says
// which item); it is never read past.
//
// Ownership: the printer keeps no pointer past a call; the memo source is the
// caller's.
// Threads: none of its own; one caller at a time.
#ifndef KQ230_HOST_HARNESS_BATCH_ROW_PRINTER_H_
#define KQ230_HOST_HARNESS_BATCH_ROW_PRINTER_H_

#include <string>
#include <string_view>
#include <vector>

#include "kq230/item_description_interface.h"
#include "kq230/zb_record.h"

class CBatchRowPrinter {
 public:
  // Reads a memo item of the current record, whose value lives beside the
  // record buffer.
  class IMemoSource {
   public:
    // 1 with *pstrBytes the value (UTF-8 for a text memo, the bytes of a
    // binary one), 0 when the memo is NULL, -1 on failure with *pstrError
    // saying why.
    virtual int nReadMemo(INAItemDescription* piItem, std::string* pstrBytes,
                          std::string* pstrError) = 0;

   protected:
    ~IMemoSource() = default;
  };

  // Code pages of 8-bit texts that the printer reads: 1252 (Western
  // Windows, the server's default), 28591 (ISO 8859-1), 65001 (UTF-8).
  static constexpr unsigned int kCodePageWestern = 1252;
  static constexpr unsigned int kCodePageLatin1 = 28591;
  static constexpr unsigned int kCodePageUTF8 = 65001;

  // REQUIRES: nCodePage is one of the three above (any other reads as 1252).
  explicit CBatchRowPrinter(unsigned int nCodePage = kCodePageWestern,
                            IMemoSource* piMemos = nullptr)
      : m_nCodePage(nCodePage), m_piMemos(piMemos) {}

  // The row of the record for the items, without the newline. False, with
  // *pstrError naming the item and the reason, when an item cannot be read.
  // REQUIRES: every item describes the data source the record was laid out
  // for.
  bool bFormatRow(const CNAZBRecordBase& clRecord, const std::vector<INAItemDescription*>& aItems,
                  std::string* pstrRow, std::string* pstrError) const;

  // One field as the row shows it (escaped, or "NULL"). False as above.
  bool bFormatField(const CNAZBRecordBase& clRecord, INAItemDescription* piItem,
                    std::string* pstrField, std::string* pstrError) const;

  // The client's escapes of a value's bytes.
  static std::string strEscape(std::string_view strValue);

  // A coefficient of up to 128 bits (two's complement, least significant
  // byte first, nBytes of them) divided by 10^nScale, written with exactly
  // nShownScale decimals (rounding half away from zero when fewer).
  // n bytes of 8-bit text in the code page, as UTF-8.
  static std::string strFromCodePage(const unsigned char* p, int n, unsigned int nCodePage);

  static std::string strScaledDecimal(const unsigned char* pbyCoefficient, int nBytes, int nScale,
                                      int nShownScale);

 private:
  // The value of a present, non-memo item, unescaped.
  bool _bDecodeSlot(INAItemDescription* piItem, const unsigned char* p, int nSize,
                    std::string* pstrValue, std::string* pstrError) const;

  unsigned int m_nCodePage;
  IMemoSource* m_piMemos;
};

#endif  // KQ230_HOST_HARNESS_BATCH_ROW_PRINTER_H_
