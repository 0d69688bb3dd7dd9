#include "step_hook.h"

namespace slimtag::posix {

namespace {
void (*step_hook)(Step) = nullptr;
}  // namespace

void SetStepHook(void (*hook)(Step)) {
  step_hook = hook;
}

void ReachStep(Step step) {
  if (step_hook != nullptr) step_hook(step);
}

}  // namespace slimtag::posix
