#!/bin/bash
# Export and Append import of 10,000 custom reminders beside the store reads and saves they need.
#   bench/impexp/run.sh BUILD_DIR
exec "$(dirname "$0")/../run_program.sh" "${1:?usage: run.sh BUILD_DIR}" impexp_bench.exe
