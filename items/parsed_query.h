// CNAParsedQuery: a query parsed by the server's SQL parser, as the items see
// it. The digest of a parsed query (CSQLParserInfo) belongs to the SQL
// builder, one floor above the items, yet the items read it: a query's
// result description is completed from it and a record built over a query
// walks its ORDER BY items. The items therefore declare here the least they
// call, as an abstract class, and the SQL builder's digest implements it; the
// items never include the builder.
//
// Texts and objects answered are the parser's or the digest's, valid while
// the digest lives (a physical name: until the next physical-name call on
// the same digest). Nothing answered carries a reference unless the
// operation says so.
//
// Ownership: counted through CInterf (the creator takes the first reference).
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_PARSED_QUERY_H_
#define KQ230_ITEMS_PARSED_QUERY_H_

#include "driver/reference_counted.h"

class IInfoFrom;
class IInfoOrderBy;
class IInfoRubrique;
class INADataSourceDescription;
class INAItemDescription;
class ISQLParserInformation;

class CNAParsedQuery : public CInterf {
 public:
  // The parsed query itself (null when the digest holds none). No reference.
  virtual ISQLParserInformation* piGetParserInformationNoRef() const = 0;
  // The query's text; null without parsed query.
  virtual const wchar_t* pszGetRequete() = 0;
  // Number of FROM tables and of output columns.
  virtual int nGetFichierFromNbr() const = 0;
  virtual int nGetRubriqueOUTNbr() const = 0;
  // Output column by index; null outside 0 .. count - 1.
  virtual IInfoRubrique* piGetRubriqueOUT(int n) const = 0;
  // Enumerators: bFirst != 0 restarts at the first element; each element
  // given moves the cursor on; null past the end.
  virtual IInfoRubrique* piEnumRubriqueOUT(int bFirst) = 0;
  virtual IInfoFrom* piEnumFichierFrom(int bFirst) = 0;
  virtual IInfoOrderBy* piEnumRubriqueClauseOrder(int bFirst) = 0;
  // The server's item description of an output column, one external
  // reference for the caller; null for a calculated column, when the parser
  // has none or when it fails.
  virtual INAItemDescription* piGetItemDescription(const IInfoRubrique* piColumn) = 0;
  // The physical name the parser gives a logical table name (or alias);
  // null when it gives none, fails, or the name is too long to be one.
  virtual const wchar_t* pszGetPhysicalName(const wchar_t* pszName) = 0;
  // The parser's description of a table name, one external reference for
  // the caller; null when it has none.
  virtual INADataSourceDescription* piGetNADataSourceDescription(const wchar_t* pszName) = 0;
  // Whether record operations (modify, delete, lock) may run on the
  // query's rows.
  virtual int bHOperationAllowed() = 0;

 protected:
  ~CNAParsedQuery() override = default;
};

#endif  // KQ230_ITEMS_PARSED_QUERY_H_
