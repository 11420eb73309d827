// The value maker that the stand-in SQL parser needs to hand out language
// values (host/parser/standin_value_maker.h), made with the driver's own CAny,
// for test programs that link the value library.
//
// StandInAnyMakerScope installs it for its lifetime and restores the previous
// maker afterwards; a text becomes a PSTRW value, an integer an I4 (an I8
// past 32 bits), a real an R8, NULL a PSTRW value with the NULL flag.
// Threads: one thread at a time.
#ifndef KQ230_TESTS_HOST_STANDIN_ANY_MAKER_H_
#define KQ230_TESTS_HOST_STANDIN_ANY_MAKER_H_

#include "host/parser/standin_value_maker.h"

namespace kqtest {

class StandInAnyMaker final : public IStandInValueMaker {
 public:
  CAny* pclNew(const StandInValue& value) override;
  int bSet(CAny* pclDest, const StandInValue& value) override;
  void Delete(CAny* pclValue) override;
  // Values made and not yet deleted.
  int nLive() const { return m_nLive; }

 private:
  int m_nLive = 0;
};

class StandInAnyMakerScope {
 public:
  StandInAnyMakerScope() : m_piPrevious(StandInSetValueMaker(&m_maker)) {}
  ~StandInAnyMakerScope() { StandInSetValueMaker(m_piPrevious); }
  StandInAnyMakerScope(const StandInAnyMakerScope&) = delete;
  StandInAnyMakerScope& operator=(const StandInAnyMakerScope&) = delete;
  const StandInAnyMaker& Maker() const { return m_maker; }

 private:
  StandInAnyMaker m_maker;
  IStandInValueMaker* m_piPrevious;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_HOST_STANDIN_ANY_MAKER_H_
