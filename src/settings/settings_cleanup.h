// The uninstall cleanup of the connector's local state. Both operations run
// to their end whatever fails, report nothing, and pass on only what is
// raised while the data folders are found.
#pragma once

namespace kalinor {

/// Deletes every store's database file, removes the stores from
/// StoreSettings.xml and saves it. A store that cannot be removed by its own
/// id is passed over and stays in the file. Writes "Clear store settings >>"
/// and "Clear store settings <<" to the debugger channel.
void ClearStoreSettings();

/// Sets PellucorURL in GeneralSettings.xml to empty text and saves the file.
void ClearArchiveUrl();

}  // namespace kalinor
