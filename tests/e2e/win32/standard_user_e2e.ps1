# The tool as a standard user meets it, on real Windows: a local account
# without administrator rights installs the service into its own profile,
# detects it, plans and runs the uninstall. Then that user makes a junction in
# a data folder it owns (the policy's data folder, at a drive root where any
# user may create folders), and an administrator's uninstall over that folder
# must leave the file behind the junction.
#
# It creates a local account and writes policy values: run it only on a
# throwaway machine (a hosted CI runner), as an administrator, after the
# workflow registered the stand-in MAPI provider.
#
#   standard_user_e2e.ps1 -Build BUILD_FOLDER      (a Visual Studio build, Release)
#
# What a hosted runner cannot show: its account is an administrator with UAC
# off, so no run here has a split (UAC) token; the standard user's runs are
# the unelevated case, the administrator's the "no linked token" case (its
# logs go to a folder only administrators may change; one in the user's
# folder is refused). The unit tests check acts against a user token made as
# UAC makes it.
param([Parameter(Mandatory)] [string] $Build)

$ErrorActionPreference = 'Stop'
Set-StrictMode -Version Latest

$Build = (Resolve-Path $Build).Path
$kalinor = Join-Path $Build 'src\frontend\Release\kalinor.exe'
$query = Join-Path $Build 'src\query\Release\kalinor-query.exe'
$user = 'kalinor-std'
$shared = 'C:\kalinor-standard-user'   # the user's script and what it reports
$outside = 'C:\kalinor-outside'         # the administrator's, behind the junction
$policyRoot = 'C:\kalinor-data'         # made by the user, named by the policy
$policyKey = 'HKCU\Software\Policies\Tavrin\Pellucor'

. (Join-Path $PSScriptRoot 'expect.ps1')

# A fresh standard user (member of Users only) with a random password that
# meets the default complexity rule and net user's 14-character limit.
$password = 'Kq7-' + -join ((1..10) | ForEach-Object { '{0:x}' -f (Get-Random -Maximum 16) })
net user $user /delete 2>$null | Out-Null
net user $user $password /add /passwordchg:no | Out-Null
if ($LASTEXITCODE) { throw "net user $user /add failed" }
$credential = [pscredential]::new("$env:COMPUTERNAME\$user",
  (ConvertTo-SecureString $password -AsPlainText -Force))

Remove-Item -Recurse -Force $shared, $outside, "$outside-way", $policyRoot, "$policyRoot-way" `
  -ErrorAction SilentlyContinue
New-Item -ItemType Directory -Force $shared, $outside, "$outside-way" | Out-Null
Set-Content -NoNewline "$outside\canary.fdb" 'canary'
# The user reads the build (the programs and the MAPI provider the stub
# loads) and writes its report; nothing else of the runner's.
icacls $Build /grant "${user}:(OI)(CI)RX" /Q | Out-Null
icacls $shared /grant "${user}:(OI)(CI)M" /Q | Out-Null

# What runs as the user: its own folders from its own token, not from the
# environment Start-Process may pass on.
Set-Content -Encoding utf8NoBOM "$shared\as-user.ps1" @'
param([string] $Kalinor, [string] $Query, [string] $Report, [string] $PolicyRoot, [string] $Outside)
$ErrorActionPreference = 'Continue'
$local = [Environment]::GetFolderPath('LocalApplicationData')
foreach ($name in 'HOME', 'XDG_CONFIG_HOME', 'KALINOR_LOG', 'KALINOR_MAPISVC', 'KALINOR_EXIT_CODES') {
  Remove-Item "Env:$name" -ErrorAction SilentlyContinue
}
$env:KALINOR_MAPI_PROFILES = Join-Path $local 'kalinor-e2e\profiles.xml'
$lines = [Collections.Generic.List[string]]::new()
function Run([string] $step, [string] $exe, [string[]] $arguments) {
  $out = & $exe @arguments 2>&1 | ForEach-Object { "$_" }
  $lines.Add("step`t$step`t$LASTEXITCODE")
  $out | ForEach-Object { $lines.Add("out`t$step`t$_") }
}
$administrator = [bool](whoami /groups | Select-String -Quiet -SimpleMatch 'S-1-5-32-544')
$lines.Add("whoami`t$(whoami)`t$administrator")
Run install $Kalinor @('ArchiveConnector')
Run detect $Query @('has', 'ArchiveConnector', '--detect')
Run plan $Query @('plan')
Run uninstall $Kalinor @('-u', 'ArchiveConnector')
Run detect-after $Query @('has', 'ArchiveConnector', '--detect')
# The user's own data folder at a drive root, a junction in it to a folder of
# the administrator's, and a store list that names a file through it.
$data = Join-Path $PolicyRoot 'Tavrin\Ostrand'
New-Item -ItemType Directory -Force $data | Out-Null
cmd /c mklink /J "$data\Stores" $Outside | Out-Null
$lines.Add("junction`t$LASTEXITCODE")
# A second data root whose Tavrin folder is the user's junction to the
# administrator's folder: on the way to the data folder, not inside it.
New-Item -ItemType Directory -Force "$PolicyRoot-way" | Out-Null
cmd /c mklink /J "$PolicyRoot-way\Tavrin" "$Outside-way" | Out-Null
$lines.Add("junction-on-the-way`t$LASTEXITCODE")
Set-Content -Encoding utf8NoBOM "$data\StoreSettings.xml" (
  "<QEVConfiguration><Store id='canary'><dbFileName>$data\Stores\canary.fdb</dbFileName>" +
  "</Store></QEVConfiguration>")
