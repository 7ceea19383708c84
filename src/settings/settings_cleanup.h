// The uninstall cleanup of the connector's local state. Both operations run
// to their end whatever fails, report nothing beyond their own messages, and
// pass on only what is raised while the data folders are found.
#pragma once

namespace kalinor {

/// Deletes every store's database file, removes the stores from
/// StoreSettings.xml and saves it. A store that cannot be removed by its own
/// id is passed over and stays in the file. Writes "Clear store settings >>"
/// and "Clear store settings <<" to the debugger channel. True when nothing
/// was left undone: every listed database deleted or already absent, every
/// store removed, and the file saved (or there was no file at all); false
/// otherwise, also for a file that could not be read.
bool ClearStoreSettings();

/// Sets PellucorURL in GeneralSettings.xml to empty text and saves the file.
/// True when the file was saved with the address blanked; false when it could
/// not be read or written.
bool ClearArchiveUrl();

}  // namespace kalinor
