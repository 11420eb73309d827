// The server's parameter values of a query (INAQueryParametersValue) as the
// stand-in gives them: named parameters with a value or none, a direction
// each, and the prepared mark.
//
// Values become language values through the installed value maker
// (standin_value_maker.h); without one a parameter has no value (null).
// Names compare without regard to case.
//
// Counting: born with one reference, the maker's; slots 5 and 6 count; it
// deletes itself at the last release and counts in StandInParserCounts.
// Ownership: the values it made are its own and given back to the maker.
// Threads: one thread at a time.
#ifndef KQ230_HOST_PARSER_STANDIN_QUERY_PARAMETERS_H_
#define KQ230_HOST_PARSER_STANDIN_QUERY_PARAMETERS_H_

#include <string>
#include <vector>

#include "host/parser/standin_value_maker.h"
#include "kq230/query_parameters_interface.h"

class CStandInQueryParameters final : public INAQueryParametersValue {
 public:
  static CStandInQueryParameters* pclNew();  // one reference

  int nGetVersion() override { return 1; }
  int nGetCompatSince() override { return 1; }
  int AddRef() override { return ++m_nRefCount; }
  int Release() override;
  int nGetNbParametre() override { return static_cast<int>(m_parameters.size()); }
  int bPrepareRequeteCalled() override { return m_bPrepared ? 1 : 0; }
  const CAny* pclGetParameterValue(const wchar_t* pszName) override;
  int nGetParameterDirection(const wchar_t* pszName) override;
  const wchar_t* pszGetNomParametre(int i) override;

  // Adds the parameter or replaces its value and direction.
  void SetValue(const wchar_t* pszName, const StandInValue& value, int nDirection = kQueryParamIn);
  // Adds the parameter or drops its value: the parameter is known, without value.
  void SetNoValue(const wchar_t* pszName, int nDirection = kQueryParamIn);
  void SetPrepared(bool bPrepared) { m_bPrepared = bPrepared; }
  // The stand-in form of the value; null when the parameter is unknown or
  // has no value.
  const StandInValue* pstGetValue(const wchar_t* pszName) const;
  int nGetRefCount() const { return m_nRefCount; }

 private:
  struct Parameter {
    std::wstring strName;
    bool bHasValue = false;
    StandInValue value;
    CAny* pclValue = nullptr;  // made by the maker
    int nDirection = kQueryParamIn;
  };
  CStandInQueryParameters();
  ~CStandInQueryParameters();
  Parameter* pstFind(const wchar_t* pszName);
  const Parameter* pstFind(const wchar_t* pszName) const;
  static void DropValue(Parameter& p);

  int m_nRefCount = 1;
  bool m_bPrepared = false;
  std::vector<Parameter> m_parameters;
};

#endif  // KQ230_HOST_PARSER_STANDIN_QUERY_PARAMETERS_H_