Set-Content -Encoding utf8NoBOM $Report $lines
'@

# As the user: through the secondary logon service, or, where this session
# may not use it (no exception, but a child that cannot start without a
# desktop), through a one-time scheduled task in the user's name.
$pwsh = (Get-Command pwsh).Source
$arguments = "-NoProfile -NonInteractive -File `"$shared\as-user.ps1`" -Kalinor `"$kalinor`" " +
  "-Query `"$query`" -Report `"$shared\report.txt`" -PolicyRoot $policyRoot -Outside $outside"
try {
  $run = Start-Process $pwsh -Credential $credential -LoadUserProfile -Wait -PassThru `
    -WorkingDirectory $shared -ArgumentList $arguments
  Write-Output "secondary logon: exit $($run.ExitCode)"
} catch {
  Write-Output "secondary logon refused: $($_.Exception.Message)"
}
if (-not (Test-Path "$shared\report.txt")) {
  Write-Output 'no report by the secondary logon: a scheduled task runs the script instead'
  # schtasks takes at most 261 characters of command: a wrapper holds it.
  Set-Content -Encoding ascii "$shared\as-user.cmd" "@`"$pwsh`" $arguments"
  icacls "$shared\as-user.cmd" /grant "${user}:RX" /Q | Out-Null
  schtasks /create /tn kalinor-std /ru $user /rp $password /sc once /st 23:59 /rl LIMITED /f `
    /tr "$shared\as-user.cmd" | Out-Null
  if ($LASTEXITCODE) { throw 'schtasks /create failed' }
  schtasks /run /tn kalinor-std | Out-Null
  $deadline = (Get-Date).AddMinutes(5)
  while (-not (Test-Path "$shared\report.txt") -and (Get-Date) -lt $deadline) { Start-Sleep 2 }
  Start-Sleep 2
  schtasks /delete /tn kalinor-std /f | Out-Null
}
Expect 'the standard user''s script wrote its report' (Test-Path "$shared\report.txt")
$report = @(if (Test-Path "$shared\report.txt") { Get-Content "$shared\report.txt" })
$report | ForEach-Object { Write-Output "    | $_" }

function Step-Exit([string] $step) {
  $line = $report | Where-Object { $_ -like "step`t$step`t*" } | Select-Object -First 1
  if ($null -eq $line) { return $null }
  return [int]($line -split "`t")[2]
}
function Step-Out([string] $step) {
  return @($report | Where-Object { $_ -like "out`t$step`t*" } | ForEach-Object { ($_ -split "`t", 3)[2] })
}

