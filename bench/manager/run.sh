#!/bin/bash
# The manager's start-up over 1,000 custom reminders beside reading them through the store.
#   bench/manager/run.sh BUILD_DIR
exec "$(dirname "$0")/../run_program.sh" "${1:?usage: run.sh BUILD_DIR}" manager_bench.exe
