// The quota test: the crawl stops once pushList holds as many URLs as the
// quota box says.
#pragma once

namespace qc {

struct AppState;
class WindowPort;

// Sets the stop flag when the size of pushList has reached the number in
// the quota box (an empty box or a non-number counts as 0). Safe on the
// window thread while the worker fills pushList.
void ApplyQuotaTest(AppState& state, WindowPort& window);

// True when `value` reaches `level`, with the tolerance the depth and quota
// tests use (so 2.5 reaches 2 but not 3).
bool Reaches(double value, double level);

}  // namespace qc
