# End-to-end runs of the built kalinor.exe and kalinor-query.exe on real
# Windows, as tests/e2e/win32/wine_e2e.sh runs them under Wine: the system's
# mapi32.dll (Windows' MAPI stub) forwards to the stand-in MAPI provider DLL
# registered as the default mail client's DLLPathEx (the CI workflow
# registers it first), the connector's settings files are read and written
# through MSXML's version-independent DOMDocument (MSXML 3), on NTFS. kalinor.exe runs under the debug harness, whose
# report holds each debugger-channel write, the standard output and the exit
# code.
#
# It writes the connector's policy and product values and replaces the files
# in the user's Tavrin folder: run it only on a throwaway machine (a hosted
# CI runner).
#
#   windows_e2e.ps1 -Build BUILD_FOLDER      (a Visual Studio build, Release)
#
# Every check is reported; exits 1 when any failed.
param([Parameter(Mandatory)] [string] $Build)

$ErrorActionPreference = 'Stop'
Set-StrictMode -Version Latest

$Build = (Resolve-Path $Build).Path
$kalinor = Join-Path $Build 'src\frontend\Release\kalinor.exe'
$query = Join-Path $Build 'src\query\Release\kalinor-query.exe'
$harness = Join-Path $Build 'tests\e2e\Release\kalinor_debug_harness.exe'
$work = Join-Path ([IO.Path]::GetTempPath()) 'kalinor-e2e'
$data = Join-Path $env:LOCALAPPDATA 'Tavrin\Ostrand'
$product = Join-Path $work 'KOVEX'

. (Join-Path $PSScriptRoot 'expect.ps1')

# The harness's report of one run of kalinor.exe, one line per item.
function Invoke-Kalinor {
  $report = & $harness --timeout-ms 60000 $kalinor @args
  return , @($report | ForEach-Object { "$_" })
}

function Count-Of([string] $text, [string] $path) {
  if (-not (Test-Path $path)) { return 0 }
  return ([regex]::Matches((Get-Content -Raw $path), [regex]::Escape($text))).Count
}

# An element that is present and empty, in either form a DOM may save it.
function Test-EmptyElement([string] $name, [string] $path) {
  return (Get-Content -Raw $path) -match "<$name\s*/>|<$name>\s*</$name>"
}

# Every file and folder under the user's Tavrin folder, with size and time.
function Get-Snapshot {
  return @(Get-ChildItem -Recurse -Force (Join-Path $env:LOCALAPPDATA 'Tavrin') | ForEach-Object {
      $size = if ($_ -is [IO.FileInfo]) { $_.Length } else { '-' }
      "$($_.FullName) $size $($_.LastWriteTimeUtc.Ticks)"
    })
}

function Set-RegistryValue([string] $key, [string] $name, [string] $value) {
  reg add $key /v $name /d $value /f /reg:64 | Out-Null
  if ($LASTEXITCODE) { throw "reg add $key /v $name failed" }
}

# The connector's files as an archive connector leaves them (as
# prepare_settings in wine_prefix.sh): two stores whose database files exist,
# an unlisted one, and an archive-server address.
function Initialize-Settings {
  Remove-Item -Recurse -Force (Join-Path $env:LOCALAPPDATA 'Tavrin'), $product -ErrorAction SilentlyContinue
  New-Item -ItemType Directory -Force "$data\Stores", "$product\Data" | Out-Null
  Set-Content -NoNewline "$data\Stores\first.fdb" 'first store'
  Set-Content -NoNewline "$data\Stores\second.fdb" 'second store'
  Set-Content -NoNewline "$data\Stores\other.fdb" 'not listed'
  Set-Content -Encoding utf8NoBOM "$data\StoreSettings.xml" @(
    '<?xml version="1.0" encoding="UTF-8"?>',
    '<QEVConfiguration>',
    "  <Store id=`"1122334455667788-99AABBCCDDEEFF00`"><dbFileName>$data\Stores\first.fdb</dbFileName></Store>",
    "  <Store id=`"0ffeeddccbbaa998877665544332211`"><dbFileName>$data\Stores\second.fdb</dbFileName></Store>",
    '</QEVConfiguration>')
  Set-Content -Encoding utf8NoBOM "$data\GeneralSettings.xml" @(
    '<?xml version="1.0" encoding="UTF-8"?>',
    '<QEVConfiguration>',
    '  <General>',
    '    <PellucorURL>https://archive.example.com/pellucor</PellucorURL>',
    '    <OfflineMaxDays>30</OfflineMaxDays>',
    '  </General>',
    '</QEVConfiguration>')
  # Blanks around the macro, and the macro in mixed case: trimmed and folded.
  Set-RegistryValue 'HKCU\Software\Policies\Tavrin\Pellucor' 'DataPath' '  %LocalApplicationData%  '
  Set-RegistryValue 'HKLM\SOFTWARE\Tavrin\KOVEX' 'Path' $product
}

