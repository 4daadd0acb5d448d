#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest; the exit code is the program's.
exec wine "$@"
