// The entries a lab types once, kept per user in "results.yaml" in the settings folder (the
// folder of meters.yaml): the lab's, each instrument's by carrier name and position, each
// meter's by its identity. What belongs to one verification is not kept.
#pragma once

#include <string>

#include "trl4/result.h"

namespace trl4::result {

// Reads the kept entries into `entries` (a missing file keeps nothing and is no fault). A
// file that is not ours changes nothing; false, with the reason in `problem`.
bool loadSettings(Entries &entries, std::string &problem);

// Replaces the file atomically; false, with the reason in `problem`, when it could not.
bool saveSettings(const Entries &entries, std::string &problem);

}  // namespace trl4::result
