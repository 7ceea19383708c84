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
