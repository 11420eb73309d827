#include "host/harness/standin_gauge.h"

void CStandInGauge::SetRange(long long llSteps) {
  m_steps.push_back({true, llSteps});
  m_llRange = llSteps;
  // A new range starts the progress over.
  m_llPosition = -1;
}

void CStandInGauge::SetPosition(long long llStep) {
  m_steps.push_back({false, llStep});
  if (llStep < 0 || (m_llRange >= 0 && llStep > m_llRange)) ++m_nOutOfRange;
  if (m_llPosition >= 0 && llStep < m_llPosition) ++m_nBackwards;
  m_llPosition = llStep;
}
