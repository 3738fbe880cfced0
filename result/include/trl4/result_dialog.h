// The dialog "Результат поверки": the conclusion the program draws for the protocol, the
// entries only the lab knows (kept in the settings folder for next time), the export of
// both result files and the printed protocol opened in the system's browser.
#pragma once

// Shows the dialog for the protocol now chosen and the open mezzanine.
void ShowVerificationResult();
