#include "engine/quota.h"

#include "app/app_state.h"
#include "app/ports.h"

namespace qc {

bool Reaches(double value, double level) { return value - level >= -0.0000001; }

void ApplyQuotaTest(AppState& state, WindowPort& window) {
  const double quota = TextToNumber(window.ReadText(Control::QuotaBox));
  if (Reaches(static_cast<double>(state.pushList.PublishedCount()), quota)) state.stopRequested.store(1);
}

}  // namespace qc
