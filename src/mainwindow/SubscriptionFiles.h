#pragma once
// The commands that bring the subscription list in from files and folders or
// write it out: import and export as OPML, and a change of base directory,
// with their choosers and the messages about them.

#include "core/library/PodcastLibrary.h"

#include <optional>

class QString;
class QWidget;

namespace tessarine {

class SingleInstance;

// Asks for an OPML file and adds its feeds as the subscribe command adds one
// (saved, then checked). None when the user cancelled or the file could not
// be read as OPML (which was reported).
std::optional<OpmlImportCounts> ImportSubscriptions(QWidget* parent, PodcastLibrary& library);
// Tells how many feeds an import added, found already listed and skipped.
void ShowImportCounts(QWidget* parent, const OpmlImportCounts& counts);
// Asks for a file and writes the list to it as OPML; a failure is reported.
void ExportSubscriptions(QWidget* parent, PodcastLibrary& library);

// Asks for a new base directory (after a warning when `warn`) and opens the
// library in it, which claims the folder's lock first; `instance` (if any)
// then serves raise requests there. None when the user cancelled or another
// program uses the folder (which was reported).
std::optional<LoadResult> ChangeBaseDirectory(QWidget* parent, PodcastLibrary& library, bool warn,
                                              SingleInstance* instance);
// One message per record a load left out because its URL was listed already.
void ShowDuplicates(QWidget* parent, const LoadResult& loaded);
// What to tell of a settings file the load could not read: where its bytes
// were kept, or that they could not be. Empty when it was read.
QString UnreadableSettingsText(const LoadResult& loaded, const std::string& baseDirectory);

} // namespace tessarine
