// The connector's settings files, and the names in them this program reads
// and writes, spelled as the connector spells them.
#pragma once

namespace kalinor::settings_names {

inline constexpr wchar_t kGeneralSettingsFile[] = L"GeneralSettings.xml";
inline constexpr wchar_t kStoreSettingsFile[] = L"StoreSettings.xml";
/// Both files: the uninstall never touches either but through its own acts.
inline constexpr const wchar_t* kSettingsFiles[] = {kGeneralSettingsFile, kStoreSettingsFile};

/// The root element of both files.
inline constexpr wchar_t kRoot[] = L"QEVConfiguration";
/// A store of the list, under the root.
inline constexpr wchar_t kStore[] = L"Store";
/// The store's identifier attribute.
inline constexpr wchar_t kStoreId[] = L"id";
/// The store's child element naming its local database file.
inline constexpr wchar_t kDatabaseFile[] = L"dbFileName";
/// The general settings' parent of every setting, under the root.
inline constexpr wchar_t kGeneral[] = L"General";
/// The archive server's address, a general setting.
inline constexpr wchar_t kArchiveUrl[] = L"PellucorURL";

}  // namespace kalinor::settings_names
