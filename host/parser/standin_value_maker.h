// The values of the stand-in parser (its literals and the parameter values of
// its queries) before they become values of the language, and the hook that
// makes them so.
//
// The stand-in links only the boundary headers (include/), so it cannot make
// a CAny itself: whoever links the value library installs a maker
// (IStandInValueMaker) and the stand-in asks it. Without a maker, literals
// give no value (IExpOpExpression::bGetValeur answers 0) and parameter
// values are absent.
//
// Ownership: the maker belongs to whoever installs it and must outlive every
// value made through it; values made by pclNew are given back through Delete.
// Threads: one thread at a time; the installed maker is process-wide.
#ifndef KQ230_HOST_PARSER_STANDIN_VALUE_MAKER_H_
#define KQ230_HOST_PARSER_STANDIN_VALUE_MAKER_H_

#include <string>

class CAny;

struct StandInValue {
  enum class Kind { kNull, kText, kInteger, kReal };
  Kind eKind = Kind::kNull;
  std::wstring strText;    // kText
  long long llInteger = 0; // kInteger
  double dReal = 0;        // kReal

  static StandInValue Null() { return {}; }
  static StandInValue Text(std::wstring s) {
    StandInValue v;
    v.eKind = Kind::kText;
    v.strText = std::move(s);
    return v;
  }
  static StandInValue Integer(long long n) {
    StandInValue v;
    v.eKind = Kind::kInteger;
    v.llInteger = n;
    return v;
  }
  static StandInValue Real(double d) {
    StandInValue v;
    v.eKind = Kind::kReal;
    v.dReal = d;
    return v;
  }
};

class IStandInValueMaker {
 public:
  // A new value (a wide text, a 64-bit integer, a real or NULL); null on
  // failure.
  virtual CAny* pclNew(const StandInValue& value) = 0;
  // *pclDest takes the value; 0 on failure.
  virtual int bSet(CAny* pclDest, const StandInValue& value) = 0;
  virtual void Delete(CAny* pclValue) = 0;

 protected:
  ~IStandInValueMaker() = default;
};

// Installs the maker (null: none); answers the previous one.
IStandInValueMaker* StandInSetValueMaker(IStandInValueMaker* piMaker);
IStandInValueMaker* StandInGetValueMaker();

#endif  // KQ230_HOST_PARSER_STANDIN_VALUE_MAKER_H_
