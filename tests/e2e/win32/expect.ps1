# The checks of the Windows end-to-end scripts, dot-sourced by each: Expect
# reports one check, Exit-WithVerdict ends the script with 1 when any failed.
$script:failures = 0

function Expect([string] $name, [bool] $ok, $detail = $null) {
  if ($ok) { Write-Output "PASS: $name"; return }
  Write-Output "FAIL: $name"
  if ($null -ne $detail) { $detail | ForEach-Object { Write-Output "    $_" } }
  $script:failures++
}

function Exit-WithVerdict {
  if ($script:failures) {
    Write-Output "$($script:failures) check(s) failed"
    exit 1
  }
  Write-Output 'all checks passed'
  exit 0
}

# A new, empty folder that only the Administrators and SYSTEM may change: where
# an elevated run without a split token keeps its log (it keeps none where
# other accounts may write).
function New-AdministratorsFolder([string] $path) {
  Remove-Item -Recurse -Force $path -ErrorAction SilentlyContinue
  New-Item -ItemType Directory -Force $path | Out-Null
  icacls $path /inheritance:r /grant:r '*S-1-5-32-544:(OI)(CI)F' '*S-1-5-18:(OI)(CI)F' /Q | Out-Null
  if ($LASTEXITCODE) { throw "icacls could not restrict $path" }
}
