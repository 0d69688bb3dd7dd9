#pragma once

// One run of the optimiser on real files in a scratch folder, for whole-run tests.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fake_host.h"
#include "fake_platform.h"
#include "posix/posix_platform.h"
#include "run/optimisation_run.h"

namespace slimtag::testing {

// One run's world: a scratch folder that is the working directory, the real platform behind the
// failing one, a host showing the scratch pages folder, and the run's owner.
struct World {
  ScratchDir dir;
  Timeline timeline;
  PosixPlatform posix;
  FailingPlatform platform{posix, timeline};
  FakeHost host{timeline, dir.Pages()};
  Optimiser optimiser{platform};

  RunOutcome Run() { return optimiser.RunOptimisation(host.Request(), host); }

  void AddPage(const std::string& name, const std::string& content, bool selected = true) {
    WriteFile(dir.Page(name), content);
    host.AddEntry(name, selected);
  }
  std::string Page(const std::string& name) const { return ReadFile(dir.Page(name)); }

  // What the host saw, without the platform's operations.
  std::vector<std::string> HostEvents() const {
    std::vector<std::string> events;
    for (const std::string& e : timeline.events) {
      if (e.rfind("op ", 0) != 0) events.push_back(e);
    }
    return events;
  }
};

// Names in a folder, sorted.
inline std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace slimtag::testing
