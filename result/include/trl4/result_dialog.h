// The dialog "Результат поверки": the conclusion the program draws for the protocol, the
// entries only the lab knows (kept in the settings folder for next time), the export of
// both result files and the printed protocol opened in the system's browser.
#pragma once

#include <string>

#include "trl4/result.h"

// Shows the dialog for the protocol now chosen and the open mezzanine.
void ShowVerificationResult();

// The lab's, the instruments' and the meters' entries kept per user in "results.yaml" in the
// settings folder. Reading a file that is not ours keeps nothing and says why.
bool LoadResultSettings(trl4::result::Entries &entries, std::string &problem);
bool SaveResultSettings(const trl4::result::Entries &entries, std::string &problem);
