// CStandInGauge: the stand-in server's progress gauge (IGaugeControl), handed
// to the driver for a long operation (reindexing). It records every range
// and position the driver sets, in order, so that a test can read the
// progress as the server's window would have shown it.
//
// Strictness: the gauge has no other operation; the driver may call its two
// slots any number of times, positions outside the range included (they are
// recorded as given, and counted in nOutOfRange()).
// Ownership: the creator's (a plain object); the driver borrows it for one
// call and keeps no pointer.
// Threads: one thread at a time.
#ifndef KQ230_HOST_HARNESS_STANDIN_GAUGE_H_
#define KQ230_HOST_HARNESS_STANDIN_GAUGE_H_

#include <vector>

#include "kq230/table_types.h"

class CStandInGauge final : public IGaugeControl {
 public:
  // One call as the driver made it.
  struct Step {
    bool bRange;      // SetRange (else SetPosition)
    long long llValue;
  };

  CStandInGauge() = default;
  CStandInGauge(const CStandInGauge&) = delete;
  CStandInGauge& operator=(const CStandInGauge&) = delete;
  virtual ~CStandInGauge() = default;

  void SetRange(long long llSteps) override;
  void SetPosition(long long llStep) override;

  // Every call, in order.
  const std::vector<Step>& Steps() const { return m_steps; }
  // The last range set (-1: none yet) and the last position (-1: none).
  long long llRange() const { return m_llRange; }
  long long llPosition() const { return m_llPosition; }
  // Positions set below 0 or past the range in force.
  int nOutOfRange() const { return m_nOutOfRange; }
  // Positions that went back from the one before.
  int nBackwards() const { return m_nBackwards; }

 private:
  std::vector<Step> m_steps;
  long long m_llRange = -1;
  long long m_llPosition = -1;
  int m_nOutOfRange = 0;
  int m_nBackwards = 0;
};

#endif  // KQ230_HOST_HARNESS_STANDIN_GAUGE_H_
