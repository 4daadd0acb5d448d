#!/usr/bin/env bash
# Sets up $WINEPREFIX so that Add... can be tried: a SQL Anywhere folder on PATH with the
# database servers and dbsvc.exe, and an ERP folder named by "RunDirs" with t32appsrv.exe. They
# are the stand-ins of the tests: dbsvc.exe installs "SQLANYs_<name>", t32appsrv.exe installs
# itself, and the servers they install run as the test service does. Files already there are
# kept (a running service may be using them); delete them to take a newer build.
set -uo pipefail
source "$(dirname "$0")/common.sh"

sa_folder='C:\Program Files\SQL Anywhere 17\Bin64'
erp_folder='C:\Talvora\ERP'
sa_unix="$WINEPREFIX/drive_c/Program Files/SQL Anywhere 17/Bin64"
erp_unix="$WINEPREFIX/drive_c/Talvora/ERP"

server="$BUILD_DIR/tests/test_service/SampleServer.exe"
dbsvc="$BUILD_DIR/tests/installers/db/dbsvc.exe"
appsrv="$BUILD_DIR/tests/installers/app/t32appsrv.exe"
for f in "$server" "$dbsvc" "$appsrv"; do
  if [ ! -f "$f" ]; then
    log "no $(basename "$f") in the build; sample installers skipped"
    exit 0
  fi
done

mkdir -p "$sa_unix" "$erp_unix"
cp -n "$dbsvc" "$sa_unix/dbsvc.exe"
cp -n "$server" "$sa_unix/dbsrv17.exe"
cp -n "$server" "$sa_unix/dbeng17.exe"
cp -n "$appsrv" "$erp_unix/t32appsrv.exe"

# PATH of the prefix's processes, from the machine's environment.
env_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
path=$(wine reg query "$env_key" /v PATH 2>/dev/null | tr -d '\r' | sed -n 's/^ *PATH *REG_[A-Z_]* *//p')
case ";$path;" in
  *";$sa_folder;"*) ;;
  *)
    log "adding $sa_folder to PATH in $WINEPREFIX"
    wine reg add "$env_key" /v PATH /t REG_EXPAND_SZ /d "${path:+$path;}$sa_folder" /f >/dev/null 2>&1
    ;;
esac
wine reg add 'HKCU\SOFTWARE\Talvora\Kelmar32' /v RunDirs /t REG_SZ /d "$erp_folder" /f >/dev/null 2>&1
exit 0
