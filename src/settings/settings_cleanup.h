// The uninstall cleanup of the connector's local state. Both operations run
// to their end whatever fails, and pass on only what is raised while the
// data folders are found.
#pragma once

namespace kalinor {

/// Deletes every store's database file that lies in the connector's data
/// folders, removes the stores from StoreSettings.xml and saves it. A refused
/// database file stays (one debugger line names it and why); its store is
/// removed all the same. A store that cannot be removed by its own id is
/// passed over and stays in the file. Writes "Clear store settings >>" and
/// "Clear store settings <<" to the debugger channel. True when nothing was
/// left undone: every listed database deleted or already absent, nothing
/// refused, and the file saved or there was none to save.
bool ClearStoreSettings();

/// Sets PellucorURL in GeneralSettings.xml to empty text and saves the file.
/// True when the file was saved; false when there is no data folder or an
/// existing file could not be read (it is then left as it was) or written.
bool ClearArchiveUrl();

}  // namespace kalinor
