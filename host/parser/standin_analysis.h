// The stand-in parser's analysis: the server files it knows (the stand-in's
// own descriptions, host/harness/standin_descriptions.h) with the physical
// name of each, the faults it raises on demand, and the count of the parser
// objects alive.
//
// Names compare without regard to case. A file added without physical name
// is one the parser knows no physical name for (GetPhysicalName answers 0).
//
// Faults: the parser raises StandInParserFault, on demand, from the
// operations that the server's parser may raise from: the item description
// of an output column (ISQLParserInformation slot 21), the physical name
// (slot 33), and the table of an output column (IInfoRubrique slot 3), which
// the alias search reads.
//
// Ownership: the analysis holds one reference on each description it was
// given. REQUIRES: it outlives every parsed query made with it.
// Threads: one thread at a time.
#ifndef KQ230_HOST_PARSER_STANDIN_ANALYSIS_H_
#define KQ230_HOST_PARSER_STANDIN_ANALYSIS_H_

#include <string>
#include <vector>

class CStandInDescription;

// What the stand-in parser throws.
struct StandInParserFault {
  int nSlot;
};

// Objects of the stand-in parser (parsed queries, parts, columns, FROM
// tables, ORDER BY and GROUP BY items, assignments, insertions, join lists,
// expression nodes, token tables, parameter values) made and not yet
// deleted, process-wide.
struct StandInParserCounts {
  static int g_nLive;
};

class CStandInAnalysis {
 public:
  enum : unsigned {
    kFaultItemDescription = 0x1,  // ISQLParserInformation slot 21
    kFaultPhysicalName = 0x2,     // ISQLParserInformation slot 33
    kFaultAliasSearch = 0x4,      // IInfoRubrique slot 3
  };

  CStandInAnalysis() = default;
  ~CStandInAnalysis();
  CStandInAnalysis(const CStandInAnalysis&) = delete;
  CStandInAnalysis& operator=(const CStandInAnalysis&) = delete;

  // Takes one reference on the description; pszPhysicalName null or empty:
  // no physical name.
  void AddTable(CStandInDescription* pclDescription, const wchar_t* pszPhysicalName);
  // As AddTable, the file of the same logical name (if any) replaced in its
  // place and released. REQUIRES: no parsed query of the old file lives on.
  void SetTable(CStandInDescription* pclDescription, const wchar_t* pszPhysicalName);
  // The description of that logical name (no reference), null when unknown.
  CStandInDescription* pclGetTable(const wchar_t* pszLogicalName) const;
  // The physical name, "" when none or unknown.
  const std::wstring& strGetPhysicalName(const wchar_t* pszLogicalName) const;

  void SetFaults(unsigned dwFaults) { m_dwFaults = dwFaults; }
  bool bFault(unsigned dwFault) const { return (m_dwFaults & dwFault) != 0; }

 private:
  struct Table {
    CStandInDescription* pclDescription;
    std::wstring strPhysical;
  };
  const Table* pstFind(const wchar_t* pszLogicalName) const;

  std::vector<Table> m_tables;
  unsigned m_dwFaults = 0;
};

// Names compared as the server compares them here: without regard to case.
bool StandInSameName(const std::wstring& a, const wchar_t* b);

#endif  // KQ230_HOST_PARSER_STANDIN_ANALYSIS_H_
