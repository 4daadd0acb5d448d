#!/usr/bin/env bash
# Registers a handful of sample ERP services in $WINEPREFIX the first time, so that the
# program's list is not empty. They are run by the test service program of the build, whose
# options choose how they behave; the ERP's own are run by copies of it named as the real
# servers (in C:\Talvora\Samples), so that their properties show the server's kind. Services
# with start type auto run whenever the prefix boots.
set -uo pipefail
source "$(dirname "$0")/common.sh"
marker="$WINEPREFIX/.talvora-sample-services"
[ -f "$marker" ] && exit 0
service_program="$BUILD_DIR/tests/test_service/TestService.exe"
sample_server="$BUILD_DIR/tests/test_service/SampleServer.exe"
if [ ! -f "$service_program" ] || [ ! -f "$sample_server" ]; then
  log "no test service program; sample services skipped"
  exit 0
fi
log "registering sample services in $WINEPREFIX"
exe="Z:$(printf '%s' "$service_program" | tr '/' '\\')"
samples_unix="$WINEPREFIX/drive_c/Talvora/Samples"
mkdir -p "$samples_unix"
for server in dbsrv17.exe dbeng17.exe t32appsrv.exe t32reports.exe; do
  cp -n "$sample_server" "$samples_unix/$server"
done

# name | display name | start type | program | options | description | dependency
samples=(
  "SQLANYs_TalvoraDB|SQL Anywhere - Talvora Database|auto|dbsrv17.exe||Database server of the Talvora ERP|"
  "asanys_archive|Adaptive Server Anywhere - Talvora Archive|disabled|dbeng17.exe||Archive database (retired)|"
  "TalvoraErpApp|Talvora ERP Application Server|auto|t32appsrv.exe|--start-checkpoints 3|Application server of the Talvora ERP|SQLANYs_TalvoraDB"
  "TalvoraErpReports|Talvora ERP Report Server|demand|t32reports.exe|--start-checkpoints 12 --step-ms 500|Creates and mails the ERP's reports (slow start)|TalvoraErpApp"
  "T32AppSrv2|Talvora32 Application Server 2|demand|t32appsrv.exe|--no-pause|Second application server, without pause|SQLANYs_TalvoraDB"
  "TalvoraBackupAgent|Nightly Backup Agent|demand|||Copies the database backups off the machine|"
  "TalvoraMailRelay|Mail Relay|demand|||Forwards mail of the ERP (listed with /all only)|"
)

for entry in "${samples[@]}"; do
  IFS='|' read -r name display start program options description dependency <<<"$entry"
  binary=$exe
  [ -n "$program" ] && binary="C:\\Talvora\\Samples\\$program"
  args=(create "$name" binPath= "\"$binary\" --name $name $options" DisplayName= "$display" start= "$start")
  wine sc "${args[@]}" >/dev/null 2>&1 || log "could not create $name"
  # Written as the list it is: Wine's sc stores "depend=" without the list's closing NUL, so
  # whatever follows in its memory became further entries.
  [ -n "$dependency" ] && wine reg add "HKLM\\System\\CurrentControlSet\\Services\\$name" /v DependOnService \
    /t REG_MULTI_SZ /d "$dependency" /f >/dev/null 2>&1
  wine reg add "HKLM\\System\\CurrentControlSet\\Services\\$name" /v Description /t REG_SZ /d "$description" /f \
    >/dev/null 2>&1
done
# Auto-start services run from the next boot of the prefix on; start them now too.
for name in SQLANYs_TalvoraDB TalvoraErpApp; do
  wine sc start "$name" >/dev/null 2>&1 || true
done
touch "$marker"
