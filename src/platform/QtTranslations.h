#pragma once
// Qt's own texts (the standard buttons of message boxes, the folder chooser,
// the key names a menu shows beside its items: "Strg+A") in the program's language, from the
// translations that come with Qt (on Debian the package qt6-translations-l10n).

#include "core/util/Strings.h"

namespace tessarine {

// Installs Qt's translation for `language` on the running application in
// place of one that an earlier call installed; English needs none. Returns
// whether Qt's texts are now in `language`: false when its translation file
// was not found, and Qt stays English.
bool InstallQtTranslations(Language language);

} // namespace tessarine
