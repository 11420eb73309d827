// CTabValParser: the parser's table of the tokens of a query text that the
// driver rewrites itself: the parameter markers ("{name}") and the name
// references (a column written as "item" or "table.item"), each list in text
// order. The command turns markers into parameters and writes references
// through the dialect; the statements and the driver's query dump receive the
// table as the parameter list of a text.
//
// The layout is ours (the parser's published roles name only what a marker
// and a reference hold): a plain structure, no table of operations, read in
// place. A marker carries a name, which the server's parameter values
// (INAQueryParametersValue) are looked up by.
//
// Positions: start and length in characters in the wide text that the table
// was made from.
// Ownership: the parser owns the table, its arrays, texts and values; they
// live as long as the parsed query that hands the table out. The driver
// never writes it.
// Threads: read-only after it is made.
#ifndef KQ230_TAB_VAL_PARSER_H_
#define KQ230_TAB_VAL_PARSER_H_

#include <cstdint>

class CAny;

// Parameter flags of a marker (the driver's parameter flags, CNAParameter).
inline constexpr unsigned int kTabValFlagUserParameter = 0x10000;

// One parameter marker.
struct _stTabValMarqueur {
  // Its value; null for a parameter whose value the server gives at run time
  // (through INAQueryParametersValue, by name).
  const CAny* pclValeur;
  int32_t nDebut;     // index of the "{"
  int32_t nLongueur;  // characters up to and including the "}"
  uint32_t dwFlags;   // kTabValFlagUserParameter for a "{name}" marker
  const wchar_t* pszNom;  // the name between the braces; never null
};

// One name reference.
struct _stTabValReference {
  const wchar_t* pszNomTable;     // the qualifier as written; "" when none
  const wchar_t* pszNomRubrique;  // the item name as written
  int32_t nDebut;                 // index of its first character (qualifier included)
  int32_t nLongueur;              // characters of the whole reference
};

struct CTabValParser {
  int32_t nMarqueurs;
  const _stTabValMarqueur* pstMarqueurs;
  int32_t nReferences;
  const _stTabValReference* pstReferences;

  int nGetMarqueurNbr() const { return pstMarqueurs != nullptr && nMarqueurs > 0 ? nMarqueurs : 0; }
  int nGetReferenceNbr() const {
    return pstReferences != nullptr && nReferences > 0 ? nReferences : 0;
  }
  // Null outside 0 .. count - 1.
  const _stTabValMarqueur* pstGetMarqueur(int i) const {
    return i >= 0 && i < nGetMarqueurNbr() ? &pstMarqueurs[i] : nullptr;
  }
  const _stTabValReference* pstGetReference(int i) const {
    return i >= 0 && i < nGetReferenceNbr() ? &pstReferences[i] : nullptr;
  }
};

#endif  // KQ230_TAB_VAL_PARSER_H_
