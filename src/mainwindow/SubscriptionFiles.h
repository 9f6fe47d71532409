#pragma once
// The File menu's import and export of the subscription list as OPML: the
// file choosers, reading and writing, and the messages about them.

#include "update/PodcastLibrary.h"

#include <optional>

class QWidget;

namespace tessarine {

// Asks for an OPML file and adds its feeds as the subscribe command adds one
// (saved, then checked). None when the user cancelled or the file could not
// be read as OPML (which was reported).
std::optional<OpmlImportCounts> ImportSubscriptions(QWidget* parent, PodcastLibrary& library);
// Tells how many feeds an import added, found already listed and skipped.
void ShowImportCounts(QWidget* parent, const OpmlImportCounts& counts);
// Asks for a file and writes the list to it as OPML; a failure is reported.
void ExportSubscriptions(QWidget* parent, PodcastLibrary& library);

} // namespace tessarine
