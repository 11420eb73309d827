// INAQueryParametersValue: the server's values of the named parameters of a
// query ("{name}" in its text), set by the program before the query runs and
// read back after it for output parameters.
//
// Called through the table of virtual operations: the slot order is the
// contract; never reorder, insert or remove an operation. Slots 5, 6 and 8
// have the server's role names; the version head (0-4) follows the other
// native-access interfaces; slots marked "ours" are the lookups by name that
// the server's published roles leave unnamed.
//
// Ownership: counted through slots 5 and 6; no virtual destructor: only its
// maker deletes it.
// Threads: the driver calls it under its lock.
#ifndef KQ230_QUERY_PARAMETERS_INTERFACE_H_
#define KQ230_QUERY_PARAMETERS_INTERFACE_H_

class CAny;

// Directions (nGetParameterDirection): the driver's parameter directions;
// 2 and 3 mean output.
inline constexpr int kQueryParamUnknown = 0;  // no parameter of that name
inline constexpr int kQueryParamIn = 1;
inline constexpr int kQueryParamOut = 2;
inline constexpr int kQueryParamInOut = 3;
inline constexpr int kQueryParamReturn = 4;

class INAQueryParametersValue {
 public:
  virtual int nGetVersion() = 0;                  // 0
  virtual int nGetCompatSince() = 0;              // 1
  virtual int nGetNAVersion() { return -1; }      // 2
  virtual int nGetNACompatSince() { return -1; }  // 3
  virtual void NAVersion_EmptySlot_3() {}         // 4
  virtual int AddRef() = 0;                       // 5: the new count
  virtual int Release() = 0;                      // 6: the new count; dies at 0
  // 7 (ours): number of parameters.
  virtual int nGetNbParametre() = 0;
  // 8: 1 once the program prepared the query.
  virtual int bPrepareRequeteCalled() = 0;
  // 9 (ours): the value of the parameter of that name (compared without
  // regard to case and accents), owned by this object and valid until the
  // parameter's value changes or the object dies; null when the parameter is
  // unknown or has no value. A NULL value is a value.
  virtual const CAny* pclGetParameterValue(const wchar_t* pszName) = 0;
  // 10 (ours): direction of the parameter of that name (the constants
  // above).
  virtual int nGetParameterDirection(const wchar_t* pszName) = 0;
  // 11 (ours): name of parameter i; null outside 0 .. count - 1.
  virtual const wchar_t* pszGetNomParametre(int i) = 0;

 protected:
  ~INAQueryParametersValue() = default;
};

#endif  // KQ230_QUERY_PARAMETERS_INTERFACE_H_