# The stand-in keeps its profile store here, and there is no service catalogue.
Remove-Item -Recurse -Force $work -ErrorAction SilentlyContinue
New-Item -ItemType Directory -Force "$work\mapi" | Out-Null
$profiles = "$work\mapi\profiles.xml"
$env:KALINOR_MAPI_PROFILES = $profiles
$env:KALINOR_MAPISVC = "$work\mapi\mapisvc.inf"

# Install, then again in another letter case.
$report = Invoke-Kalinor ArchiveConnector 'displayname:Archive Connector'
Expect 'install: the service is installed' (($report -contains 'debug Service installed.\n') -and
  ($report -contains 'exit 0')) $report
Expect 'install: one service in the profile store' ((Count-Of '<Service ' $profiles) -eq 1)
Expect 'install: the service is named and configured' ((Test-Path $profiles) -and
  ((Get-Content -Raw $profiles) -match 'name="ArchiveConnector" displayName="Archive Connector" uid="[0-9a-f]{32}" configured="true"'))
$report = Invoke-Kalinor ARCHIVECONNECTOR
Expect 'a second install in another case: already installed' (($report -contains 'debug The service is already installed.\n') -and
  ($report -contains 'exit 0')) $report
Expect 'second install: still one service' ((Count-Of '<Service ' $profiles) -eq 1)

# Detection, as an Intune or Configuration Manager rule runs it.
$out = & $query has ARCHIVECONNECTOR
Expect 'has: the installed service, in another case' (($LASTEXITCODE -eq 0) -and ($out -ceq 'installed')) $out
$out = & $query has OtherService
Expect 'has: a service that is not installed' (($LASTEXITCODE -eq 1) -and ($out -ceq 'not installed')) $out

$report = Invoke-Kalinor 'profile:Nowhere' ArchiveConnector
Expect 'a named profile that does not exist' (($report -contains 'debug Error getting a service admin: 0X8004010F\n') -and
  ($report -contains 'exit 0')) $report

# The dry run names both databases and changes nothing; the uninstall then
# deletes them and clears both settings files.
Initialize-Settings
$before = Get-Snapshot
$plan = @(& $query plan)
Expect 'plan: exit 0' ($LASTEXITCODE -eq 0) $plan
Expect 'plan: the data folder, found by the policy value' (($plan -contains "data folder`t$data") -and
  ($plan -contains "found by`tpolicy value")) $plan
Expect 'plan: both databases would be deleted' (($plan -contains "delete`t$data\Stores\first.fdb") -and
  ($plan -contains "delete`t$data\Stores\second.fdb") -and -not ($plan -match 'other\.fdb')) $plan
$after = Get-Snapshot
Expect 'plan: no file or folder changed' (-not (Compare-Object @($before) @($after))) (Compare-Object @($before) @($after))

$report = Invoke-Kalinor -u archiveconnector
Expect 'uninstall: the service is uninstalled and the settings cleared' (
  ($report -contains 'debug Service uninstalled.\n') -and ($report -contains 'debug Clear store settings <<\n') -and
  ($report -contains 'exit 0')) $report
Expect 'uninstall: no service left in the profile store' ((Count-Of '<Service ' $profiles) -eq 0)
Expect "uninstall: both stores' database files deleted" (-not (Test-Path "$data\Stores\first.fdb") -and
  -not (Test-Path "$data\Stores\second.fdb"))
Expect 'uninstall: an unlisted database file is left alone' (Test-Path "$data\Stores\other.fdb")
Expect 'uninstall: StoreSettings.xml holds an empty QEVConfiguration' (Test-EmptyElement QEVConfiguration "$data\StoreSettings.xml")
Expect 'uninstall: PellucorURL is empty' (Test-EmptyElement PellucorURL "$data\GeneralSettings.xml")
Expect 'uninstall: the other general settings are kept' (
  (Get-Content -Raw "$data\GeneralSettings.xml") -match '<OfflineMaxDays>30</OfflineMaxDays>')

# Once more with the general settings missing: seeded from the product's
# data folder ("Path"), whose own copy stays as it was.
Remove-Item "$data\GeneralSettings.xml"
Set-Content -Encoding utf8NoBOM "$product\Data\GeneralSettings.xml" @(
  '<?xml version="1.0" encoding="UTF-8"?>',
  '<QEVConfiguration><General><PellucorURL>https://seed.example.com/</PellucorURL><SynchronizeDaysSpan>7</SynchronizeDaysSpan></General></QEVConfiguration>')
$report = Invoke-Kalinor /U ArchiveConnector
Expect 'uninstall with nothing installed' (($report -contains 'debug There is no such service installed.\n') -and
  ($report -contains 'exit 0')) $report
Expect 'seeded GeneralSettings.xml: PellucorURL is empty' (Test-EmptyElement PellucorURL "$data\GeneralSettings.xml")
Expect "seeded GeneralSettings.xml: the seed's other settings are kept" (
  (Get-Content -Raw "$data\GeneralSettings.xml") -match '<SynchronizeDaysSpan>7</SynchronizeDaysSpan>')
Expect "the seed in the product's data folder is left as it was" (
  (Get-Content -Raw "$product\Data\GeneralSettings.xml") -match 'https://seed\.example\.com/')

Exit-WithVerdict