$whoami = if ($report.Count -gt 0) { $report[0] } else { '' }
Expect 'the user is no administrator' ($whoami -match "^whoami`t.*`tFalse$") $whoami
Expect 'as the user: the install succeeds' ((Step-Exit install) -eq 0)
Expect 'as the user: has --detect says installed' (((Step-Exit detect) -eq 0) -and ((Step-Out detect) -contains 'installed'))
Expect 'as the user: plan exits 0' ((Step-Exit plan) -eq 0)
Expect 'as the user: the uninstall succeeds' ((Step-Exit uninstall) -eq 0)
Expect 'as the user: after the uninstall, has --detect prints nothing' (
  ((Step-Exit detect-after) -eq 0) -and -not ((Step-Out detect-after) -contains 'installed'))
Expect 'as the user: the junction was made' ($report -contains "junction`t0")

# The administrator's uninstall with the policy value of the administrator's
# own account naming dataRoot: its exit code, then its log's lines.
$env:KALINOR_MAPI_PROFILES = Join-Path $env:RUNNER_TEMP 'standard-user-mapi\profiles.xml'
$adminLogs = Join-Path $env:RUNNER_TEMP 'standard-user-admin-logs'
New-AdministratorsFolder $adminLogs
function Invoke-AdministratorUninstall([string] $dataRoot) {
  $log = Join-Path $adminLogs 'uninstall.log'
  Remove-Item -Force $log -ErrorAction SilentlyContinue
  reg add $policyKey /v DataPath /d $dataRoot /f /reg:64 | Out-Null
  try {
    $env:KALINOR_LOG = $log
    & $kalinor -u ArchiveConnector | Out-Null
    $LASTEXITCODE
  } finally {
    reg delete $policyKey /v DataPath /f /reg:64 | Out-Null
    Remove-Item Env:KALINOR_LOG -ErrorAction SilentlyContinue
  }
  if (Test-Path $log) { Get-Content $log }
}

# Over the user's folder, with the user's junction inside it.
$data = Join-Path $policyRoot 'Tavrin\Ostrand'
$status, $logLines = Invoke-AdministratorUninstall $policyRoot
$logLines = @($logLines)
Expect 'administrator over the user''s junction: exit 0' ($status -eq 0) $logLines
Expect 'the file behind the user''s junction is kept' (Test-Path "$outside\canary.fdb")
Expect 'the user''s junction is kept' (Test-Path "$data\Stores")
Expect 'the log says why the file was left' (($logLines -join "`n").Contains('outside the data folders')) $logLines

# With the user's junction on the way to the data folder: the folder behind
# it is not used, and the log names the link and what to do.
Expect 'as the user: the junction on the way was made' ($report -contains "junction-on-the-way`t0")
$status, $logLines = Invoke-AdministratorUninstall "$policyRoot-way"
$logLines = @($logLines)
Expect 'administrator past the user''s junction: exit 0' ($status -eq 0) $logLines
Expect 'nothing was made behind the user''s junction' (
  @(Get-ChildItem -Force "$outside-way").Count -eq 0) @(Get-ChildItem -Force "$outside-way")
Expect 'the log names the link and what to do' (($logLines -join "`n").Contains(
    "a link the system did not make, which an elevated run does not follow: run the tool " +
    "unelevated, as the user, or remove the link): $policyRoot-way\Tavrin")) $logLines

# A log in the user's folder: an elevated run keeps it only where its own
# token may write, and one without the user's token not there at all.
$userLog = Join-Path $policyRoot 'setup.log'
Remove-Item -Force $userLog -ErrorAction SilentlyContinue
$env:KALINOR_LOG = $userLog
$errors = (& $kalinor -u NoSuchService 2>&1 | Out-String)
Remove-Item Env:KALINOR_LOG
if (Test-Path $userLog) {
  Expect 'a log in the user''s folder is kept only with the user''s own token' (
    [bool](Select-String -Quiet -SimpleMatch 'linked unelevated token' $userLog)) (Get-Content $userLog)
} else {
  Expect 'a log in the user''s folder is refused, saying why' ($errors.Contains(
      'Run log not opened (in a folder other accounts may change')) $errors
}

net user $user /delete | Out-Null
Exit-WithVerdict
